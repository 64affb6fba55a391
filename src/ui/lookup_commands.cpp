#include "ui/lookup_commands.h"

#include "platform/system.h"
#include "util/file_hash.h"
#include "util/file_properties.h"

namespace vq::ui {
namespace {

using connections::ConnectionList;
using connections::ConnectionRow;

const ConnectionRow* SelectedRow(const ConnectionList& list)
{
    const std::optional<std::size_t> selected = list.FirstSelected();
    return selected ? &list.row(*selected) : nullptr;
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
    if (const ConnectionRow* row = SelectedRow(list)) {
        Guarded([&] { ShellOpen(buildUrl(*row), L""); });
    }
}

// The digest is computed first, outside the guard, and the window waits for
// it. A file that could not be read has no digest, so nothing is opened. Nor
// is anything opened for a row without a folder: its caption alone would name
// a file in the current folder, not the process's own.
void LookUpProcessHash(const ConnectionList& list, std::wstring (*buildUrl)(std::wstring_view))
{
    const ConnectionRow* row = SelectedRow(list);
    if (row == nullptr || row->subItems[connections::kProcessFolder].empty()) {
        return;
    }
    if (const std::optional<std::wstring> digest = ProcessFileDigestText(*row)) {
        Guarded([&] { ShellOpen(buildUrl(*digest), L""); });
    }
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
    return WebSearchUrl(row.subItems[connections::kRemoteAddress]);
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

std::optional<std::wstring> ProcessFileDigestText(const ConnectionRow& row)
{
    const std::optional<util::Md5Digest> digest = util::HashFileMd5(ProcessFilePath(row));
    if (!digest) {
        return std::nullopt;
    }
    const std::string hex = util::DigestToHex(*digest);
    return std::wstring(hex.begin(), hex.end());  // ASCII digits widen unchanged
}

void ShowProcessProperties1Click(const ConnectionList& list, platform::WindowHandle mainWindow)
{
    if (const ConnectionRow* row = SelectedRow(list)) {
        util::ShowFileProperties(mainWindow, ProcessFilePath(*row));
    }
}

void LocateProcessinExplorer1Click(const ConnectionList& list)
{
    if (const ConnectionRow* row = SelectedRow(list)) {
        Guarded([&] { ShellOpen(FileManagerPath(), ExplorerSelectParameters(ProcessFilePath(*row))); });
    }
}

void LookupProcessHashonGoogle1Click(const ConnectionList& list)
{
    LookUpProcessHash(list, WebSearchUrl);
}

void LookupProcessHashonVirusTotal1Click(const ConnectionList& list)
{
    LookUpProcessHash(list, FileReputationUrl);
}

void LookupRemoteIPonGoogle1Click(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, RemoteAddressSearchUrl);
}

void LookupRemotePortonGoogle1Click(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, RemotePortSearchUrl);
}

void IPBlacklistCheckIPVoid1Click(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, [](const ConnectionRow&) { return std::wstring{kIpBlacklistCheckUrl}; });
}

void GeolocateIPAddressIPVoid1Click(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, [](const ConnectionRow&) { return std::wstring{kIpGeolocationUrl}; });
}

void IPWhoisLookupIPVoid1Click(const ConnectionList& list)
{
    OpenUrlForSelectedRow(list, [](const ConnectionRow&) { return std::wstring{kIpWhoisUrl}; });
}

} // namespace vq::ui
