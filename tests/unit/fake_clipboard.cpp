#include "fake_clipboard.h"

namespace vq::fake {
namespace {

FakeClipboard g_clipboard;

} // namespace

FakeClipboard& Clipboard()
{
    return g_clipboard;
}

void ResetClipboard()
{
    g_clipboard = FakeClipboard{};
}

} // namespace vq::fake

namespace vq::platform {

bool SetClipboardText(WindowHandle owner, const std::wstring& text)
{
    fake::g_clipboard.sets.push_back({owner, text});
    if (fake::g_clipboard.heldByAnotherProgram) {
        return false;
    }
    // The clipboard was opened and emptied before it refused the text.
    if (fake::g_clipboard.refusesData) {
        fake::g_clipboard.contents.reset();
        return false;
    }
    fake::g_clipboard.contents = text;
    return true;
}

} // namespace vq::platform
