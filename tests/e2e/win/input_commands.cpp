// Keyboard input to the program: posted keys and characters, and
// shortcuts and access keys as a user types them.

#include "driver.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vq::e2e::driver {

int Key(const std::wstring& title, UINT virtualKey)
{
    HWND target = FocusedControlOf(title);
    if (target == nullptr) {
        return 1;
    }
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    return 0;
}

int Type(const std::wstring& title, const std::wstring& text)
{
    HWND target = FocusedControlOf(title);
    if (target == nullptr) {
        return 1;
    }
    for (const wchar_t c : text) {
        PostMessageW(target, WM_CHAR, c, 1);
    }
    return 0;
}

// Ctrl+key where the program's accelerators see it: translated in its
// message loop with Ctrl down in the thread's key state, which posted key
// messages do not carry. Two ways get it there:
//  input:    the window is made the foreground window and the keys go in
//            with SendInput, as from the keyboard (the default);
//  attached: the driver shares the program's input state, holds Ctrl down
//            in it, posts the key and waits until the program took it.
// Without a method given, input is used when the window can be brought to
// the foreground, attached otherwise. Prints method=input|attached.
int Shortcut(const std::wstring& title, const std::wstring& keyName, KeyMethod method)
{
    const HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    if (keyName.size() != 1 || keyName[0] > 0x7F || !std::isalnum(static_cast<int>(keyName[0]))) {
        return Fail("the key must be one letter or digit, not %s", Utf8(keyName).c_str());
    }
    const WORD key = static_cast<WORD>(std::toupper(static_cast<int>(keyName[0])));
    if (method != KeyMethod::Attached) {
        SetForegroundWindow(window);
        const bool foreground = WaitFor(2000, [&] { return GetForegroundWindow() == window ? window : nullptr; });
        if (foreground) {
            INPUT inputs[] = {KeyInput(VK_CONTROL, false), KeyInput(key, false), KeyInput(key, true),
                              KeyInput(VK_CONTROL, true)};
            if (SendInput(4, inputs, sizeof(INPUT)) != 4) {
                return Fail("SendInput failed with %lu", GetLastError());
            }
            std::printf("method=input\n");
            return 0;
        }
        if (method == KeyMethod::Input) {
            return Fail("the window did not become the foreground window");
        }
    }
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (!AttachThreadInput(GetCurrentThreadId(), thread, TRUE)) {
        return Fail("AttachThreadInput failed with %lu", GetLastError());
    }
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE held[256];
    std::copy(std::begin(keys), std::end(keys), std::begin(held));
    held[VK_CONTROL] |= 0x80;
    held[VK_LCONTROL] |= 0x80;
    SetKeyboardState(held);
    const HWND focus = GetFocus();
    PostKey(focus != nullptr ? focus : window, key);
    // Ctrl stays held until the program has taken the key: it went idle
    // with the key handled.
    const int taken = WaitUntilIdle(window);
    SetKeyboardState(keys);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    if (taken != 0) {
        return taken;
    }
    std::printf("method=attached\n");
    return 0;
}

namespace {

// Makes the window the foreground window and types key count times with the
// modifier held down, as keyboard input.
int TypeHolding(const std::wstring& title, WORD modifier, WORD key, int count)
{
    const HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    SetForegroundWindow(window);
    if (!WaitFor(2000, [&] { return GetForegroundWindow() == window ? window : nullptr; })) {
        return Fail("the window did not become the foreground window");
    }
    std::vector<INPUT> inputs{KeyInput(modifier, false)};
    for (int i = 0; i < count; ++i) {
        inputs.push_back(KeyInput(key, false));
        inputs.push_back(KeyInput(key, true));
    }
    inputs.push_back(KeyInput(modifier, true));
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) {
        return Fail("SendInput failed with %lu", GetLastError());
    }
    return 0;
}

} // namespace

int AltKey(const std::wstring& title, const std::wstring& keyName)
{
    if (keyName.size() != 1 || keyName[0] > 0x7F || !std::isalpha(static_cast<int>(keyName[0]))) {
        return Fail("the key must be one letter, not %s", Utf8(keyName).c_str());
    }
    return TypeHolding(title, VK_MENU, static_cast<WORD>(std::toupper(static_cast<int>(keyName[0]))), 1);
}

int ShiftKey(const std::wstring& title, UINT virtualKey, int count)
{
    if (count < 1) {
        return Fail("the key is pressed at least once");
    }
    return TypeHolding(title, VK_SHIFT, static_cast<WORD>(virtualKey), count);
}

} // namespace vq::e2e::driver
