#include "connections/ipv4_text.h"
#include "connections/ipv6_text.h"
#include "connections/connection_row.h"
#include "connections/tcp_state_names.h"
#include "fake_platform.h"
#include "list_rows.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <array>

namespace vq {
namespace {

using fake::Addr;
using fake::Fake;
using fake::Groups6;
using fake::Port;
using fake::Tcp6Entry;
using fake::Udp6Entry;

std::wstring FormatIPv4(std::uint32_t address)
{
    wchar_t text[16];
    return {text, connections::AppendIPv4(text, address)};
}

std::wstring FormatIPv6(const std::uint8_t (&address)[16], std::uint32_t scopeId)
{
    wchar_t text[connections::kIPv6TextCapacity];
    return {text, connections::AppendIPv6(text, address, scopeId)};
}

std::wstring TcpStateName(std::uint32_t code)
{
    wchar_t text[19];  // UNKNOWN(4294967295)
    return {text, connections::AppendTcpStateName(text, code)};
}

// The texts the list shows for the row of an entry with this process path.
connections::ConnectionRow MakeTcpRow(const platform::TcpRowOwnerPid& entry, const std::wstring& path)
{
    return fake::ShownRow(fake::TcpListRow(entry, path));
}
connections::ConnectionRow MakeUdpRow(const platform::UdpRowOwnerPid& entry, const std::wstring& path)
{
    return fake::ShownRow(fake::UdpListRow(entry, path));
}
connections::ConnectionRow MakeTcp6Row(const platform::Tcp6RowOwnerPid& entry, const std::wstring& path)
{
    return fake::ShownRow(fake::Tcp6ListRow(entry, path));
}
connections::ConnectionRow MakeUdp6Row(const platform::Udp6RowOwnerPid& entry, const std::wstring& path)
{
    return fake::ShownRow(fake::Udp6ListRow(entry, path));
}

TEST(Ipv4TextTest, FormatsAddressesAndPortsInTheirPlatformLayout)
{
    EXPECT_EQ(FormatIPv4(Addr(192, 168, 1, 10)), L"192.168.1.10");
    EXPECT_EQ(FormatIPv4(0xC0A8010Au), L"10.1.168.192") << "lowest byte first";
    EXPECT_EQ(FormatIPv4(0), L"0.0.0.0");
    EXPECT_EQ(FormatIPv4(0xFFFFFFFFu), L"255.255.255.255");

    EXPECT_EQ(connections::PortFromNetwork(0x0000BB01u), 443u) << "bytes 01 BB 00 00";
    EXPECT_EQ(connections::PortFromNetwork(0x00005000u), 80u) << "bytes 00 50 00 00";
    EXPECT_EQ(connections::PortFromNetwork(0x0001BB01u), 699u) << "bytes 01 BB 01 00: upper half not masked";
    EXPECT_EQ(connections::PortFromNetwork(0x0000FFFFu), 65535u);
}

struct Ipv6TextCase {
    const char* name;
    Groups6 groups;
    std::uint32_t scopeId;
    const wchar_t* text;
};

class Ipv6TextTest : public ::testing::TestWithParam<Ipv6TextCase> {};

TEST_P(Ipv6TextTest, WritesTheCanonicalText)
{
    const auto& c = GetParam();
    std::uint8_t bytes[16];
    fake::PutAddress6(bytes, c.groups);
    EXPECT_EQ(FormatIPv6(bytes, c.scopeId), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, Ipv6TextTest,
    ::testing::Values(
        Ipv6TextCase{"AllZeros", {0, 0, 0, 0, 0, 0, 0, 0}, 0, L"::"},
        Ipv6TextCase{"Loopback", {0, 0, 0, 0, 0, 0, 0, 1}, 0, L"::1"},
        Ipv6TextCase{"TrailingRun", {0x2001, 0xdb8, 0, 0, 0, 0, 0, 0}, 0, L"2001:db8::"},
        Ipv6TextCase{"LowerCaseWithoutLeadingZeros", {0x2001, 0x0DB8, 0x00AB, 0xCDEF, 0x000F, 0xF000, 0x0ABC, 0x1},
                     0, L"2001:db8:ab:cdef:f:f000:abc:1"},
        Ipv6TextCase{"LongestRunShortened", {0x2001, 0xdb8, 0, 0, 1, 0, 0, 0}, 0, L"2001:db8:0:0:1::"},
        Ipv6TextCase{"FirstOfTwoEqualRuns", {0x2001, 0, 0, 1, 0, 0, 1, 1}, 0, L"2001::1:0:0:1:1"},
        Ipv6TextCase{"SingleZeroGroupKept", {0x2001, 0xdb8, 0, 1, 1, 1, 1, 1}, 0, L"2001:db8:0:1:1:1:1:1"},
        Ipv6TextCase{"NoZeros", {1, 2, 3, 4, 5, 6, 7, 8}, 0, L"1:2:3:4:5:6:7:8"},
        Ipv6TextCase{"MappedIPv4", {0, 0, 0, 0, 0, 0xffff, 0xc0a8, 0x010a}, 0, L"::ffff:192.168.1.10"},
        Ipv6TextCase{"MappedWithZeroTail", {0, 0, 0, 0, 0, 0xffff, 0, 0x4403}, 0, L"::ffff:0.0.68.3"},
        Ipv6TextCase{"CompatibleIsNotMixed", {0, 0, 0, 0, 0, 0, 0x0d01, 0x4403}, 0, L"::d01:4403"},
        Ipv6TextCase{"LinkLocalWithScope", {0xfe80, 0, 0, 0, 0x1c2d, 0x3e4f, 0x5a6b, 0x7c8d}, 12,
                     L"fe80::1c2d:3e4f:5a6b:7c8d%12"},
        Ipv6TextCase{"LargestScope", {0, 0, 0, 0, 0, 0, 0, 0}, 0xFFFFFFFFu, L"::%4294967295"},
        Ipv6TextCase{"AllOnes", {0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff}, 0,
                     L"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TcpStateNamesTest, UsesThePlatformNumbering)
{
    EXPECT_EQ(TcpStateName(3), L"SYN-SENT ");
    EXPECT_EQ(TcpStateName(9), L"CLOSING");
    EXPECT_EQ(TcpStateName(10), L"LAST-ACK");
    EXPECT_EQ(TcpStateName(12), L"delete TCB");
    EXPECT_EQ(TcpStateName(0), L"UNKNOWN(0)");
    EXPECT_EQ(TcpStateName(13), L"UNKNOWN(13)");
    EXPECT_EQ(TcpStateName(0xFFFFFFFFu), L"UNKNOWN(4294967295)");
}

struct TcpRowCase {
    const char* name;
    platform::TcpRowOwnerPid entry;
    // local address, local port, remote address, remote port, process id, state
    std::array<const wchar_t*, 6> texts;
};

class TcpRowTextTest : public ::testing::TestWithParam<TcpRowCase> {};

TEST_P(TcpRowTextTest, WritesTheTextsOfOneTableEntry)
{
    const auto& c = GetParam();
    const auto row = MakeTcpRow(c.entry, L"C:\\apps\\a.exe");
    const auto& s = row.subItems;
    EXPECT_EQ(s[connections::kProtocol], L"TCP");
    EXPECT_EQ((std::array<std::wstring, 6>{s[connections::kLocalAddress], s[connections::kLocalPort],
                                           s[connections::kRemoteAddress], s[connections::kRemotePort],
                                           s[connections::kProcessId], s[connections::kState]}),
              (std::array<std::wstring, 6>{c.texts[0], c.texts[1], c.texts[2], c.texts[3], c.texts[4], c.texts[5]}));
    EXPECT_EQ(row.tcpState, c.entry.state);
    EXPECT_EQ(row.endpoint.protocol, connections::Protocol::Tcp);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TcpRowTextTest,
    ::testing::Values(
        TcpRowCase{"Listening", {2, 0, Port(135), 0, 0, 912}, {L"0.0.0.0", L"135", L"0.0.0.0", L"0", L"912", L"LISTEN"}},
        TcpRowCase{"ListeningWithJunkRemotePort", {2, 0, Port(135), 0, Port(4711), 912},
                   {L"0.0.0.0", L"135", L"0.0.0.0", L"0", L"912", L"LISTEN"}},
        TcpRowCase{"Established", {5, Addr(10, 0, 0, 5), Port(555), Addr(10, 0, 0, 9), Port(443), 912},
                   {L"10.0.0.5", L"555", L"10.0.0.9", L"443", L"912", L"ESTABLISHED"}},
        TcpRowCase{"SynSentWithoutItsBlank", {3, Addr(10, 0, 0, 5), Port(1), Addr(1, 2, 3, 4), Port(80), 7},
                   {L"10.0.0.5", L"1", L"1.2.3.4", L"80", L"7", L"SYN-SENT"}},
        TcpRowCase{"DeleteTcb", {12, Addr(10, 0, 0, 5), Port(1), Addr(1, 2, 3, 4), Port(80), 7},
                   {L"10.0.0.5", L"1", L"1.2.3.4", L"80", L"7", L"delete TCB"}},
        TcpRowCase{"UpperHalfOfPortNotMasked", {5, Addr(10, 0, 0, 5), 0x0001BB01u, Addr(1, 2, 3, 4), 0x0000BB01u, 7},
                   {L"10.0.0.5", L"699", L"1.2.3.4", L"443", L"7", L"ESTABLISHED"}},
        TcpRowCase{"LargestValues", {13, 0xFFFFFFFFu, Port(65535), 0xFFFFFFFFu, Port(65535), 0xFFFFFFFFu},
                   {L"255.255.255.255", L"65535", L"255.255.255.255", L"65535", L"4294967295", L"UNKNOWN(13)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowTextTest, CaptionAndFolderComeFromThePathAndProcessZeroIsTheIdleProcess)
{
    const auto tcp = MakeTcpRow({11, Addr(127, 0, 0, 1), Port(5000), Addr(127, 0, 0, 1), Port(5001), 0}, L"");
    EXPECT_EQ(tcp.caption, L"System Idle Process");
    EXPECT_EQ(tcp.subItems[connections::kProcessFolder], L"");

    const auto udp = MakeUdpRow({Addr(127, 0, 0, 1), Port(53), 912}, L"C:\\Windows\\dns.exe");
    EXPECT_EQ(udp.caption, L"dns.exe");
    EXPECT_EQ(udp.subItems, (std::array<std::wstring, connections::kSubItemCount>{
                                L"UDP", L"-", L"127.0.0.1", L"53", L"-", L"-", L"912", L"C:\\Windows\\"}));
    EXPECT_EQ(udp.endpoint.protocol, connections::Protocol::Udp);
}

TEST(RowTextTest, Ipv6RowsShowTheirProtocolAddressesAndScopes)
{
    const Groups6 local{0xfe80, 0, 0, 0, 0, 0, 0, 1};
    const Groups6 remote{0x2001, 0xdb8, 0, 0, 0, 0, 0, 0x2a};
    const auto tcp = MakeTcp6Row(Tcp6Entry(5, local, 3, 49152, remote, 0, 443, 912),
                                              L"C:\\apps\\browser.exe");
    EXPECT_EQ(tcp.caption, L"browser.exe");
    EXPECT_EQ(tcp.subItems, (std::array<std::wstring, connections::kSubItemCount>{
                                L"TCPv6", L"ESTABLISHED", L"fe80::1%3", L"49152", L"2001:db8::2a", L"443", L"912",
                                L"C:\\apps\\"}));
    EXPECT_EQ(tcp.endpoint.protocol, connections::Protocol::Tcp6);
    EXPECT_EQ(tcp.tcpState, 5u);

    auto listening = Tcp6Entry(2, {}, 0, 445, {}, 0, 4711, 4);
    const auto listen = MakeTcp6Row(listening, L"");
    EXPECT_EQ(listen.subItems[connections::kLocalAddress], L"::");
    EXPECT_EQ(listen.subItems[connections::kRemoteAddress], L"::");
    EXPECT_EQ(listen.subItems[connections::kRemotePort], L"0") << "no remote end, no remote port";
    EXPECT_EQ(listen.subItems[connections::kState], L"LISTEN");

    const auto udp = MakeUdp6Row(Udp6Entry({0, 0, 0, 0, 0, 0, 0, 1}, 0, 5353, 0), L"");
    EXPECT_EQ(udp.caption, L"System Idle Process");
    EXPECT_EQ(udp.subItems, (std::array<std::wstring, connections::kSubItemCount>{
                                L"UDPv6", L"-", L"::1", L"5353", L"-", L"-", L"0", L""}));
    EXPECT_EQ(udp.endpoint.protocol, connections::Protocol::Udp6);
}

// Two entries have the same endpoint exactly when their rows show the same
// identity texts: matching on raw values gives what matching texts gave.
TEST(RowTextTest, EqualEndpointsExactlyWhenTheIdentityTextsAreEqual)
{
    const platform::TcpRowOwnerPid base{5, Addr(10, 0, 0, 5), Port(555), Addr(10, 0, 0, 9), Port(443), 912};
    auto otherState = base;
    otherState.state = 8;
    auto otherPid = base;
    otherPid.owningPid = 9120;
    auto listening = base;
    listening.remoteAddr = 0;
    listening.remotePort = Port(4711);
    auto listeningClean = listening;
    listeningClean.remotePort = 0;
    auto upperHalf = base;
    upperHalf.localPort = Port(555) | 0x00010000u;

    const auto same = [](const connections::ConnectionRow& a, const connections::ConnectionRow& b) {
        const auto texts = [](const connections::ConnectionRow& r) {
            const auto& s = r.subItems;
            return s[connections::kProtocol] + L'|' + s[connections::kLocalAddress] + L'|' + s[connections::kLocalPort] +
                   L'|' + s[connections::kRemoteAddress] + L'|' + s[connections::kRemotePort] + L'|' +
                   s[connections::kProcessId];
        };
        EXPECT_EQ(a.endpoint == b.endpoint, texts(a) == texts(b)) << texts(a) << " / " << texts(b);
        if (a.endpoint == b.endpoint) {
            EXPECT_EQ(connections::EndpointHash(a.endpoint), connections::EndpointHash(b.endpoint));
        }
        return a.endpoint == b.endpoint;
    };
    EXPECT_TRUE(same(MakeTcpRow(base, L"a"), MakeTcpRow(otherState, L"b"))) << "the state is no part of it";
    EXPECT_FALSE(same(MakeTcpRow(base, L""), MakeTcpRow(otherPid, L"")));
    EXPECT_TRUE(same(MakeTcpRow(listening, L""), MakeTcpRow(listeningClean, L"")));
    EXPECT_FALSE(same(MakeTcpRow(base, L""), MakeTcpRow(upperHalf, L"")));
    EXPECT_FALSE(same(MakeTcpRow({2, 0, Port(53), 0, 0, 7}, L""), MakeUdpRow({0, Port(53), 7}, L"")))
        << "a TCP row is no UDP row";

    const Groups6 zero{};
    const auto base6 = Tcp6Entry(5, {0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}, 0, 555, {0x2001, 0xdb8, 0, 0, 0, 0, 0, 9}, 0,
                                 443, 912);
    auto otherScope = base6;
    otherScope.localScopeId = 2;
    auto otherRemote = base6;
    otherRemote.remoteAddr[15] = 10;
    auto listening6 = Tcp6Entry(2, zero, 0, 53, zero, 0, 4711, 7);
    auto listening6Clean = listening6;
    listening6Clean.remotePort = 0;
    EXPECT_TRUE(same(MakeTcp6Row(base6, L""), MakeTcp6Row(base6, L"x")));
    EXPECT_FALSE(same(MakeTcp6Row(base6, L""), MakeTcp6Row(otherScope, L""))) << "the scope is part of the text";
    EXPECT_FALSE(same(MakeTcp6Row(base6, L""), MakeTcp6Row(otherRemote, L"")));
    EXPECT_TRUE(same(MakeTcp6Row(listening6, L""), MakeTcp6Row(listening6Clean, L"")));
    EXPECT_FALSE(same(MakeTcpRow({2, 0, Port(53), 0, 0, 7}, L""), MakeTcp6Row(listening6, L"")))
        << "an IPv4 and an IPv6 row with equal port texts are different endpoints";
    EXPECT_FALSE(same(MakeUdpRow({0, Port(53), 7}, L""), MakeUdp6Row(Udp6Entry(zero, 0, 53, 7), L"")));
    EXPECT_FALSE(same(MakeTcp6Row(listening6, L""), MakeUdp6Row(Udp6Entry(zero, 0, 53, 7), L"")));
}

TEST(RowTextTest, EqualCaptionsOrderByProtocolIPv4FirstThenAddressesAndPortsNumerically)
{
    using connections::EndpointLess;
    using connections::TcpEndpoint;
    using connections::UdpEndpoint;
    const auto tcp = [](std::uint32_t local, std::uint32_t localPort, std::uint32_t remote, std::uint32_t remotePort) {
        return TcpEndpoint({5, local, Port(localPort), remote, Port(remotePort), 1});
    };
    // In the order the list shows them.
    const connections::EndpointKey ordered[] = {
        tcp(Addr(9, 0, 0, 1), 80, Addr(1, 1, 1, 1), 1),
        tcp(Addr(10, 0, 0, 1), 9, Addr(1, 1, 1, 1), 1),
        tcp(Addr(10, 0, 0, 1), 80, Addr(1, 1, 1, 1), 1),
        tcp(Addr(10, 0, 0, 1), 80, Addr(1, 1, 1, 1), 443),
        tcp(Addr(10, 0, 0, 1), 80, Addr(2, 0, 0, 0), 1),
        tcp(Addr(10, 0, 0, 2), 80, Addr(1, 1, 1, 1), 1),
        tcp(Addr(192, 168, 0, 1), 1, 0, 0),
        connections::Tcp6Endpoint(Tcp6Entry(2, {0, 0, 0, 0, 0, 0, 0, 1}, 0, 80, {}, 0, 0, 1)),
        connections::Tcp6Endpoint(Tcp6Entry(2, {0, 0, 0, 0, 0, 0, 0, 1}, 4, 80, {}, 0, 0, 1)),
        connections::Tcp6Endpoint(Tcp6Entry(2, {0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}, 0, 80, {}, 0, 0, 1)),
        connections::Tcp6Endpoint(Tcp6Entry(2, {0xfe80, 0, 0, 0, 0, 0, 0, 1}, 0, 80, {}, 0, 0, 1)),
        UdpEndpoint({0, Port(53), 1}),
        connections::Udp6Endpoint(Udp6Entry({}, 0, 53, 1)),
    };
    for (std::size_t i = 0; i < std::size(ordered); ++i) {
        for (std::size_t j = 0; j < std::size(ordered); ++j) {
            EXPECT_EQ(EndpointLess(ordered[i], ordered[j]), i < j) << i << " vs " << j;
        }
    }
}

} // namespace
} // namespace vq
