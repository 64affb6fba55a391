#include "ui/document_commands.h"

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"

#include <string>

namespace vq::ui {
namespace {

constexpr int kSwShow = 5;

// The folder of the running executable, ending in its separator; empty when
// the executable's path is unknown.
std::wstring ExecutableFolder()
{
    const std::wstring path = platform::GetExecutablePath();
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

void OpenAddress(void* owner, const wchar_t* address, int showCommand) noexcept
{
    try {
        platform::ShellExecute(owner, L"open", address, L"", L"", showCommand);
    } catch (...) {
        // No browser, no association: nothing is reported.
    }
}

void OpenDocument(void* owner, const wchar_t* fileName, int showCommand) noexcept
{
    try {
        // Without the executable's folder a bare name would be looked up in
        // the current folder: that is not the document that ships with us.
        const std::wstring folder = ExecutableFolder();
        if (folder.empty()) {
            return;
        }
        const std::wstring path = folder + fileName;
        if (!platform::FileExists(path)) {
            return;
        }
        platform::ShellExecute(owner, L"open", path, L"", L"", showCommand);
    } catch (...) {
        // A document the system cannot open is not reported either.
    }
}

} // namespace

void OpenChangelog(void* mainWindow) noexcept
{
    OpenDocument(mainWindow, kChangelogFileName, platform::kSwShowNormal);
}

void OpenEula(void* mainWindow) noexcept
{
    OpenDocument(mainWindow, kMenuLicenceFileName, platform::kSwShowNormal);
}

void OpenHomepage(void* mainWindow) noexcept
{
    OpenAddress(mainWindow, kHomepageAddress, platform::kSwShowNormal);
}

void OpenHomepageLink() noexcept
{
    OpenAddress(nullptr, kHomepageAddress, kSwShow);
}

void OpenEulaLink() noexcept
{
    OpenDocument(nullptr, kAboutLicenceFileName, kSwShow);
}

void OpenFacebookLink() noexcept
{
    OpenAddress(nullptr, kFacebookPageAddress, kSwShow);
}

void OpenTwitterLink() noexcept
{
    OpenAddress(nullptr, kTwitterPageAddress, kSwShow);
}

} // namespace vq::ui
