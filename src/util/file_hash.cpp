#include "util/file_hash.h"

#include "platform/files.h"

#include <algorithm>
#include <cstdint>

namespace vq::util {
namespace {

using platform::kAllocationGranularity;

// Few calls per file, yet short enough to find room in a 32-bit address space.
constexpr std::uint64_t kViewLength = std::uint64_t{1024} * kAllocationGranularity;  // 64 MiB

platform::UniqueFileHandle OpenForReading(const std::wstring& path)
{
    platform::UniqueFileHandle file{platform::CreateFile(path, platform::kGenericRead,
                                                         platform::kFileShareRead,
                                                         platform::kOpenExisting,
                                                         platform::kFileAttributeNormal)};
    if (!file) {
        // OpenFile's default sharing also admits writers, so it may open a file
        // that another process holds open for writing. It takes an ANSI path;
        // a path that has no exact ANSI form is not tried, since a substitute
        // character could open a different file.
        if (const auto ansiPath = platform::ToAnsiCodePage(path)) {
            file.reset(platform::OpenFile(*ansiPath, platform::kOfRead));
        }
    }
    return file;
}

// Feeds size bytes of the mapping to the digest, one bounded view at a time,
// each hashed where it lies and released before the next is mapped. A view
// that finds no room in the address space is retried at half the length.
bool HashMappedBytes(Md5Context& context, platform::FileMappingHandle mapping, std::uint64_t size)
{
    std::uint64_t viewLength = kViewLength;
    std::uint64_t offset = 0;
    while (offset < size) {
        const std::uint64_t length = std::min(size - offset, viewLength);
        const platform::UniqueFileView view{platform::MapViewOfFile(
            mapping, platform::kFileMapRead, offset, static_cast<std::size_t>(length))};
        if (!view) {
            if (length <= kAllocationGranularity) {
                return false;
            }
            viewLength = std::max<std::uint64_t>(
                length / 2 / kAllocationGranularity * kAllocationGranularity,
                kAllocationGranularity);
            continue;
        }
        Md5Update(context, view.get(), static_cast<std::uint32_t>(length));
        offset += length;
    }
    return true;
}

} // namespace

std::optional<Md5Digest> HashFileMd5(const std::wstring& path)
{
    const platform::UniqueFileHandle file = OpenForReading(path);
    if (!file) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> size = platform::GetFileSize(file.get());
    if (!size) {
        return std::nullopt;
    }
    Md5Context context;
    Md5Init(context);
    // An empty file cannot be mapped; it is hashed as the empty input it is.
    if (*size != 0) {
        const platform::UniqueFileMapping mapping{
            platform::CreateFileMapping(file.get(), platform::kPageReadOnly, 0)};
        if (!mapping || !HashMappedBytes(context, mapping.get(), *size)) {
            return std::nullopt;
        }
    }
    return Md5Final(context);
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
