#include "connections/close_connection.h"

#include "connections/ipv4_text.h"
#include "connections/table_reader.h"

#include <cstddef>

namespace vq::connections {
namespace {

// The comparisons write the table's values into small buffers rather than
// strings: a command that closes many rows compares every row with the whole
// table.

bool EqualsIPv4Text(std::uint32_t address, std::wstring_view text)
{
    wchar_t buffer[16];
    const wchar_t* end = AppendIPv4(buffer, address);
    return text == std::wstring_view(buffer, static_cast<std::size_t>(end - buffer));
}

bool EqualsDecimalText(std::uint32_t value, std::wstring_view text)
{
    wchar_t buffer[10];
    const wchar_t* end = AppendDecimal(buffer, value);
    return text == std::wstring_view(buffer, static_cast<std::size_t>(end - buffer));
}

} // namespace

bool CloseTcpConnection(const platform::IpHelperEntryPoints& ipHelper, std::wstring_view localAddress,
                        std::wstring_view localPort, std::wstring_view remoteAddress,
                        std::wstring_view remotePort, std::wstring_view processId)
{
    if (ipHelper.getExtendedTcpTable == nullptr || ipHelper.setTcpEntry == nullptr) {
        return false;
    }
    // The buffer belongs to read and goes with it on every return below.
    const auto read = ReadTcpTable(ipHelper);
    if (read.outcome != ReadOutcome::Read) {
        return false;
    }
    for (std::size_t index = 0; index < read.table.size(); ++index) {
        const platform::TcpRowOwnerPid entry = read.table[index];
        if (!EqualsIPv4Text(entry.localAddr, localAddress) ||
            !EqualsDecimalText(PortFromNetwork(entry.localPort), localPort) ||
            !EqualsIPv4Text(entry.remoteAddr, remoteAddress) ||
            !EqualsDecimalText(PortFromNetwork(entry.remotePort), remotePort) ||
            !EqualsDecimalText(entry.owningPid, processId)) {
            continue;
        }
        platform::TcpRow row{kTcpStateDeleteTcb, entry.localAddr, entry.localPort, entry.remoteAddr,
                             entry.remotePort};
        return ipHelper.setTcpEntry(&row) == platform::kNoError;
    }
    return false;
}

} // namespace vq::connections
