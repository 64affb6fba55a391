#include "platform/shares.h"

#include "platform/system.h"
#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

#include <lm.h>

namespace vq::platform {
namespace {

using NetShareEnumFn = NET_API_STATUS(WINAPI*)(LMSTR, DWORD, LPBYTE*, DWORD, LPDWORD, LPDWORD, LPDWORD);
using NetApiBufferFreeFn = NET_API_STATUS(WINAPI*)(LPVOID);

// netapi32 is loaded only for the enumeration: it needs the IP Helper
// library, and the program must still start (and refuse politely) where
// that library cannot be loaded.
win32::UniqueHmodule LoadNetApi()
{
    return win32::UniqueHmodule(static_cast<HMODULE>(LoadSystemLibrary(L"netapi32.dll")));
}

// The enumeration's buffer, freed through the library that allocated it.
class NetApiBuffer {
public:
    explicit NetApiBuffer(NetApiBufferFreeFn free) : free_(free) {}
    NetApiBuffer(const NetApiBuffer&) = delete;
    NetApiBuffer& operator=(const NetApiBuffer&) = delete;
    ~NetApiBuffer()
    {
        if (buffer_ != nullptr) {
            free_(buffer_);
        }
    }
    LPBYTE* put() { return &buffer_; }
    LPBYTE get() const { return buffer_; }

private:
    NetApiBufferFreeFn free_;
    LPBYTE buffer_ = nullptr;
};

} // namespace

std::uint32_t NetShareEnum(std::vector<ShareInfo>* shares)
{
    shares->clear();
    const win32::UniqueHmodule netApi = LoadNetApi();
    if (!netApi) {
        return ERROR_MOD_NOT_FOUND;
    }
    const auto enumerate = reinterpret_cast<NetShareEnumFn>(
        reinterpret_cast<void*>(::GetProcAddress(netApi.get(), "NetShareEnum")));
    const auto freeBuffer = reinterpret_cast<NetApiBufferFreeFn>(
        reinterpret_cast<void*>(::GetProcAddress(netApi.get(), "NetApiBufferFree")));
    if (enumerate == nullptr || freeBuffer == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    NetApiBuffer buffer(freeBuffer);
    DWORD entriesRead = 0;
    DWORD totalEntries = 0;
    DWORD resume = 0;
    const NET_API_STATUS status =
        enumerate(nullptr, 2, buffer.put(), MAX_PREFERRED_LENGTH, &entriesRead, &totalEntries, &resume);
    if (status != NERR_Success || buffer.get() == nullptr) {
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
