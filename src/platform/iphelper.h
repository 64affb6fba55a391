#pragma once

// The IP Helper entry points, as bound at start-up, and the records of their tables.

#include <cstddef>
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

// The owner-module rows: the owner-pid fields, then the time the endpoint
// was made (a FILETIME, 0 when unknown) and what the system knows of the
// module that owns it, whose first word is its owner tag. Their tables' rows
// begin at byte 8 (the count, then padding), at either pointer size; the
// fields are declared as 32-bit words so that the layout is the same for
// every compiler.
struct OwnerModuleInfo {
    std::uint32_t words[32];
};
static_assert(sizeof(OwnerModuleInfo) == 128);

// MIB_TCPROW_OWNER_MODULE, 160 bytes.
struct TcpRowOwnerModule {
    std::uint32_t state;
    std::uint32_t localAddr;
    std::uint32_t localPort;
    std::uint32_t remoteAddr;
    std::uint32_t remotePort;
    std::uint32_t owningPid;
    std::uint32_t createTimestamp[2];
    OwnerModuleInfo owningModuleInfo;
};
static_assert(sizeof(TcpRowOwnerModule) == 160);

// MIB_TCP6ROW_OWNER_MODULE, 192 bytes.
struct Tcp6RowOwnerModule {
    std::uint8_t localAddr[16];
    std::uint32_t localScopeId;
    std::uint32_t localPort;
    std::uint8_t remoteAddr[16];
    std::uint32_t remoteScopeId;
    std::uint32_t remotePort;
    std::uint32_t state;
    std::uint32_t owningPid;
    std::uint32_t createTimestamp[2];
    OwnerModuleInfo owningModuleInfo;
};
static_assert(sizeof(Tcp6RowOwnerModule) == 192);

// MIB_UDPROW_OWNER_MODULE, 160 bytes.
struct UdpRowOwnerModule {
    std::uint32_t localAddr;
    std::uint32_t localPort;
    std::uint32_t owningPid;
    std::uint32_t padding;
    std::uint32_t createTimestamp[2];
    std::uint32_t flags;
    std::uint32_t padding2;
    OwnerModuleInfo owningModuleInfo;
};
static_assert(sizeof(UdpRowOwnerModule) == 160);

// MIB_UDP6ROW_OWNER_MODULE, 176 bytes.
struct Udp6RowOwnerModule {
    std::uint8_t localAddr[16];
    std::uint32_t localScopeId;
    std::uint32_t localPort;
    std::uint32_t owningPid;
    std::uint32_t padding;
    std::uint32_t createTimestamp[2];
    std::uint32_t flags;
    std::uint32_t padding2;
    OwnerModuleInfo owningModuleInfo;
};
static_assert(sizeof(Udp6RowOwnerModule) == 176);

// Where a table's first row begins: after the count, and for the
// owner-module rows after the padding that aligns them to 8 bytes.
template <typename Row>
inline constexpr std::size_t kTableRowsOffset = 4;
template <>
inline constexpr std::size_t kTableRowsOffset<TcpRowOwnerModule> = 8;
template <>
inline constexpr std::size_t kTableRowsOffset<Tcp6RowOwnerModule> = 8;
template <>
inline constexpr std::size_t kTableRowsOffset<UdpRowOwnerModule> = 8;
template <>
inline constexpr std::size_t kTableRowsOffset<Udp6RowOwnerModule> = 8;

// GetOwnerModuleFromTcpEntry and its Tcp6/Udp/Udp6 siblings:
// (row, information class, buffer, size).
using GetOwnerModuleFn = std::uint32_t(VQ_WINAPI*)(const void* row, int infoClass, void* buffer,
                                                   std::uint32_t* size);
// TCPIP_OWNER_MODULE_BASIC_INFO: two texts that live in the same buffer.
struct OwnerModuleBasicInfo {
    const wchar_t* moduleName;
    const wchar_t* modulePath;
};
inline constexpr int kOwnerModuleInfoBasic = 0;

inline constexpr std::uint32_t kNoError = 0;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kAfInet = 2;
inline constexpr std::uint32_t kAfInet6 = 23;
inline constexpr int kTcpTableOwnerPidAll = 5;
inline constexpr int kUdpTableOwnerPid = 1;
inline constexpr int kTcpTableOwnerModuleAll = 8;
inline constexpr int kUdpTableOwnerModule = 2;

} // namespace vq::platform

namespace vq::platform {

// The three entry points bound from iphlpapi.dll at start-up; any may be null.
struct IpHelperEntryPoints {
    GetExtendedTableFn getExtendedTcpTable = nullptr;
    GetExtendedTableFn getExtendedUdpTable = nullptr;
    SetTcpEntryFn setTcpEntry = nullptr;
};

// The owner-module look-ups, which not every system has; any may be null.
struct OwnerModuleLookUps {
    GetOwnerModuleFn fromTcpEntry = nullptr;
    GetOwnerModuleFn fromTcp6Entry = nullptr;
    GetOwnerModuleFn fromUdpEntry = nullptr;
    GetOwnerModuleFn fromUdp6Entry = nullptr;
};

} // namespace vq::platform
