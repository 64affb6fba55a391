#pragma once

// Folder parts of paths, and creating a folder with its parents.

#include <string>
#include <string_view>

namespace vq::util {

// The folder part of a path: everything up to and including its last "\" or
// "/"; empty when it has neither.
std::wstring_view FolderOf(std::wstring_view path);

// Creates the folder and every missing folder above it. True when the folder
// exists afterwards, also when it existed already; false when something that
// is not a folder stands in the way or a folder could not be created.
bool CreateFolderWithParents(const std::wstring& folder);

} // namespace vq::util
