#pragma once

#include "util/drive_devices.h"

#include <optional>
#include <string>
#include <vector>

namespace vq::util {

// What normalising asks the system beside the path: the Windows directory
// and the drive letters' device names, each asked on first use and kept
// until Forget(), so that many paths in a row ask once.
class NtPathLookups {
public:
    const std::wstring& WindowsDirectory();
    DriveDeviceTable& Drives() { return drives_; }
    void Forget();

private:
    std::optional<std::wstring> windowsDirectory_;
    DriveDeviceTable drives_;
};

// Rewrites the native and kernel forms of a path (system-root and
// object-manager prefixes, device names, names relative to the Windows
// directory, environment references in the folder, shares of this machine)
// into an ordinary drive-letter path. Empty text becomes a single backslash.
std::wstring NormalizeNtPath(const std::wstring& path, NtPathLookups& lookups);

// Replaces a leading device name, written with or without its first
// backslash and in any ASCII case, by the drive letter that maps it.
void ReplaceDevicePrefix(std::wstring& path, DriveDeviceTable& drives);

// One share of this machine: its name as a path (\\COMPUTER\share) and the
// local folder it exposes.
struct LocalShare {
    std::wstring name;
    std::wstring localPath;
};
using LocalShareTable = std::vector<LocalShare>;

// The shares of this machine that expose a local folder, in the order the
// system lists them. Empty when the shares or the machine's name cannot be
// read.
LocalShareTable GetLocalShares();

// Replaces a leading share of this machine (\\COMPUTER\share, any case) by
// the local folder it exposes.
void ReplaceLocalSharePrefix(std::wstring& path);

} // namespace vq::util
