#include "util/file_hash.h"

#include "platform/files.h"

#include <cstdint>
#include <vector>

namespace vq::util {
namespace {

// Large enough that a file takes few calls, small enough that a file of any
// size is hashed in the same memory.
constexpr std::uint32_t kChunkLength = 1024 * 1024;

platform::UniqueFileHandle OpenSharing(const std::wstring& path, std::uint32_t shareMode)
{
    return platform::UniqueFileHandle{platform::CreateFile(path, platform::kGenericRead, shareMode,
                                                           platform::kOpenExisting,
                                                           platform::kFileAttributeNormal)};
}

// Opens the file for reading. When it will not open, error holds the system
// error code of the first attempt.
platform::UniqueFileHandle OpenForReading(const std::wstring& path, std::uint32_t& error)
{
    platform::UniqueFileHandle file = OpenSharing(path, platform::kFileShareRead);
    if (!file) {
        error = platform::GetLastError();
        // A file that another process holds open for writing opens only when
        // writers are admitted too.
        file = OpenSharing(path, platform::kFileShareRead | platform::kFileShareWrite);
    }
    return file;
}

} // namespace

FileHash HashFileMd5(const std::wstring& path)
{
    std::uint32_t openError = 0;
    const platform::UniqueFileHandle file = OpenForReading(path, openError);
    if (!file) {
        return {std::nullopt, openError};
    }
    std::vector<std::uint8_t> chunk(kChunkLength);
    Md5Context context;
    Md5Init(context);
    for (;;) {
        std::uint32_t read = 0;
        if (const std::uint32_t error = platform::ReadFile(file.get(), chunk.data(), kChunkLength, &read)) {
            return {std::nullopt, error};
        }
        if (read == 0) {
            return {Md5Final(context), 0};
        }
        Md5Update(context, chunk.data(), read);
    }
}

std::string DigestToHex(const Md5Digest& digest)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(digest.size() * 2);
    for (const std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

} // namespace vq::util
