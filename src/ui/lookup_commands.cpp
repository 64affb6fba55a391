#include "ui/lookup_commands.h"

#include "platform/system.h"
#include "util/error_report.h"
#include "util/file_hash.h"
#include "util/file_properties.h"

#include <cstdint>
#include <optional>

namespace vq::ui {
namespace {

using connections::ConnectionList;
using connections::ConnectionRow;

std::optional<ConnectionRow> SelectedRow(const ConnectionList& list)
{
    const std::optional<std::size_t> selected = list.FirstSelected();
    return selected ? std::optional<ConnectionRow>(list.row(*selected)) : std::nullopt;
}

// Opens a document, program or address through the shell on behalf of no
// window of ours.
void ShellOpen(const std::wstring& file, const std::wstring& parameters)
{
    platform::ShellExecute(platform::GetDesktopWindow(), L"open", file, parameters, L"",
                           platform::kSwShowNormal);
}

// Runs the work and drops any failure: commands report nothing, and the user
// sees that no page or window opened.
template <typename Work>
void Guarded(Work work)
{
    try {
        work();
    } catch (...) {
    }
}

// Builds the address from the selected row and opens it; building and
// opening are guarded alike.
template <typename BuildUrl>
void OpenUrlForSelectedRow(const ConnectionList& list, BuildUrl buildUrl)
{
    if (const auto row = SelectedRow(list)) {
        Guarded([&] { ShellOpen(buildUrl(*row), L""); });
    }
}

// The digest is computed first, outside the guard, and the window waits for
// it. A file that could not be read has no digest: its error leaves the
// command for the error report and nothing is opened. Nor is anything opened
// for a row without a folder: its caption alone would name a file in the
// current folder, not the process's own.
void LookUpProcessHash(const ConnectionList& list, std::wstring (*buildUrl)(std::wstring_view))
{
    const auto row = SelectedRow(list);
    if (!row || row->subItems[connections::kProcessFolder].empty()) {
        return;
    }
    const std::wstring digest = ProcessFileDigestText(*row);
    Guarded([&] { ShellOpen(buildUrl(digest), L""); });
}

// The system's words for an error code, without the line break they end in;
// the code itself when the system has no words for it.
std::wstring SystemErrorText(std::uint32_t errorCode)
{
    std::wstring text = platform::FormatSystemMessage(errorCode);
    const std::wstring::size_type end = text.find_last_not_of(L" \t\r\n");
    text.erase(end == std::wstring::npos ? 0 : end + 1);
    return text.empty() ? L"System error " + std::to_wstring(errorCode) : text;
}

} // namespace

std::wstring ProcessFilePath(const ConnectionRow& row)
{
    return row.subItems[connections::kProcessFolder] + row.caption;
}

std::wstring WebSearchUrl(std::wstring_view value)
{
    return std::wstring{kWebSearchPrefix}.append(value);
}

std::wstring FileReputationUrl(std::wstring_view digestText)
{
    return std::wstring{kFileReputationPrefix}.append(digestText);
}

std::wstring RemoteAddressSearchUrl(const ConnectionRow& row)
{
    // The "%" before an IPv6 scope id would start an escape in the URL
    // ("%12" is one character there), so it travels escaped itself.
    std::wstring address;
    for (const wchar_t c : row.subItems[connections::kRemoteAddress]) {
        address += c == L'%' ? std::wstring_view(L"%25") : std::wstring_view(&c, 1);
    }
    return WebSearchUrl(address);
}

std::wstring RemotePortSearchUrl(const ConnectionRow& row)
{
    return WebSearchUrl(row.subItems[connections::kRemotePort]);
}

std::wstring FileManagerPath()
{
    return platform::GetWindowsDirectory() + L"\\Explorer.exe";
}

std::wstring ExplorerSelectParameters(std::wstring_view path)
{
    return std::wstring{L"/select,\""}.append(path).append(L"\"");
}

std::wstring ProcessFileDigestText(const ConnectionRow& row)
{
    const std::wstring path = ProcessFilePath(row);
    const util::FileHash hash = util::HashFileMd5(path);
    if (!hash.digest) {
        throw util::AppError(L"Could not read \"" + path + L"\": " + SystemErrorText(hash.error));
    }
    const std::string hex = util::DigestToHex(*hash.digest);
    return std::wstring(hex.begin(), hex.end());  // ASCII digits widen unchanged
}

void ShowProcessProperties(const ConnectionList& list, platform::WindowHandle mainWindow)
{
    if (const auto row = SelectedRow(list)) {
        util::ShowFileProperties(mainWindow, ProcessFilePath(*row));
    }
}

void LocateProcessFile(const ConnectionList& list)
{
    if (const auto row = SelectedRow(list)) {
        Guarded([&] { ShellOpen(FileManagerPath(), ExplorerSelectParameters(ProcessFilePath(*row))); });
    }
}

void SearchProcessHash(const ConnectionList& list)
{
    LookUpProcessHash(list, WebSearchUrl);
}

void CheckProcessHashReputation(const ConnectionList& list)
{
    LookUpProcessHash(list, FileReputationUrl);
}

void SearchRemoteAddress(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, RemoteAddressSearchUrl);
}

void SearchRemotePort(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, RemotePortSearchUrl);
}

void OpenIpBlacklistCheck(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, [](const ConnectionRow&) { return std::wstring{kIpBlacklistCheckUrl}; });
}

void OpenIpGeolocation(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, [](const ConnectionRow&) { return std::wstring{kIpGeolocationUrl}; });
}

void OpenIpWhois(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, [](const ConnectionRow&) { return std::wstring{kIpWhoisUrl}; });
}

} // namespace vq::ui
