#include "connections/close_connection.h"

#include "connections/ipv4_text.h"
#include "connections/table_reader.h"
#include "connections/tcp_state_names.h"

#include <deque>
#include <unordered_map>

namespace vq::connections {
namespace {

struct EndpointKeyHash {
    std::size_t operator()(const EndpointKey& key) const { return EndpointHash(key); }
};

// What a row compares with an entry: the remote port as the table holds it.
EndpointKey CloseMatchKey(const platform::TcpRowOwnerPid& entry)
{
    EndpointKey key = TcpEndpoint(entry);
    key.remotePort = PortFromNetwork(entry.remotePort);
    return key;
}

} // namespace

std::size_t CloseTcpConnections(const platform::IpHelperEntryPoints& ipHelper,
                                const std::vector<EndpointKey>& endpoints)
{
    if (ipHelper.getExtendedTcpTable == nullptr || ipHelper.setTcpEntry == nullptr || endpoints.empty()) {
        return 0;
    }
    // The buffer belongs to read and goes with it on every return below.
    const auto read = ReadTcpTable(ipHelper);
    if (read.outcome != ReadOutcome::Read) {
        return 0;
    }
    // The matching entries of every wanted endpoint, in table order.
    std::unordered_map<EndpointKey, std::deque<std::size_t>, EndpointKeyHash> entries;
    for (const EndpointKey& endpoint : endpoints) {
        if (endpoint.protocol == Protocol::Tcp) {
            entries.try_emplace(endpoint);
        }
    }
    for (std::size_t index = 0; index < read.table.size(); ++index) {
        if (const auto found = entries.find(CloseMatchKey(read.table[index])); found != entries.end()) {
            found->second.push_back(index);
        }
    }

    std::size_t closed = 0;
    for (const EndpointKey& endpoint : endpoints) {
        const auto found = entries.find(endpoint);
        if (found == entries.end() || found->second.empty()) {
            continue;
        }
        const platform::TcpRowOwnerPid entry = read.table[found->second.front()];
        platform::TcpRow row{kTcpStateDeleteTcb, entry.localAddr, entry.localPort, entry.remoteAddr,
                             entry.remotePort};
        if (ipHelper.setTcpEntry(&row) == platform::kNoError) {
            found->second.pop_front();
            ++closed;
        }
    }
    return closed;
}

} // namespace vq::connections
