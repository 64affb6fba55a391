#include "platform/file_dialog.h"

#include "platform/win32/windows_api.h"

#include <commdlg.h>
#include <shlobj.h>

namespace vq::platform {

std::optional<SaveFileChoice> AskSaveFilePath(const SaveFileRequest& request)
{
    // "Description\0pattern\0" for each type, then one more terminator.
    std::wstring filter;
    for (const FileType& type : request.types) {
        filter += type.description;
        filter += L'\0';
        filter += type.pattern;
        filter += L'\0';
    }
    filter += L'\0';
    std::wstring path = request.fileName;
    path.resize(std::max<std::size_t>(path.size() + 1, 32768), L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = static_cast<HWND>(request.owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrInitialDir = request.folder.empty() ? nullptr : request.folder.c_str();
    dialog.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&dialog)) {
        return std::nullopt;
    }
    path.resize(path.find(L'\0'));
    return SaveFileChoice{path, dialog.nFilterIndex > 0 ? dialog.nFilterIndex - 1 : 0};
}

std::wstring GetDocumentsFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return folder;
}

} // namespace vq::platform
