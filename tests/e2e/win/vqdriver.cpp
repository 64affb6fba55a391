// The end-to-end test driver: a console program that runs in the same Wine
// session as the program under test and reads or drives its windows through
// window messages. Each command prints key=value lines and exits 0 when it
// found what it was asked for, 1 otherwise (then with an error=... line);
// a command it does not know, or wrong arguments, print the usage and exit 2.
// The commands are the table below, from which the usage is printed too;
// they live in files by concern: window_commands, list_commands,
// menu_commands, input_commands, clipboard_command, text_commands.
//
// Texts of the list, the status bar, the menus and the clipboard are printed
// escaped (\\ \t \n \r \xHH, see EscapeField): the harness restores them exactly.
//
// Windows, menus and memory of the program are reached from here the way
// Wine allows it across processes: list view and status bar messages that
// carry a pointer get one into a buffer allocated in the program; menu items
// are read by vqmenuprobe.dll (beside this driver) inside the program.

#include "driver.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace vq::e2e::driver {
namespace {

// A command's arguments, after its name.
class Arguments {
public:
    Arguments(int count, wchar_t** values) : values_(values, values + count) {}

    std::size_t size() const { return values_.size(); }
    const std::wstring& operator[](std::size_t index) const { return values_[index]; }
    DWORD Number(std::size_t index) const { return static_cast<DWORD>(std::wcstoul(values_[index].c_str(), nullptr, 0)); }
    int Integer(std::size_t index) const { return static_cast<int>(std::wcstol(values_[index].c_str(), nullptr, 0)); }
    bool Is(std::size_t index, const wchar_t* word) const { return index < size() && values_[index] == word; }

private:
    std::vector<std::wstring> values_;
};

// What a command answers when its arguments make no sense.
constexpr int kBadArguments = -1;

struct Command {
    const char* name;
    const char* arguments;
    const char* description;
    std::size_t fewest;  // arguments, after the name
    std::size_t most;
    int (*run)(const Arguments& arguments);
};

const Command kCommands[] = {
    // Any top-level window.
    {"find", "<title> <timeout ms> [hidden]", "a top-level window with exactly that title", 2, 3,
     [](const Arguments& a) { return a.size() == 3 && !a.Is(2, L"hidden") ? kBadArguments : Find(a[0], a.Number(1), a.size() == 3); }},
    {"windows", "<pid>", "every top-level window of a process", 1, 1,
     [](const Arguments& a) { return Windows(a.Number(0)); }},
    {"msgbox", "<pid> <timeout ms>", "the message box of a process (0: any): caption, text, icon", 2, 2,
     [](const Arguments& a) { return MessageBoxInfo(a.Number(0), a.Number(1)); }},
    {"msgbox-ok", "<pid>", "presses OK in that message box", 1, 1,
     [](const Arguments& a) { return MessageBoxOk(a.Number(0)); }},
    {"close", "<title>", "posts WM_CLOSE", 1, 1, [](const Arguments& a) { return Close(a[0]); }},
    {"save-as", "<title> <path> <type>", "prints the name a Save dialog proposes, fills it (file type from 0) and presses Save", 3, 3,
     [](const Arguments& a) { return SaveAs(a[0], a[1], static_cast<int>(a.Number(2))); }},
    {"idle", "<title>",
     "returns once the window's program has handled what it was sent or posted so far and waits for input",
     1, 1, [](const Arguments& a) { return Idle(a[0]); }},
    {"sleep", "<ms>", "prints its own process id, then waits (a helper process)", 1, 1,
     [](const Arguments& a) { return SleepAsHelper(a.Number(0)); }},
    {"command", "<title> <id> [notification]",
     "posts WM_COMMAND: without a notification as a menu item chosen (code 0, no control), with one as that "
     "control's notification (lParam the child with that id)",
     2, 3,
     [](const Arguments& a) {
         return PostCommand(a[0], a.Integer(1), a.size() == 3 ? std::optional<int>(a.Integer(2)) : std::nullopt);
     }},
    {"syscommand", "<title> <SC_...>", "posts WM_SYSCOMMAND (SC_MAXIMIZE 0xF030, SC_RESTORE 0xF120 ...)", 2, 2,
     [](const Arguments& a) { return PostSysCommand(a[0], a.Number(1)); }},
    {"place", "<title> <x> <y> [<w> <h>]", "moves (and sizes) the window with SetWindowPos", 3, 5,
     [](const Arguments& a) {
         if (a.size() == 4) {
             return kBadArguments;
         }
         return Place(a[0], a.Integer(1), a.Integer(2),
                      a.size() == 5 ? std::optional<SIZE>(SIZE{a.Integer(3), a.Integer(4)}) : std::nullopt);
     }},
    {"dpi-changed", "<title> <dpi> <x> <y> <w> <h>",
     "sends WM_DPICHANGED (also to a hidden window) as when it moves to a screen of that density, with the "
     "rectangle the system suggests",
     6, 6,
     [](const Arguments& a) {
         const RECT suggested{a.Integer(2), a.Integer(3), a.Integer(2) + a.Integer(4), a.Integer(3) + a.Integer(5)};
         return DpiChanged(a[0], a.Integer(1), suggested);
     }},
    {"children", "<title>", "its child windows: id, class, style, screen rect, text", 1, 1,
     [](const Arguments& a) { return Children(a[0]); }},
    {"focus", "<title>", "the control id of the window's focused control (0: the window)", 1, 1,
     [](const Arguments& a) { return Focus(a[0]); }},
    {"hittest", "<title> <x> <y>", "the WM_NCHITTEST answer for a screen point", 3, 3,
     [](const Arguments& a) { return HitTest(a[0], a.Integer(1), a.Integer(2)); }},

    // The main window's list (IDC_LIST) and status bar (IDC_STATUS_BAR).
    {"rows", "<title> [<first> <count>]", "the list's columns and every row with its cells (or count rows from first on)",
     1, 3,
     [](const Arguments& a) {
         if (a.size() == 2) {
             return kBadArguments;
         }
         return a.size() == 3 ? Rows(a[0], a.Integer(1), a.Integer(2)) : Rows(a[0], 0, -1);
     }},
    {"select", "<title> <index>...", "selects exactly these rows, the first one focused", 2, 100000,
     [](const Arguments& a) {
         std::vector<int> rows;
         for (std::size_t i = 1; i < a.size(); ++i) {
             rows.push_back(a.Integer(i));
         }
         return Select(a[0], rows);
     }},
    {"select-none", "<title>", "selects no row", 1, 1, [](const Arguments& a) { return Select(a[0], {}); }},
    {"status", "<title>", "the status bar's panels", 1, 1, [](const Arguments& a) { return Status(a[0]); }},
    {"row-pixel", "<title> <index> [column]", "the background colour of a row's cell (column 1 if not given)", 2, 3,
     [](const Arguments& a) { return RowPixel(a[0], a.Integer(1), a.size() == 3 ? a.Integer(2) : 1); }},
    {"column-width", "<title> <column> <w>", "sets a column of the list to w pixels", 3, 3,
     [](const Arguments& a) { return SetColumnWidth(a[0], a.Integer(1), a.Integer(2)); }},

    // Menus.
    {"menu", "<title> [keep]",
     "opens the list's context menu, reads its items, closes it again unless keep is given (an open menu is "
     "read as it is)",
     1, 2, [](const Arguments& a) { return a.size() == 2 && !a.Is(1, L"keep") ? kBadArguments : Menu(a[0], a.size() == 2); }},
    {"close-menu", "<title>", "closes the program's open menus with Escape", 1, 1,
     [](const Arguments& a) { return CloseMenu(a[0]); }},
    {"main-menu", "<title>", "the items of the window's menu bar and its submenus", 1, 1,
     [](const Arguments& a) { return MainMenu(a[0]); }},
    {"choose", "<title> <n>",
     "in the open context menu: moves down n items from the top (separators are skipped, disabled items "
     "count), presses Enter",
     2, 2, [](const Arguments& a) { return Choose(a[0], a.Integer(1)); }},

    // Keyboard.
    {"key", "<title> <virtual key>", "posts a key press to the focused control", 2, 2,
     [](const Arguments& a) { return Key(a[0], a.Number(1)); }},
    {"type", "<title> <text>", "posts the text's characters to the focused control", 2, 2,
     [](const Arguments& a) { return Type(a[0], a[1]); }},
    {"shortcut", "<title> <key> [input|attached]", "Ctrl+<key> (a letter or a digit) so that accelerators see it",
     2, 3,
     [](const Arguments& a) {
         if (a.size() == 3 && !a.Is(2, L"input") && !a.Is(2, L"attached")) {
             return kBadArguments;
         }
         const KeyMethod method = a.size() < 3 ? KeyMethod::Any : a.Is(2, L"input") ? KeyMethod::Input : KeyMethod::Attached;
         return Shortcut(a[0], a[1], method);
     }},
    {"alt-key", "<title> <key>",
     "Alt+<key> (a letter) as keyboard input to the window made the foreground window, as a user opens a "
     "menu by its access key",
     2, 2, [](const Arguments& a) { return AltKey(a[0], a[1]); }},
    {"shift-key", "<title> <virtual key> [count]",
     "the key (once, or count times) with Shift held, as keyboard input to the window made the foreground "
     "window, as a user extends a selection",
     2, 3, [](const Arguments& a) { return ShiftKey(a[0], a.Number(1), a.size() == 3 ? a.Integer(2) : 1); }},

    // Texts.
    {"clipboard", "", "the clipboard's Unicode text", 0, 0, [](const Arguments&) { return Clipboard(); }},
    {"tooltip", "<title>", "the text of the tooltip the window's process shows (none: exit 1)", 1, 1,
     [](const Arguments& a) { return Tooltip(a[0]); }},
    {"text-width", "<points> <bold> <text> [dpi]",
     "the width and height of the text in Tahoma of that size (bold 0 or 1) at the screen's resolution (or "
     "at dpi), as the program draws its texts",
     3, 4,
     [](const Arguments& a) {
         return TextWidth(a.Integer(0), a.Integer(1) != 0, a[2], a.size() == 4 ? a.Integer(3) : 0);
     }},
};

int Usage()
{
    std::fprintf(stderr, "usage: vqdriver <command> <arguments>\n");
    for (const Command& command : kCommands) {
        std::fprintf(stderr, "  %s %s\n      %s\n", command.name, command.arguments, command.description);
    }
    return 2;
}

} // namespace
} // namespace vq::e2e::driver

int wmain(int argc, wchar_t** argv)
{
    using namespace vq::e2e::driver;
    if (argc < 2) {
        return Usage();
    }
    const std::string name = Utf8(argv[1]);
    for (const Command& command : kCommands) {
        if (name != command.name) {
            continue;
        }
        const Arguments arguments(argc - 2, argv + 2);
        if (arguments.size() < command.fewest || arguments.size() > command.most) {
            return Usage();
        }
        const int result = command.run(arguments);
        std::fflush(stdout);
        return result == kBadArguments ? Usage() : result;
    }
    return Usage();
}
