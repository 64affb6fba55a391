#include "platform/shares.h"

#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

#include <lm.h>

namespace vq::platform {
namespace {

using UniqueNetApiBuffer = UniqueAny<win32::NullInvalidTraits<LPBYTE, ::NetApiBufferFree>>;

} // namespace

std::uint32_t NetShareEnum(std::vector<ShareInfo>* shares)
{
    shares->clear();
    UniqueNetApiBuffer buffer;
    DWORD entriesRead = 0;
    DWORD totalEntries = 0;
    DWORD resume = 0;
    const NET_API_STATUS status = ::NetShareEnum(nullptr, 2, buffer.put(), MAX_PREFERRED_LENGTH,
                                                 &entriesRead, &totalEntries, &resume);
    if (status != NERR_Success || !buffer) {
        return status;
    }
    const auto* entries = reinterpret_cast<const SHARE_INFO_2*>(buffer.get());
    for (DWORD i = 0; i < entriesRead; ++i) {
        shares->push_back({entries[i].shi2_netname != nullptr ? entries[i].shi2_netname : L"",
                           entries[i].shi2_path != nullptr ? entries[i].shi2_path : L""});
    }
    return status;
}

} // namespace vq::platform
