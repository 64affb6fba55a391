// A stand-in for iphlpapi.dll that serves a huge generated TCP table, sorted
// as the system sorts it, and a small fixed UDP table, replacing a share of
// the TCP rows at every read.
// Every other export is forwarded to Wine's own library (iphlpreal.dll).
//
// Environment:
//   VQ_SCALE_ROWS       TCP rows (default 10000)
//   VQ_SCALE_UDP_ROWS   UDP rows (default 16)
//   VQ_SCALE_CHURN      percent of TCP rows replaced at every read (default 0)
//   VQ_SCALE_PIDS       file of owner pids, whitespace-separated (default: 200 absent pids)
//   VQ_SCALE_LOG        file that gets "<unix ms> <ms spent> <rows>" per TCP table read

#include <windows.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct TcpRow {
    DWORD state, localAddr, localPort, remoteAddr, remotePort, owningPid;
};
struct UdpRow {
    DWORD localAddr, localPort, owningPid;
};

constexpr DWORD kListen = 2, kEstablished = 5, kCloseWait = 8, kTimeWait = 11;
constexpr DWORD kPortsPerAddress = 50000;
constexpr ULONG kAfInet = 2;

DWORD Mix(DWORD x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    return x ^ (x >> 16);
}

DWORD Address(DWORD a, DWORD b, DWORD c, DWORD d) { return a | (b << 8) | (c << 16) | (d << 24); }
DWORD Port(DWORD port) { return ((port >> 8) & 0xFF) | ((port & 0xFF) << 8); }

std::vector<char> Env(const char* name)
{
    std::vector<char> value(1024);
    const DWORD length = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0 || length >= value.size()) {
        return {};
    }
    return value;
}

double EnvNumber(const char* name, double fallback)
{
    const std::vector<char> value = Env(name);
    return value.empty() ? fallback : std::strtod(value.data(), nullptr);
}

double UnixMs()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 10000.0;
}

class Generator {
public:
    void Init()
    {
        pids_ = ReadPids();
        rows_ = static_cast<std::size_t>(EnvNumber("VQ_SCALE_ROWS", 10000));
        churn_ = static_cast<std::size_t>(std::lround(rows_ * EnvNumber("VQ_SCALE_CHURN", 0) / 100.0));
        log_ = Env("VQ_SCALE_LOG");
        tcp_.reserve(rows_);
        for (nextSerial_ = 0; nextSerial_ < rows_; ++nextSerial_) {
            tcp_.push_back(MakeTcp(nextSerial_, nextSerial_));
        }
        const auto udpRows = static_cast<DWORD>(EnvNumber("VQ_SCALE_UDP_ROWS", 16));
        for (DWORD i = 0; i < udpRows; ++i) {
            udp_.push_back({Address(0, 0, 0, 0), Port(5000 + i), pids_[Mix(i) % pids_.size()]});
        }
    }

    // The oldest rows go first, like connections that end, and new ones take their place.
    void Churn()
    {
        for (std::size_t i = 0; i < churn_ && !tcp_.empty(); ++i) {
            tcp_[cursor_] = MakeTcp(cursor_, nextSerial_++);
            cursor_ = (cursor_ + 1) % tcp_.size();
        }
    }

    void LogRead(double startMs) const
    {
        if (log_.empty()) {
            return;
        }
        if (FILE* file = std::fopen(log_.data(), "a")) {
            std::fprintf(file, "%.3f %.3f %u\n", startMs, UnixMs() - startMs, static_cast<unsigned>(tcp_.size()));
            std::fclose(file);
        }
    }

    const std::vector<TcpRow>& Tcp() const { return tcp_; }
    const std::vector<UdpRow>& Udp() const { return udp_; }

private:
    static std::vector<DWORD> ReadPids()
    {
        std::vector<DWORD> pids;
        const std::vector<char> path = Env("VQ_SCALE_PIDS");
        if (FILE* file = path.empty() ? nullptr : std::fopen(path.data(), "r")) {
            unsigned long pid = 0;
            while (std::fscanf(file, "%lu", &pid) == 1) {
                pids.push_back(static_cast<DWORD>(pid));
            }
            std::fclose(file);
        }
        for (DWORD i = 0; pids.empty() && i < 200; ++i) {
            pids.push_back(60000 + 4 * i);
        }
        return pids;
    }

    // The position decides the local end, so the table stays in the system's
    // order (local address, then port) however rows are replaced; the serial
    // decides the rest, so a replacement is a new connection. Only the first
    // rows listen: a replacement that listened could repeat the row it replaces.
    TcpRow MakeTcp(std::size_t position, DWORD serial) const
    {
        const DWORD hash = Mix(serial);
        const auto block = static_cast<DWORD>(position / kPortsPerAddress);
        TcpRow row{kEstablished,
                   Address(10, (block >> 8) & 0xFF, block & 0xFF, 1),
                   Port(1024 + position % kPortsPerAddress),
                   Address(20 + hash % 200, (hash >> 8) & 0xFF, (hash >> 16) & 0xFF, 1 + (hash >> 24) % 254),
                   Port(std::array<DWORD, 4>{443, 80, 22, 8080}[(hash >> 4) % 4]),
                   pids_[Mix(serial ^ 0x9e3779b9U) % pids_.size()]};
        const DWORD kind = hash % 100;
        if (kind < 5 && serial < rows_) {
            row.state = kListen;
            row.remoteAddr = 0;
            row.remotePort = 0;
        } else if (kind < 15) {
            row.state = kTimeWait;
        } else if (kind < 20) {
            row.state = kCloseWait;
        }
        return row;
    }

    std::vector<TcpRow> tcp_;
    std::vector<UdpRow> udp_;
    std::vector<DWORD> pids_;
    std::vector<char> log_;
    std::size_t rows_ = 0;
    std::size_t churn_ = 0;
    std::size_t cursor_ = 0;
    DWORD nextSerial_ = 0;
};

SRWLOCK g_lock = SRWLOCK_INIT;
Generator* g_generator = nullptr;

Generator& Tables()
{
    if (g_generator == nullptr) {
        g_generator = new Generator;
        g_generator->Init();
    }
    return *g_generator;
}

// The platform's two-call contract: too small a buffer gets the needed size and 122.
template <typename Row>
bool Serve(const std::vector<Row>& rows, PVOID table, PDWORD size, DWORD& result)
{
    const auto needed = static_cast<DWORD>(sizeof(DWORD) + rows.size() * sizeof(Row));
    if (table == nullptr || *size < needed) {
        *size = needed;
        result = ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    auto* out = static_cast<DWORD*>(table);
    out[0] = static_cast<DWORD>(rows.size());
    std::memcpy(out + 1, rows.data(), rows.size() * sizeof(Row));
    *size = needed;
    result = NO_ERROR;
    return true;
}

// The owner-module rows of the same table: the owner-pid fields, the time
// each was made and an owner tag, with the rows at byte 8.
template <typename Row>
bool ServeWithOrigins(const std::vector<Row>& rows, PVOID table, PDWORD size, DWORD& result)
{
    constexpr std::size_t kModuleRowLength = 160;  // TCP and UDP alike
    constexpr std::size_t kTimeOffset = sizeof(Row) == sizeof(TcpRow) ? 24 : 16;
    constexpr std::size_t kInfoOffset = 32;
    const auto needed = static_cast<DWORD>(8 + rows.size() * kModuleRowLength);
    if (table == nullptr || *size < needed) {
        *size = needed;
        result = ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    auto* out = static_cast<unsigned char*>(table);
    std::memset(out, 0, needed);
    const auto count = static_cast<DWORD>(rows.size());
    std::memcpy(out, &count, sizeof count);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        unsigned char* row = out + 8 + i * kModuleRowLength;
        std::memcpy(row, &rows[i], sizeof(Row));
        const ULONGLONG created = 134273808000000000ull + i * 10'000'000ull;
        const ULONGLONG tag = i % 5;
        std::memcpy(row + kTimeOffset, &created, sizeof created);
        std::memcpy(row + kInfoOffset, &tag, sizeof tag);
    }
    *size = needed;
    result = NO_ERROR;
    return true;
}

} // namespace

extern "C" {

DWORD WINAPI GetExtendedTcpTable(PVOID table, PDWORD size, BOOL, ULONG family, int tableClass, ULONG)
{
    constexpr int kOwnerPidAll = 5;
    constexpr int kOwnerModuleAll = 8;
    if (size == nullptr || family != kAfInet || (tableClass != kOwnerPidAll && tableClass != kOwnerModuleAll)) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool origins = tableClass == kOwnerModuleAll;
    const double startMs = UnixMs();
    AcquireSRWLockExclusive(&g_lock);
    Generator& tables = Tables();
    DWORD result = NO_ERROR;
    const std::size_t rowLength = origins ? 160 : sizeof(TcpRow);
    if (table != nullptr && *size >= (origins ? 8 : sizeof(DWORD)) + tables.Tcp().size() * rowLength) {
        tables.Churn();
    }
    if (origins ? ServeWithOrigins(tables.Tcp(), table, size, result) : Serve(tables.Tcp(), table, size, result)) {
        tables.LogRead(startMs);
    }
    ReleaseSRWLockExclusive(&g_lock);
    return result;
}

DWORD WINAPI GetExtendedUdpTable(PVOID table, PDWORD size, BOOL, ULONG family, int tableClass, ULONG)
{
    constexpr int kOwnerPid = 1;
    constexpr int kOwnerModule = 2;
    if (size == nullptr || family != kAfInet || (tableClass != kOwnerPid && tableClass != kOwnerModule)) {
        return ERROR_INVALID_PARAMETER;
    }
    AcquireSRWLockExclusive(&g_lock);
    DWORD result = NO_ERROR;
    if (tableClass == kOwnerModule) {
        ServeWithOrigins(Tables().Udp(), table, size, result);
    } else {
        Serve(Tables().Udp(), table, size, result);
    }
    ReleaseSRWLockExclusive(&g_lock);
    return result;
}

// Closing a generated connection is accepted and changes nothing.
DWORD WINAPI SetTcpEntry(PVOID) { return NO_ERROR; }

} // extern "C"
