#pragma once

// Owners for the Win32 handles that the Windows-only code holds.

#include "platform/unique_handle.h"

#include "platform/win32/windows_api.h"

namespace vq::platform::win32 {

// A release call keeps the thread's last error, so that an error path can
// still read it after the handle is gone.
template <typename T, auto CloseFn>
struct NullInvalidTraits {
    using Pointer = T;
    static Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer value) noexcept
    {
        const DWORD lastError = ::GetLastError();
        CloseFn(value);
        ::SetLastError(lastError);
    }
};

inline void DeleteGdiObject(HGDIOBJ object) noexcept
{
    ::DeleteObject(object);
}

// Closes a kernel handle, keeping the last error.
using HandleTraits = NullInvalidTraits<HANDLE, ::CloseHandle>;

using UniqueHandle = UniqueAny<HandleTraits>;
using UniqueHkey = UniqueAny<NullInvalidTraits<HKEY, ::RegCloseKey>>;
using UniqueHmodule = UniqueAny<NullInvalidTraits<HMODULE, ::FreeLibrary>>;
using UniqueHglobal = UniqueAny<NullInvalidTraits<HGLOBAL, ::GlobalFree>>;
using UniqueHmenu = UniqueAny<NullInvalidTraits<HMENU, ::DestroyMenu>>;
using UniqueHfont = UniqueAny<NullInvalidTraits<HFONT, DeleteGdiObject>>;
using UniqueHicon = UniqueAny<NullInvalidTraits<HICON, ::DestroyIcon>>;
using UniqueHbrush = UniqueAny<NullInvalidTraits<HBRUSH, DeleteGdiObject>>;

} // namespace vq::platform::win32
