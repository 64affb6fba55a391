#include "list_rows.h"

#include "connections/tcp_state_names.h"

#include <arpa/inet.h>

#include <cstring>
#include <stdexcept>

namespace vq::fake {
namespace {

using connections::ConnectionRow;
using connections::EndpointKey;
using connections::IpAddress;
using connections::Protocol;

std::invalid_argument NoSuchRow(const std::wstring& what)
{
    return std::invalid_argument("no row shows " + std::string(what.begin(), what.end()));
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (const wchar_t c : text) {
        if (c > 0x7F) {
            throw NoSuchRow(text);
        }
        narrow += static_cast<char>(c);
    }
    return narrow;
}

std::uint32_t Number(const std::wstring& text)
{
    std::size_t used = 0;
    const unsigned long value = text.empty() ? 0 : std::stoul(text, &used);
    if (text.empty() || used != text.size() || value > UINT32_MAX) {
        throw NoSuchRow(text);
    }
    return static_cast<std::uint32_t>(value);
}

IpAddress Address(const std::wstring& text, bool ipv6)
{
    if (!ipv6) {
        in_addr address{};
        if (inet_pton(AF_INET, Narrow(text).c_str(), &address) != 1) {
            throw NoSuchRow(text);
        }
        return connections::IPv4Address(address.s_addr);
    }
    const std::size_t percent = text.find(L'%');
    std::uint8_t bytes[16];
    if (inet_pton(AF_INET6, Narrow(text.substr(0, percent)).c_str(), bytes) != 1) {
        throw NoSuchRow(text);
    }
    return connections::IPv6Address(bytes, percent == std::wstring::npos ? 0 : Number(text.substr(percent + 1)));
}

Protocol ProtocolOf(const std::wstring& text)
{
    for (const Protocol protocol : {Protocol::Tcp, Protocol::Tcp6, Protocol::Udp, Protocol::Udp6}) {
        if (connections::ProtocolText(protocol) == text) {
            return protocol;
        }
    }
    throw NoSuchRow(text);
}

std::uint32_t StateOf(const std::wstring& text)
{
    connections::CellBuffer buffer;
    for (std::uint32_t code = 1; code <= connections::TcpStateNames.size(); ++code) {
        if (connections::TcpStateText(code, buffer) == text) {
            return code;
        }
    }
    if (text.starts_with(L"UNKNOWN(") && text.ends_with(L")")) {
        return Number(text.substr(8, text.size() - 9));
    }
    throw NoSuchRow(text);
}

} // namespace

ListRow TcpListRow(const platform::TcpRowOwnerPid& entry, std::wstring path)
{
    return {connections::TcpEndpoint(entry), entry.state, {std::move(path), std::nullopt}};
}

ListRow UdpListRow(const platform::UdpRowOwnerPid& entry, std::wstring path)
{
    return {connections::UdpEndpoint(entry), 0, {std::move(path), std::nullopt}};
}

ListRow Tcp6ListRow(const platform::Tcp6RowOwnerPid& entry, std::wstring path)
{
    return {connections::Tcp6Endpoint(entry), entry.state, {std::move(path), std::nullopt}};
}

ListRow Udp6ListRow(const platform::Udp6RowOwnerPid& entry, std::wstring path)
{
    return {connections::Udp6Endpoint(entry), 0, {std::move(path), std::nullopt}};
}

void Append(connections::ConnectionList& list, const ListRow& row)
{
    list.AppendRow(row.endpoint, row.tcpState, row.owner);
}

ConnectionRow ShownRow(const ListRow& row)
{
    connections::ConnectionList list(nullptr);
    Append(list, row);
    return list.row(0);
}

ListRow RowWithTexts(const ConnectionRow& row)
{
    using namespace connections;
    const auto& texts = row.subItems;
    ListRow made;
    EndpointKey& endpoint = made.endpoint;
    endpoint.protocol = ProtocolOf(texts[kProtocol]);
    const bool connection = endpoint.protocol == Protocol::Tcp || endpoint.protocol == Protocol::Tcp6;
    endpoint.localAddress = Address(texts[kLocalAddress], IsIPv6(endpoint.protocol));
    endpoint.localPort = Number(texts[kLocalPort]);
    if (connection) {
        made.tcpState = StateOf(texts[kState]);
        endpoint.remoteAddress = Address(texts[kRemoteAddress], IsIPv6(endpoint.protocol));
        endpoint.remotePort = Number(texts[kRemotePort]);
    }
    endpoint.processId = Number(texts[kProcessId]);
    made.owner = {texts[kProcessFolder] + row.caption, row.processStartTime};

    // Only texts that the list would show for these facts.
    const ConnectionRow shown = ShownRow(made);
    if (shown.caption != row.caption) {
        throw NoSuchRow(row.caption);
    }
    for (std::size_t i = 0; i < kSubItemCount; ++i) {
        if (shown.subItems[i] != texts[i]) {
            throw NoSuchRow(texts[i]);
        }
    }
    return made;
}

void AppendTexts(connections::ConnectionList& list, const ConnectionRow& row)
{
    Append(list, RowWithTexts(row));
}

} // namespace vq::fake
