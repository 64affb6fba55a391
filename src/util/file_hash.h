#pragma once

// MD5 digests of whole files, and their text form.

#include "util/md5.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vq::util {

// A file's digest, or why the file could not be read.
struct FileHash {
    std::optional<Md5Digest> digest;
    // When there is no digest: the system error code of the call that failed.
    std::uint32_t error = 0;
};

// The digest of the file's whole content, read in bounded chunks, or the
// error that kept the file from being opened or read to its end; no digest
// of part of a file ever comes back. An empty file is read and gives the
// digest of empty input.
FileHash HashFileMd5(const std::wstring& path);

// The digest as 32 upper-case hexadecimal digits, two per byte, high half first.
std::string DigestToHex(const Md5Digest& digest);

} // namespace vq::util
