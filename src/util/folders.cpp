#include "util/folders.h"

#include "platform/files.h"

namespace vq::util {
namespace {

constexpr std::wstring_view kSeparators = L"\\/";

} // namespace

std::wstring_view FolderOf(std::wstring_view path)
{
    const std::size_t last = path.find_last_of(kSeparators);
    return last == std::wstring_view::npos ? std::wstring_view{} : path.substr(0, last + 1);
}

bool CreateFolderWithParents(const std::wstring& folder)
{
    if (platform::DirectoryExists(folder)) {
        return true;
    }
    // The parent ends at the separator before the last name; a trailing
    // separator belongs to the folder itself. A path of separators alone, or
    // a root that does not exist, has nothing above it to create.
    const std::size_t nameEnd = folder.find_last_not_of(kSeparators);
    if (nameEnd == std::wstring::npos) {
        return false;
    }
    const std::size_t parentEnd = folder.find_last_of(kSeparators, nameEnd);
    if (parentEnd != std::wstring::npos && !CreateFolderWithParents(folder.substr(0, parentEnd + 1))) {
        return false;
    }
    // Someone else may have created it in the meantime: that is fine too.
    return platform::MakeDirectory(folder) || platform::DirectoryExists(folder);
}

} // namespace vq::util
