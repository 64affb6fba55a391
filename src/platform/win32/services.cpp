#include "platform/services.h"

#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

#include <algorithm>

namespace vq::platform {
namespace {

using UniqueServiceManager = UniqueAny<win32::NullInvalidTraits<SC_HANDLE, ::CloseServiceHandle>>;

} // namespace

std::optional<std::vector<RunningService>> RunningServices()
{
    const UniqueServiceManager manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) {
        return std::nullopt;
    }
    std::vector<RunningService> services;
    std::vector<unsigned char> buffer(64 * 1024);
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD count = 0;
        const BOOL done = ::EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE,
                                                  buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count,
                                                  &resume, nullptr);
        if (!done && ::GetLastError() != ERROR_MORE_DATA) {
            return std::nullopt;
        }
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
            services.push_back({entries[i].lpServiceName != nullptr ? entries[i].lpServiceName : L"",
                                entries[i].ServiceStatusProcess.dwProcessId});
        }
        if (done) {
            return services;
        }
        // More to come: the next call goes on from resume, with room for the
        // largest entry it said it needs.
        if (count == 0) {
            constexpr std::size_t kLargestBuffer = 16 * 1024 * 1024;
            if (buffer.size() >= kLargestBuffer) {
                return std::nullopt;
            }
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
        }
    }
}

} // namespace vq::platform
