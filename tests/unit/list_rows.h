#pragma once

// Rows for tests: appended to a list from the facts of a table entry, or
// from the texts a test wants to see.

#include "connections/connection_list.h"
#include "platform/iphelper.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vq::fake {

// The facts of one row, as a refresh would append it.
struct ListRow {
    connections::EndpointKey endpoint;
    std::uint32_t tcpState = 0;
    connections::OwningProcess owner;
};

ListRow TcpListRow(const platform::TcpRowOwnerPid& entry, std::wstring path = {});
ListRow UdpListRow(const platform::UdpRowOwnerPid& entry, std::wstring path = {});
ListRow Tcp6ListRow(const platform::Tcp6RowOwnerPid& entry, std::wstring path = {});
ListRow Udp6ListRow(const platform::Udp6RowOwnerPid& entry, std::wstring path = {});

void Append(connections::ConnectionList& list, const ListRow& row);

// The texts a list shows for the row.
connections::ConnectionRow ShownRow(const ListRow& row);

// The facts whose texts are these: the caption and folder make the path,
// the sub-items the endpoint and state; row.processStartTime is kept.
// Throws std::invalid_argument for texts that no endpoint shows, so that a
// test cannot ask for a row the list would never hold.
ListRow RowWithTexts(const connections::ConnectionRow& row);
// Appends RowWithTexts(row).
void AppendTexts(connections::ConnectionList& list, const connections::ConnectionRow& row);

} // namespace vq::fake
