#pragma once

// The system's Save dialog and the user's Documents folder.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vq::platform {

struct FileType {
    std::wstring description;  // "CSV (*.csv)"
    std::wstring pattern;      // "*.csv"
};

struct SaveFileRequest {
    void* owner = nullptr;
    std::wstring folder;            // where the dialog opens
    std::wstring fileName;          // the name it proposes
    std::vector<FileType> types;    // the first is chosen at first
    std::wstring defaultExtension;  // added to a name typed without one ("csv")
};

struct SaveFileChoice {
    std::wstring path;
    std::size_t type = 0;  // the index of the chosen type in the request
};

// GetSaveFileNameW, asking before it lets an existing file be replaced.
// Nothing when the user cancelled or the dialog failed.
std::optional<SaveFileChoice> AskSaveFilePath(const SaveFileRequest& request);

// The user's Documents folder; empty when the system cannot say.
std::wstring GetDocumentsFolder();

} // namespace vq::platform
