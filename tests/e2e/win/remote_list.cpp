// Reading the program's list view from this process.

#include "driver.h"

#include <windows.h>
#include <commctrl.h>

namespace vq::e2e::driver {

std::optional<ListReader> OpenList(const Target& target)
{
    std::optional<ListReader> reader(std::in_place, target.list, target.process.get());
    if (!*reader) {
        Fail("VirtualAllocEx in process %lu failed with %lu", target.pid, GetLastError());
        return std::nullopt;
    }
    return reader;
}

std::optional<TargetList> OpenTargetList(const std::wstring& title)
{
    auto target = OpenTarget(title, kMemoryAccess, IDC_LIST);
    if (!target) {
        return std::nullopt;
    }
    auto list = OpenList(*target);
    if (!list) {
        return std::nullopt;
    }
    return TargetList{std::move(*target), std::move(*list)};
}

} // namespace vq::e2e::driver
