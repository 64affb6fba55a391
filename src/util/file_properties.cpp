#include "util/file_properties.h"

namespace vq::util {

bool ShowFileProperties(platform::WindowHandle owner, const std::wstring& path)
{
    try {
        platform::ShellExecuteRequest request;
        request.mask = platform::kSeeMaskNoCloseProcess | platform::kSeeMaskInvokeIdList |
                       platform::kSeeMaskFlagNoUi;
        request.owner = owner;
        request.verb = L"properties";
        request.file = path;
        request.showCommand = 0;
        return platform::ShellExecuteEx(request);
    } catch (...) {
        return false;
    }
}

} // namespace vq::util
