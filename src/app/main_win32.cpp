// The program: start-up before any window exists, then the main window, the
// hidden About window and the message loop.

#include "app/startup.h"
#include "platform/system.h"
#include "platform/win32/windows_api.h"
#include "ui/about_window.h"
#include "ui/main_window.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    using namespace vq;

    platform::RestrictLibrarySearch();
    // The 32-bit program refuses a 64-bit Windows; the 64-bit build runs there.
    const support::StartupState startup = app::RunStartup({sizeof(void*) == 4});

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    ui::MainWindow mainWindow(startup);
    if (!mainWindow.Create(instance, showCommand)) {
        return 0;
    }
    ui::AboutWindow aboutWindow;
    aboutWindow.Create(instance, mainWindow.hwnd());
    mainWindow.SetAboutWindow(&aboutWindow);

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (mainWindow.PreTranslateMessage(message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    // Every way out ends with exit code 0.
    return 0;
}
