#pragma once

// The IP Helper entry points, as bound at start-up, and the records of their tables.

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VQ_WINAPI __stdcall
#else
#define VQ_WINAPI
#endif

namespace vq::platform {

// GetExtendedTcpTable and GetExtendedUdpTable share this shape:
// (table, size, order, address family, table class, reserved).
using GetExtendedTableFn = std::uint32_t(VQ_WINAPI*)(void* table, std::uint32_t* size, int order,
                                                     std::uint32_t family, int tableClass,
                                                     std::uint32_t reserved);

// MIB_TCPROW: the record SetTcpEntry takes.
struct TcpRow {
    std::uint32_t state;
    std::uint32_t localAddr;
    std::uint32_t localPort;
    std::uint32_t remoteAddr;
    std::uint32_t remotePort;
};
using SetTcpEntryFn = std::uint32_t(VQ_WINAPI*)(TcpRow* row);

// MIB_TCPROW_OWNER_PID, 24 bytes.
struct TcpRowOwnerPid {
    std::uint32_t state;
    std::uint32_t localAddr;
    std::uint32_t localPort;
    std::uint32_t remoteAddr;
    std::uint32_t remotePort;
    std::uint32_t owningPid;
};
static_assert(sizeof(TcpRowOwnerPid) == 24);

// MIB_UDPROW_OWNER_PID, 12 bytes.
struct UdpRowOwnerPid {
    std::uint32_t localAddr;
    std::uint32_t localPort;
    std::uint32_t owningPid;
};
static_assert(sizeof(UdpRowOwnerPid) == 12);

// MIB_TCP6ROW_OWNER_PID, 56 bytes: addresses as 16 bytes in network order,
// each with the scope id of its zone.
struct Tcp6RowOwnerPid {
    std::uint8_t localAddr[16];
    std::uint32_t localScopeId;
    std::uint32_t localPort;
    std::uint8_t remoteAddr[16];
    std::uint32_t remoteScopeId;
    std::uint32_t remotePort;
    std::uint32_t state;
    std::uint32_t owningPid;
};
static_assert(sizeof(Tcp6RowOwnerPid) == 56);

// MIB_UDP6ROW_OWNER_PID, 28 bytes.
struct Udp6RowOwnerPid {
    std::uint8_t localAddr[16];
    std::uint32_t localScopeId;
    std::uint32_t localPort;
    std::uint32_t owningPid;
};
static_assert(sizeof(Udp6RowOwnerPid) == 28);

inline constexpr std::uint32_t kNoError = 0;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kAfInet = 2;
inline constexpr std::uint32_t kAfInet6 = 23;
inline constexpr int kTcpTableOwnerPidAll = 5;
inline constexpr int kUdpTableOwnerPid = 1;

} // namespace vq::platform

namespace vq::platform {

// The three entry points bound from iphlpapi.dll at start-up; any may be null.
struct IpHelperEntryPoints {
    GetExtendedTableFn getExtendedTcpTable = nullptr;
    GetExtendedTableFn getExtendedUdpTable = nullptr;
    SetTcpEntryFn setTcpEntry = nullptr;
};

} // namespace vq::platform
