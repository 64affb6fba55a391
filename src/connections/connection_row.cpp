#include "connections/connection_row.h"


namespace vq::connections {

std::wstring_view ProtocolText(Protocol protocol)
{
    switch (protocol) {
    case Protocol::Tcp:
        return kTcpProtocol;
    case Protocol::Tcp6:
        return kTcp6Protocol;
    case Protocol::Udp:
        return kUdpProtocol;
    case Protocol::Udp6:
        return kUdp6Protocol;
    case Protocol::None:
        break;
    }
    return {};
}

ProcessPathParts SplitProcessPath(const std::wstring& path)
{
    const std::size_t split = path.find_last_of(L"\\:");
    if (split == std::wstring::npos) {
        return {path, {}};
    }
    return {path.substr(split + 1), path.substr(0, split + 1)};
}

} // namespace vq::connections
