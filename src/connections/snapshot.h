#pragma once

#include "platform/iphelper.h"

#include <string>
#include <vector>

namespace vq::connections {

// The text lines of one table read, one per entry in table order; empty
// between refreshes.
using SnapshotLines = std::vector<std::wstring>;

// local address|local port|remote address|remote port|process id|state name
std::wstring TcpSnapshotLine(const platform::TcpRowOwnerPid& row);
// local address|local port|process id
std::wstring UdpSnapshotLine(const platform::UdpRowOwnerPid& row);

// A socket without a remote end always shows remote port 0, whatever the
// platform left in that field.
platform::TcpRowOwnerPid WithRemotePortRule(platform::TcpRowOwnerPid row);

// Append one line per table entry; answer whether the synchronisation of the
// list is due (false only when the table could not be asked at all).
bool TakeTcpSnapshot(const platform::IpHelperEntryPoints& ipHelper, SnapshotLines& tcpSnapshot);
bool TakeUdpSnapshot(const platform::IpHelperEntryPoints& ipHelper, SnapshotLines& udpSnapshot);

} // namespace vq::connections
