// A stand-in for iphlpapi.dll in the end-to-end tests. It serves TCP and UDP
// tables from the text file "vq_tables.txt" beside it (read afresh at every
// size query, so a test changes the tables by rewriting the file), records
// every SetTcpEntry call in "vq_settcpentry.log" and every table it served
// whole in "vq_reads.log" (one line: tcp, udp, tcp6 or udp6), so that a test
// can wait for refreshes instead of for time. Every other export of the
// real library is forwarded to a copy of it named "iphlpreal.dll".
//
// Table file lines:
//   tcp <state> <local address> <local port> <remote address> <remote port> <pid>
//   udp <local address> <local port> <pid>
//   tcp6 <state> <local address> <local scope> <local port> <remote address> <remote scope> <remote port> <pid>
//   udp6 <local address> <local scope> <local port> <pid>
//   settcpentry-result <n>      (what SetTcpEntry answers; 0 when absent)
//   tcp-size <n>                (the TCP size query answers this many bytes, whatever the rows)
//   module <owner tag> <name>   (what the owner-module look-ups answer for rows of that tag)
// Ports are decimal; a remote port written as raw:<hex> is stored in the
// field exactly as given. A row line may end in created=<FILETIME> and
// tag=<owner tag>, which the owner-module tables carry (0 when absent).
// Every owner-module look-up is logged in "vq_modulelookups.log" (one line:
// the tag asked for).

#include <windows.h>
#include <iprtrmib.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HMODULE g_module = nullptr;

constexpr ULONG kAfInet6 = 23;

// The owner-module layouts the program reads, checked at both widths.
static_assert(sizeof(MIB_TCPROW_OWNER_MODULE) == 160 && sizeof(MIB_TCP6ROW_OWNER_MODULE) == 192);
static_assert(sizeof(MIB_UDPROW_OWNER_MODULE) == 160 && sizeof(MIB_UDP6ROW_OWNER_MODULE) == 176);
static_assert(offsetof(MIB_TCPTABLE_OWNER_MODULE, table) == 8 && offsetof(MIB_TCP6TABLE_OWNER_MODULE, table) == 8);
static_assert(offsetof(MIB_UDPTABLE_OWNER_MODULE, table) == 8 && offsetof(MIB_UDP6TABLE_OWNER_MODULE, table) == 8);
static_assert(offsetof(MIB_TCPROW_OWNER_MODULE, liCreateTimestamp) == 24);
static_assert(offsetof(MIB_TCP6ROW_OWNER_MODULE, liCreateTimestamp) == 56);
static_assert(offsetof(MIB_UDPROW_OWNER_MODULE, liCreateTimestamp) == 16);
static_assert(offsetof(MIB_UDP6ROW_OWNER_MODULE, liCreateTimestamp) == 32);
static_assert(offsetof(MIB_UDPROW_OWNER_MODULE, OwningModuleInfo) == 32);
static_assert(offsetof(MIB_UDP6ROW_OWNER_MODULE, OwningModuleInfo) == 48);

constexpr int kTcpTableOwnerPidAll = 5;
constexpr int kTcpTableOwnerModuleAll = 8;
constexpr int kUdpTableOwnerPid = 1;
constexpr int kUdpTableOwnerModule = 2;

// What the owner-module tables add to a row.
struct Origin {
    ULONGLONG created = 0;
    ULONGLONG tag = 0;
};

struct Tables {
    std::vector<DWORD> tcp;  // six words per row
    std::vector<DWORD> udp;  // three words per row
    std::vector<DWORD> tcp6;  // fourteen words per row
    std::vector<DWORD> udp6;  // seven words per row
    std::vector<Origin> tcpOrigins, udpOrigins, tcp6Origins, udp6Origins;  // one per row
    std::vector<std::pair<ULONGLONG, std::wstring>> modules;
    DWORD setTcpEntryResult = 0;
    DWORD tcpSize = 0;  // 0: the rows' own size
};

std::string BesideThisDll(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(g_module, path, MAX_PATH);
    std::string text(path);
    return text.substr(0, text.find_last_of("\\/") + 1) + name;
}

DWORD AddressField(const char* text)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d);
    return a | (b << 8) | (c << 16) | (d << 24);
}

DWORD PortField(const char* text)
{
    if (std::strncmp(text, "raw:", 4) == 0) {
        return static_cast<DWORD>(std::strtoul(text + 4, nullptr, 16));
    }
    const unsigned long port = std::strtoul(text, nullptr, 10);
    return static_cast<DWORD>(((port >> 8) & 0xFF) | ((port & 0xFF) << 8));
}

// Appends the four words of an IPv6 address written as text ("::1",
// "fe80::2", "::ffff:10.0.0.5"), its bytes in network order.
void AppendAddress6(std::vector<DWORD>& words, const char* text)
{
    unsigned short groups[8] = {};
    std::vector<unsigned short> head, tail;
    std::vector<unsigned short>* part = &head;
    const char* p = text;
    while (*p != 0) {
        if (p[0] == ':' && p[1] == ':') {
            part = &tail;
            p += 2;
            continue;
        }
        if (*p == ':') {
            ++p;
            continue;
        }
        const char* end = p;
        while (*end != 0 && *end != ':') {
            ++end;
        }
        if (std::memchr(p, '.', static_cast<size_t>(end - p)) != nullptr) {
            const DWORD v4 = AddressField(p);  // a.b.c.d: two groups
            part->push_back(static_cast<unsigned short>(((v4 & 0xFF) << 8) | ((v4 >> 8) & 0xFF)));
            part->push_back(static_cast<unsigned short>((((v4 >> 16) & 0xFF) << 8) | (v4 >> 24)));
        } else {
            part->push_back(static_cast<unsigned short>(std::strtoul(p, nullptr, 16)));
        }
        p = end;
    }
    for (size_t i = 0; i < head.size() && i < 8; ++i) {
        groups[i] = head[i];
    }
    for (size_t i = 0; i < tail.size() && i < 8; ++i) {
        groups[8 - tail.size() + i] = tail[i];
    }
    unsigned char bytes[16];
    for (int i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(groups[i] >> 8);
        bytes[2 * i + 1] = static_cast<unsigned char>(groups[i]);
    }
    DWORD out[4];
    std::memcpy(out, bytes, sizeof bytes);
    words.insert(words.end(), out, out + 4);
}

DWORD Number(const char* text)
{
    return static_cast<DWORD>(std::strtoul(text, nullptr, 10));
}

Tables ReadTables()
{
    Tables tables;
    FILE* file = std::fopen(BesideThisDll("vq_tables.txt").c_str(), "r");
    if (file == nullptr) {
        return tables;
    }
    char line[512];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        // created= and tag= come off the end of a row line first.
        Origin origin;
        for (char* word = std::strrchr(line, ' '); word != nullptr; word = std::strrchr(line, ' ')) {
            if (std::strncmp(word + 1, "created=", 8) == 0) {
                origin.created = std::strtoull(word + 9, nullptr, 10);
            } else if (std::strncmp(word + 1, "tag=", 4) == 0) {
                origin.tag = std::strtoull(word + 5, nullptr, 10);
            } else {
                break;
            }
            *word = '\0';
        }
        char kind[32] = {}, a[64] = {}, b[64] = {}, c[64] = {}, d[64] = {}, e[64] = {}, f[64] = {}, g[64] = {},
             h[64] = {};
        const int fields = std::sscanf(line, "%31s %63s %63s %63s %63s %63s %63s %63s %63s", kind, a, b, c, d, e, f,
                                       g, h);
        if (fields == 3 && std::strcmp(kind, "module") == 0) {
            std::wstring name(b, b + std::strlen(b));
            tables.modules.emplace_back(std::strtoull(a, nullptr, 10), name);
            continue;
        }
        const std::size_t rows = tables.tcp.size() + tables.udp.size() + tables.tcp6.size() + tables.udp6.size();
        if (fields == 9 && std::strcmp(kind, "tcp6") == 0) {
            AppendAddress6(tables.tcp6, b);
            tables.tcp6.insert(tables.tcp6.end(), {Number(c), PortField(d)});
            AppendAddress6(tables.tcp6, e);
            tables.tcp6.insert(tables.tcp6.end(), {Number(f), PortField(g), Number(a), Number(h)});
        } else if (fields == 5 && std::strcmp(kind, "udp6") == 0) {
            AppendAddress6(tables.udp6, a);
            tables.udp6.insert(tables.udp6.end(), {Number(b), PortField(c), Number(d)});
        } else if (fields == 7 && std::strcmp(kind, "tcp") == 0) {
            tables.tcp.insert(tables.tcp.end(),
                              {static_cast<DWORD>(std::strtoul(a, nullptr, 10)), AddressField(b),
                               PortField(c), AddressField(d), PortField(e),
                               static_cast<DWORD>(std::strtoul(f, nullptr, 10))});
        } else if (fields == 4 && std::strcmp(kind, "udp") == 0) {
            tables.udp.insert(tables.udp.end(), {AddressField(a), PortField(b),
                                                 static_cast<DWORD>(std::strtoul(c, nullptr, 10))});
        }
        if (rows != tables.tcp.size() + tables.udp.size() + tables.tcp6.size() + tables.udp6.size()) {
            std::vector<Origin>& origins = std::strcmp(kind, "tcp") == 0    ? tables.tcpOrigins
                                           : std::strcmp(kind, "udp") == 0  ? tables.udpOrigins
                                           : std::strcmp(kind, "tcp6") == 0 ? tables.tcp6Origins
                                                                            : tables.udp6Origins;
            origins.push_back(origin);
        } else if (fields == 2 && std::strcmp(kind, "settcpentry-result") == 0) {
            tables.setTcpEntryResult = static_cast<DWORD>(std::strtoul(a, nullptr, 10));
        } else if (fields == 2 && std::strcmp(kind, "tcp-size") == 0) {
            tables.tcpSize = static_cast<DWORD>(std::strtoul(a, nullptr, 10));
        }
    }
    std::fclose(file);
    return tables;
}

void LogRead(const char* kind)
{
    FILE* log = std::fopen(BesideThisDll("vq_reads.log").c_str(), "a");
    if (log != nullptr) {
        std::fprintf(log, "%s\n", kind);
        std::fclose(log);
    }
}

// The platform's two-call contract: too small a buffer gets the needed size and 122.
DWORD ServeTable(const std::vector<DWORD>& words, DWORD wordsPerRow, PVOID table, PDWORD size, const char* kind)
{
    if (size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const DWORD needed = static_cast<DWORD>((1 + words.size()) * sizeof(DWORD));
    if (table == nullptr || *size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    auto* out = static_cast<DWORD*>(table);
    out[0] = static_cast<DWORD>(words.size() / wordsPerRow);
    if (!words.empty()) {
        std::memcpy(out + 1, words.data(), words.size() * sizeof(DWORD));
    }
    *size = needed;
    LogRead(kind);
    return NO_ERROR;
}

// An owner-module table: the count, padding, then each row's owner-pid
// fields followed by its origin.
template <typename Row, typename Fill>
DWORD ServeModuleTable(const std::vector<DWORD>& words, DWORD wordsPerRow, const std::vector<Origin>& origins,
                       PVOID table, PDWORD size, const char* kind, Fill fill)
{
    if (size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::size_t count = words.size() / wordsPerRow;
    const DWORD needed = static_cast<DWORD>(8 + count * sizeof(Row));
    if (table == nullptr || *size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    auto* out = static_cast<unsigned char*>(table);
    std::memset(out, 0, needed);
    const DWORD rows = static_cast<DWORD>(count);
    std::memcpy(out, &rows, sizeof rows);
    for (std::size_t i = 0; i < count; ++i) {
        Row row{};
        fill(row, &words[i * wordsPerRow]);
        const Origin origin = i < origins.size() ? origins[i] : Origin{};
        row.liCreateTimestamp.QuadPart = static_cast<LONGLONG>(origin.created);
        row.OwningModuleInfo[0] = origin.tag;
        std::memcpy(out + 8 + i * sizeof(Row), &row, sizeof(Row));
    }
    *size = needed;
    LogRead(kind);
    return NO_ERROR;
}

// The scripted answer of an owner-module look-up for a row's tag: the
// module's name and a path ending in it, in the caller's buffer.
DWORD AnswerOwnerModule(ULONGLONG tag, int infoClass, PVOID buffer, PDWORD size)
{
    FILE* log = std::fopen(BesideThisDll("vq_modulelookups.log").c_str(), "a");
    if (log != nullptr) {
        std::fprintf(log, "%llu\n", tag);
        std::fclose(log);
    }
    if (size == nullptr || infoClass != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    const Tables tables = ReadTables();
    for (const auto& [moduleTag, name] : tables.modules) {
        if (moduleTag != tag) {
            continue;
        }
        const std::wstring path = L"C:\\windows\\system32\\" + name;
        const DWORD needed = static_cast<DWORD>(sizeof(TCPIP_OWNER_MODULE_BASIC_INFO) +
                                                (name.size() + 1 + path.size() + 1) * sizeof(wchar_t));
        if (buffer == nullptr || *size < needed) {
            *size = needed;
            return ERROR_INSUFFICIENT_BUFFER;
        }
        auto* info = static_cast<TCPIP_OWNER_MODULE_BASIC_INFO*>(buffer);
        auto* text = reinterpret_cast<wchar_t*>(info + 1);
        std::wmemcpy(text, name.c_str(), name.size() + 1);
        info->pModuleName = text;
        text += name.size() + 1;
        std::wmemcpy(text, path.c_str(), path.size() + 1);
        info->pModulePath = text;
        *size = needed;
        return NO_ERROR;
    }
    return ERROR_NOT_FOUND;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

#ifndef VQ_WITHOUT_TCP_TABLE
DWORD WINAPI GetExtendedTcpTable(PVOID table, PDWORD size, BOOL, ULONG family,
                                                       int tableClass, ULONG)
{
    if ((family != AF_INET && family != kAfInet6) ||
        (tableClass != kTcpTableOwnerPidAll && tableClass != kTcpTableOwnerModuleAll)) {
        return ERROR_INVALID_PARAMETER;
    }
    const Tables tables = ReadTables();
    if (tableClass == kTcpTableOwnerModuleAll && family == kAfInet6) {
        return ServeModuleTable<MIB_TCP6ROW_OWNER_MODULE>(
            tables.tcp6, 14, tables.tcp6Origins, table, size, "tcp6", [](MIB_TCP6ROW_OWNER_MODULE& row, const DWORD* w) {
                std::memcpy(&row, w, 14 * sizeof(DWORD));
            });
    }
    if (tableClass == kTcpTableOwnerModuleAll) {
        return ServeModuleTable<MIB_TCPROW_OWNER_MODULE>(
            tables.tcp, 6, tables.tcpOrigins, table, size, "tcp", [](MIB_TCPROW_OWNER_MODULE& row, const DWORD* w) {
                std::memcpy(&row, w, 6 * sizeof(DWORD));
            });
    }
    if (family == kAfInet6) {
        return ServeTable(tables.tcp6, 14, table, size, "tcp6");
    }
    if (tables.tcpSize != 0 && size != nullptr && (table == nullptr || *size < tables.tcpSize)) {
        *size = tables.tcpSize;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    return ServeTable(tables.tcp, 6, table, size, "tcp");
}
#endif

#ifndef VQ_WITHOUT_UDP_TABLE
DWORD WINAPI GetExtendedUdpTable(PVOID table, PDWORD size, BOOL, ULONG family,
                                                       int tableClass, ULONG)
{
    if ((family != AF_INET && family != kAfInet6) ||
        (tableClass != kUdpTableOwnerPid && tableClass != kUdpTableOwnerModule)) {
        return ERROR_INVALID_PARAMETER;
    }
    const Tables tables = ReadTables();
    if (tableClass == kUdpTableOwnerModule && family == kAfInet6) {
        return ServeModuleTable<MIB_UDP6ROW_OWNER_MODULE>(
            tables.udp6, 7, tables.udp6Origins, table, size, "udp6", [](MIB_UDP6ROW_OWNER_MODULE& row, const DWORD* w) {
                std::memcpy(&row, w, 7 * sizeof(DWORD));
            });
    }
    if (tableClass == kUdpTableOwnerModule) {
        return ServeModuleTable<MIB_UDPROW_OWNER_MODULE>(
            tables.udp, 3, tables.udpOrigins, table, size, "udp", [](MIB_UDPROW_OWNER_MODULE& row, const DWORD* w) {
                std::memcpy(&row, w, 3 * sizeof(DWORD));
            });
    }
    return family == kAfInet6 ? ServeTable(tables.udp6, 7, table, size, "udp6")
                              : ServeTable(tables.udp, 3, table, size, "udp");
}
#endif

struct TcpRowRecord {
    DWORD state, localAddr, localPort, remoteAddr, remotePort;
};

DWORD WINAPI GetOwnerModuleFromTcpEntry(const MIB_TCPROW_OWNER_MODULE* row, int infoClass, PVOID buffer, PDWORD size)
{
    return AnswerOwnerModule(row->OwningModuleInfo[0], infoClass, buffer, size);
}

DWORD WINAPI GetOwnerModuleFromTcp6Entry(const MIB_TCP6ROW_OWNER_MODULE* row, int infoClass, PVOID buffer,
                                         PDWORD size)
{
    return AnswerOwnerModule(row->OwningModuleInfo[0], infoClass, buffer, size);
}

DWORD WINAPI GetOwnerModuleFromUdpEntry(const MIB_UDPROW_OWNER_MODULE* row, int infoClass, PVOID buffer, PDWORD size)
{
    return AnswerOwnerModule(row->OwningModuleInfo[0], infoClass, buffer, size);
}

DWORD WINAPI GetOwnerModuleFromUdp6Entry(const MIB_UDP6ROW_OWNER_MODULE* row, int infoClass, PVOID buffer,
                                         PDWORD size)
{
    return AnswerOwnerModule(row->OwningModuleInfo[0], infoClass, buffer, size);
}

DWORD WINAPI SetTcpEntry(TcpRowRecord* row)
{
    FILE* log = std::fopen(BesideThisDll("vq_settcpentry.log").c_str(), "a");
    if (log != nullptr) {
        std::fprintf(log, "%lu %lu.%lu.%lu.%lu %lu %lu.%lu.%lu.%lu %lu\n", row->state,
                     row->localAddr & 0xFF, (row->localAddr >> 8) & 0xFF, (row->localAddr >> 16) & 0xFF,
                     row->localAddr >> 24, ((row->localPort & 0xFF) << 8) | ((row->localPort >> 8) & 0xFF),
                     row->remoteAddr & 0xFF, (row->remoteAddr >> 8) & 0xFF,
                     (row->remoteAddr >> 16) & 0xFF, row->remoteAddr >> 24,
                     ((row->remotePort & 0xFF) << 8) | ((row->remotePort >> 8) & 0xFF));
        std::fclose(log);
    }
    return ReadTables().setTcpEntryResult;
}

} // extern "C"
