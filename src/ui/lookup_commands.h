#pragma once

// The context-menu commands that hand the selected row to the shell: web
// look-ups of the process file's MD5 digest, the remote address and port,
// fixed IP reputation pages, the file manager and the property sheet.
//
// Every command does nothing without a selected row (the first selected row
// in list order), never waits for the shell and never looks at its result: a
// failure of a shell call is dropped. The one failure reported is a process
// file the hash look-ups could not read.

#include "connections/connection_list.h"
#include "connections/connection_row.h"
#include "platform/shell.h"

#include <string>
#include <string_view>

namespace vq::ui {

// Web addresses: a prefix to which a value is appended exactly as it stands,
// neither encoded, quoted nor trimmed, or a fixed page.
inline constexpr wchar_t kWebSearchPrefix[] = L"https://www.google.com/search?q=";
inline constexpr wchar_t kFileReputationPrefix[] = L"https://www.virustotal.com/search/?query=";
inline constexpr wchar_t kIpBlacklistCheckUrl[] = L"http://www.ipvoid.com/ip-blacklist-check/";
inline constexpr wchar_t kIpGeolocationUrl[] = L"http://www.ipvoid.com/ip-geolocation/";
inline constexpr wchar_t kIpWhoisUrl[] = L"http://www.ipvoid.com/whois/";

// The file manager, by its full path in the Windows folder: the program runs
// elevated, and a bare name would be looked for in other folders first.
std::wstring FileManagerPath();

// The row's process file: its folder (ending in a separator when not empty)
// followed directly by its caption.
std::wstring ProcessFilePath(const connections::ConnectionRow& row);

std::wstring WebSearchUrl(std::wstring_view value);
std::wstring FileReputationUrl(std::wstring_view digestText);
// The remote address as the search's text; the "%" of an IPv6 scope id is
// escaped as "%25".
std::wstring RemoteAddressSearchUrl(const connections::ConnectionRow& row);
std::wstring RemotePortSearchUrl(const connections::ConnectionRow& row);
// The file manager's parameters that open the path's folder with the path
// selected: /select,"<path>". The quotes keep a path with blanks whole.
std::wstring ExplorerSelectParameters(std::wstring_view path);

// The MD5 digest of the row's process file as 32 upper-case hexadecimal
// digits. Hashes the whole file before it returns. Throws util::AppError
// naming the file and the system's reason when it could not be read.
std::wstring ProcessFileDigestText(const connections::ConnectionRow& row);

// The commands, in menu order.

// The property sheet of the process file, owned by the main window.
void ShowProcessProperties(const connections::ConnectionList& list,
                           platform::WindowHandle mainWindow);
// The file manager with the process file selected.
void LocateProcessFile(const connections::ConnectionList& list);
// A search for the process file's digest. Opens nothing for a row without a
// process folder, nor when the file could not be read: that is reported.
void SearchProcessHash(const connections::ConnectionList& list);
// The file reputation service's search for the digest; likewise.
void CheckProcessHashReputation(const connections::ConnectionList& list);
// A search for the remote address text.
void SearchRemoteAddress(const connections::ConnectionList& list);
// A search for the remote port text alone.
void SearchRemotePort(const connections::ConnectionList& list);
// Fixed pages of the IP reputation site, the same for every row.
void OpenIpBlacklistCheck(const connections::ConnectionList& list);
void OpenIpGeolocation(const connections::ConnectionList& list);
void OpenIpWhois(const connections::ConnectionList& list);

} // namespace vq::ui
