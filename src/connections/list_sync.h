#pragma once

#include "connections/connection_list.h"
#include "connections/snapshot.h"
#include "platform/iphelper.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vq::connections {

// The path of a process's image file; empty text when there is none.
using ProcessPathResolver = std::function<std::wstring(std::uint32_t processId)>;

// The initial fill: one row per table entry in table order, duplicates
// included, without looking at the rows already listed. A failed read adds
// no row.
void FillTcpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve);
void FillUdpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve);

// Brings the rows of one protocol in step with a snapshot, then empties it.
// A row stays when a line has exactly its identity (its State text follows
// the line's state), or when it is the selected row; every other row of the
// protocol goes. A line whose identity is not listed yet becomes a new row,
// with the caption and folder of its process path. Rows of the other
// protocol are not touched, and a snapshot without lines changes nothing.
// Linear in rows plus lines, plus sorting the new rows in.
void SyncTcpRows(ConnectionList& list, SnapshotLines& tcpSnapshot, const ProcessPathResolver& resolve);
void SyncUdpRows(ConnectionList& list, SnapshotLines& udpSnapshot, const ProcessPathResolver& resolve);

// One refresh: take the TCP snapshot and synchronise when that is due, then
// the same for UDP. Both snapshots are empty afterwards.
void RefreshRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 SnapshotLines& tcpSnapshot, SnapshotLines& udpSnapshot,
                 const ProcessPathResolver& resolve);

} // namespace vq::connections
