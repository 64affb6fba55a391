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
// Ports are decimal; a remote port written as raw:<hex> is stored in the
// field exactly as given.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HMODULE g_module = nullptr;

constexpr ULONG kAfInet6 = 23;

struct Tables {
    std::vector<DWORD> tcp;  // six words per row
    std::vector<DWORD> udp;  // three words per row
    std::vector<DWORD> tcp6;  // fourteen words per row
    std::vector<DWORD> udp6;  // seven words per row
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
        char kind[32] = {}, a[64] = {}, b[64] = {}, c[64] = {}, d[64] = {}, e[64] = {}, f[64] = {}, g[64] = {},
             h[64] = {};
        const int fields = std::sscanf(line, "%31s %63s %63s %63s %63s %63s %63s %63s %63s", kind, a, b, c, d, e, f,
                                       g, h);
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
    if ((family != AF_INET && family != kAfInet6) || tableClass != 5) {
        return ERROR_INVALID_PARAMETER;
    }
    const Tables tables = ReadTables();
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
    if ((family != AF_INET && family != kAfInet6) || tableClass != 1) {
        return ERROR_INVALID_PARAMETER;
    }
    const Tables tables = ReadTables();
    return family == kAfInet6 ? ServeTable(tables.udp6, 7, table, size, "udp6")
                              : ServeTable(tables.udp, 3, table, size, "udp");
}
#endif

struct TcpRowRecord {
    DWORD state, localAddr, localPort, remoteAddr, remotePort;
};

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
