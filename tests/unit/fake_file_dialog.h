#pragma once

// The host implementation of platform/file_dialog.h: the requests the Save
// dialog got, and the answer a test scripted.

#include "platform/file_dialog.h"

#include <optional>
#include <string>
#include <vector>

namespace vq::fake {

struct FakeFileDialog {
    std::wstring documentsFolder = L"C:\\Users\\me\\Documents";
    std::vector<platform::SaveFileRequest> requests;
    // What the dialog answers; nothing: the user cancelled.
    std::optional<platform::SaveFileChoice> answer;
};

FakeFileDialog& FileDialog();
void ResetFileDialog();

} // namespace vq::fake
