#include "fake_file_dialog.h"

namespace vq::fake {
namespace {

FakeFileDialog g_dialog;

} // namespace

FakeFileDialog& FileDialog()
{
    return g_dialog;
}

void ResetFileDialog()
{
    g_dialog = FakeFileDialog{};
}

} // namespace vq::fake

namespace vq::platform {

std::optional<SaveFileChoice> AskSaveFilePath(const SaveFileRequest& request)
{
    fake::g_dialog.requests.push_back(request);
    return fake::g_dialog.answer;
}

std::wstring GetDocumentsFolder()
{
    return fake::g_dialog.documentsFolder;
}

} // namespace vq::platform
