#include "connections/snapshot.h"

#include "connections/ipv4_text.h"
#include "connections/table_reader.h"
#include "connections/tcp_state_names.h"

namespace vq::connections {
namespace {

// Longest TCP line: four 15-character addresses and numbers, a state name, separators.
constexpr std::size_t kLineRoom = 128;

} // namespace

platform::TcpRowOwnerPid WithRemotePortRule(platform::TcpRowOwnerPid row)
{
    if (row.remoteAddr == 0) {
        row.remotePort = 0;
    }
    return row;
}

std::wstring TcpSnapshotLine(const platform::TcpRowOwnerPid& row)
{
    wchar_t text[kLineRoom];
    wchar_t* out = AppendIPv4(text, row.localAddr);
    *out++ = L'|';
    out = AppendDecimal(out, PortFromNetwork(row.localPort));
    *out++ = L'|';
    out = AppendIPv4(out, row.remoteAddr);
    *out++ = L'|';
    out = AppendDecimal(out, PortFromNetwork(row.remotePort));
    *out++ = L'|';
    out = AppendDecimal(out, row.owningPid);
    *out++ = L'|';
    out = AppendTcpStateName(out, row.state);
    return std::wstring(text, static_cast<std::size_t>(out - text));
}

std::wstring UdpSnapshotLine(const platform::UdpRowOwnerPid& row)
{
    wchar_t text[kLineRoom];
    wchar_t* out = AppendIPv4(text, row.localAddr);
    *out++ = L'|';
    out = AppendDecimal(out, PortFromNetwork(row.localPort));
    *out++ = L'|';
    out = AppendDecimal(out, row.owningPid);
    return std::wstring(text, static_cast<std::size_t>(out - text));
}

bool TakeTcpSnapshot(const platform::IpHelperEntryPoints& ipHelper, SnapshotLines& tcpSnapshot)
{
    const auto read = ReadTcpTable(ipHelper);
    if (read.outcome == ReadOutcome::Unavailable) {
        return false;
    }
    const std::size_t count = read.table.size();
    tcpSnapshot.reserve(tcpSnapshot.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        tcpSnapshot.push_back(TcpSnapshotLine(WithRemotePortRule(read.table[i])));
    }
    return true;
}

bool TakeUdpSnapshot(const platform::IpHelperEntryPoints& ipHelper, SnapshotLines& udpSnapshot)
{
    const auto read = ReadUdpTable(ipHelper);
    if (read.outcome == ReadOutcome::Unavailable) {
        return false;
    }
    const std::size_t count = read.table.size();
    udpSnapshot.reserve(udpSnapshot.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        udpSnapshot.push_back(UdpSnapshotLine(read.table[i]));
    }
    return true;
}

} // namespace vq::connections
