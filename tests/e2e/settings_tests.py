"""The window settings kept in the registry, the About window and the
documents and addresses the program opens, against the real program under
Wine. Settings are read back and planted with Wine's own reg tool."""
import re

import pytest

from harness import ID, MAIN_TITLE, REFRESH_PERIOD, WINE, holds_for, poll, rect_of, run_command

SETTINGS_KEY = r"HKCU\Software\Quarvel\Velquist"
ABOUT_TITLE = "About"
APP_TITLE = "Quarvel Velquist"

# Ids of package/resource.h.
OPEN_CHANGELOG, OPEN_EULA, HOMEPAGE, ABOUT = (ID["ID_OPEN_CHANGELOG"], ID["ID_OPEN_EULA"], ID["ID_OPEN_HOMEPAGE"],
                                              ID["ID_SHOW_ABOUT"])
PRODUCT_NAME, VERSION = ID["IDC_ABOUT_PRODUCT_NAME"], ID["IDC_ABOUT_VERSION"]
HOMEPAGE_LINK, EULA_LINK = ID["IDC_ABOUT_HOMEPAGE_LINK"], ID["IDC_ABOUT_EULA_LINK"]
FACEBOOK_LINK, TWITTER_LINK = ID["IDC_ABOUT_FACEBOOK_LINK"], ID["IDC_ABOUT_TWITTER_LINK"]
STN_CLICKED = 0
SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE = 0xF020, 0xF030, 0xF120
WS_DISABLED, WS_MAXIMIZE, WS_CAPTION, WS_SYSMENU = 0x08000000, 0x01000000, 0x00C00000, 0x00080000
WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0x00040000, 0x00020000, 0x00010000
HT_SIZING_EDGES = range(10, 18)  # HTLEFT .. HTBOTTOMRIGHT

HOMEPAGE_URL = "https://www.quarvel.example/"
FACEBOOK_URL = "https://www.quarvel.example/follow/facebook"
TWITTER_URL = "https://www.quarvel.example/follow/twitter"

BUILT_IN_CLIENT = "998,536"
BUILT_IN_COLUMNS = [125, 75, 125, 150, 75, 150, 75, 75, 250]
COLUMN_VALUES = [f"ListView_Column_{n}" for n in range(9)]
TABLES = ["tcp 2 0.0.0.0 135 0.0.0.0 0 4", "tcp 5 10.0.0.5 555 10.0.0.9 443 4"]


# --- reading and planting settings ------------------------------------------------------------

def _settings(session):
    """The values under the settings key as {name: int} (a REG_DWORD as the
    signed number it holds) or {name: (type, text)}; None without the key."""
    result = run_command([WINE, "reg", "query", SETTINGS_KEY], session.env, check_rc=False)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.replace("\r", "").split("\n"):
        match = re.match(r"^    (\S.*?)    (REG_\w+)    ?(.*)$", line)
        if match:
            name, kind, data = match.groups()
            if kind == "REG_DWORD":
                number = int(data, 16)
                values[name] = number - (1 << 32) if number >= 1 << 31 else number
            else:
                values[name] = (kind, data)
    return values


def _placement(values):
    return {name: values.get(name) for name in ("Width", "Height", "State")}


def _plant(session, values):
    """Replaces the settings key by these values: name -> int (REG_DWORD) or (type, data)."""
    run_command([WINE, "reg", "delete", SETTINGS_KEY, "/f"], session.env, check_rc=False)
    for name, value in values.items():
        kind, data = value if isinstance(value, tuple) else ("REG_DWORD", str(value & 0xFFFFFFFF))
        session.registry(SETTINGS_KEY, name, kind, data)


# --- the windows ------------------------------------------------------------------------------

def _size(window):
    left, top, right, bottom = rect_of(window)
    return right - left, bottom - top


def _style(window):
    return int(window["style"], 16)


def _drive(session, *args):
    rc, values = session.driver(*args)
    assert rc == 0, f"vqdriver {args}: {values.get('error', values)}"
    return values


def _centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def _pointer(session, x, y, click=False):
    """Moves the X pointer of the session's display (and clicks button 1)."""
    run_command(["xdotool", "mousemove", str(x), str(y), *(["click", "1"] if click else [])], session.env)


def _no_message_box(session):
    """True once the program has handled what it was asked and shows no
    message box, else what the box says."""
    session.idle()
    box = session.message_box(timeout_ms=0)
    return box is None or f"unexpected message box {box.get('title')!r}: {box.get('text')!r}"


def _start(session, tables=TABLES):
    session.install()
    return session.open(tables)


def _close(session, program):
    _drive(session, "close", MAIN_TITLE)
    assert session.wait_exit(program) == 0, "exit code not 0"


# --- settings the program writes ----------------------------------------------------------------

def test_size_state_and_column_widths_reach_the_registry_as_they_change(session):
    _pointer(session, 5, 5)
    program, window = _start(session)
    width, height = _size(window)
    # The window's first showing is its first resize: the built-in size,
    # normal. Column widths wait for the pointer to leave the list.
    values = poll(lambda: _settings(session), message="no settings key after the first start")
    assert values == {"Width": width, "Height": height, "State": 0}, (
        f"after the first start {values}, window {width}x{height}")

    _drive(session, "place", MAIN_TITLE, 100, 80, 700, 500)
    poll(lambda: _placement(_settings(session)) == {"Width": 700, "Height": 500, "State": 0},
         message=f"after a resize to 700x500: {_settings(session)}")

    _drive(session, "syscommand", MAIN_TITLE, SC_MAXIMIZE)
    maximised = poll(lambda: (w := session.find_window(MAIN_TITLE)) and _style(w) & WS_MAXIMIZE and w,
                     message="SC_MAXIMIZE did not maximise")
    max_width, max_height = _size(maximised)
    assert (max_width, max_height) != (700, 500), "the maximised size is the normal size"
    poll(lambda: _placement(_settings(session)) == {"Width": max_width, "Height": max_height, "State": 2},
         message=f"maximised {max_width}x{max_height}: {_settings(session)}")

    # Minimised, the size kept is the one the window comes back to.
    for command, state in ((SC_RESTORE, 0), (SC_MINIMIZE, 1), (SC_RESTORE, 0)):
        _drive(session, "syscommand", MAIN_TITLE, command)
        poll(lambda: _placement(_settings(session)) == {"Width": 700, "Height": 500, "State": state},
             message=f"syscommand {command:#x}: {_settings(session)}")
    assert _size(session.find_window(MAIN_TITLE)) == (700, 500), "restored to another size"

    # A column resized saves nothing until the pointer leaves the list.
    assert _drive(session, "column-width", MAIN_TITLE, 3, 200)["width"] == "200", "column 3 not resized"
    session.idle()
    assert _settings(session).get("ListView_Column_3") in (None, 150), f"saved before leaving: {_settings(session)}"
    list_rect = session.children(MAIN_TITLE)[ID["IDC_LIST"]][2]
    _pointer(session, *_centre(list_rect))
    _pointer(session, list_rect[0] + 20, list_rect[1] + 40)
    _pointer(session, 20, 20)  # outside the window at (100, 80)
    expected = BUILT_IN_COLUMNS[:3] + [200] + BUILT_IN_COLUMNS[4:]
    poll(lambda: [_settings(session).get(name) for name in COLUMN_VALUES] == expected,
         message=f"after leaving the list: {_settings(session)}")

    # Closing saves the column widths but not the placement.
    _drive(session, "syscommand", MAIN_TITLE, SC_MAXIMIZE)
    poll(lambda: _settings(session).get("State") == 2, message="not maximised again")
    _drive(session, "column-width", MAIN_TITLE, 0, 180)
    _close(session, program)
    values = _settings(session)
    assert _placement(values) == {"Width": max_width, "Height": max_height, "State": 2}, (
        f"the close changed the placement: {values}")
    assert [values.get(name) for name in COLUMN_VALUES] == [180] + expected[1:], f"after the close: {values}"
    assert set(values) == {"Width", "Height", "State", *COLUMN_VALUES}, f"other values: {sorted(values)}"


# --- settings planted before a start -----------------------------------------------------------

RESTARTS = [
    # (planted values, outer size or None for "the built-in size", maximised, column widths)
    ({"Width": 800, "Height": 600, "State": 0, "ListView_Column_0": 200, "ListView_Column_8": 60,
      # Past the last column: never read, so its text type reports nothing.
      "ListView_Column_9": ("REG_SZ", "wide")},
     (800, 600), False, [200] + BUILT_IN_COLUMNS[1:8] + [60]),
    ({"Width": 700}, (700, None), False, BUILT_IN_COLUMNS),
    # The stored size is that of the maximised window: restoring gives the built-in size.
    ({"State": 2, "Width": 500, "Height": 400}, None, True, BUILT_IN_COLUMNS),
    # Values no window or column can use are ignored.
    ({"State": 7, "Width": 0, "Height": -5, "ListView_Column_1": 0, "ListView_Column_2": 100000,
      "ListView_Column_3": 90},
     None, False, BUILT_IN_COLUMNS[:3] + [90] + BUILT_IN_COLUMNS[4:]),
]


def test_a_restart_applies_the_stored_size_state_and_column_widths(session):
    session.install()
    session.write_tables(TABLES)
    for planted, size, maximised, columns in RESTARTS:
        _plant(session, planted)
        program = session.start()
        window = session.find_window(MAIN_TITLE)
        case = f"planted {planted}"
        assert bool(_style(window) & WS_MAXIMIZE) == maximised, f"{case}: style {window['style']}"
        quiet = _no_message_box(session)
        assert quiet is True, f"{case}: {quiet}"
        widths = [width for _, width in session.list_columns()]
        assert widths == columns, f"{case}: column widths {widths}"
        if maximised:
            _drive(session, "syscommand", MAIN_TITLE, SC_RESTORE)
            window = poll(lambda: (w := session.find_window(MAIN_TITLE)) and not _style(w) & WS_MAXIMIZE and w,
                          message=f"{case}: SC_RESTORE did not restore")
        if size is None:
            assert window["client"] == BUILT_IN_CLIENT, f"{case}: client {window['client']}"
        else:
            want_width, want_height = size
            width, height = _size(window)
            assert width == want_width, f"{case}: outer width {width}"
            if want_height is None:
                assert window["client"].endswith(",536"), f"{case}: client {window['client']}"
            else:
                assert height == want_height, f"{case}: outer height {height}"
        if planted.get("State") == 0:
            # Applying the width must not overwrite the height before it was read.
            session.idle()
            values = _settings(session)
            assert _placement(values) == _placement(planted), f"{case}: afterwards {values}"
        _close(session, program)


def test_the_window_keeps_room_for_the_three_status_panels_and_a_few_rows(session):
    program, _ = _start(session, TABLES)
    _drive(session, "place", MAIN_TITLE, 50, 50, 120, 90)
    window = session.find_window(MAIN_TITLE)
    client_width, client_height = (int(v) for v in window["client"].split(","))
    edges = session.status_edges()
    assert client_width >= edges[2] and edges[:3] == [145, 290, 435], (
        f"client {window['client']}, panel edges {edges}")
    assert client_height >= 19 + 3 * 14, f"client {window['client']}: no room for a few rows"
    _close(session, program)


# --- stored values of the wrong type ----------------------------------------------------------------

@pytest.mark.parametrize("stored, message", [
    (("REG_SZ", "800"), "Failed to get data for 'Width'"),
    (("REG_BINARY", "20030000"), "Invalid data type for 'Width'"),
], ids=["text", "binary"])
def test_a_width_that_is_no_number_is_reported_and_nothing_is_applied(session, stored, message):
    session.install()
    session.write_tables(TABLES)
    _plant(session, {"Width": stored, "Height": 600, "State": 0, "ListView_Column_0": 200})
    program = session.start()
    rc, box = session.driver("msgbox", 0, 30000)
    assert rc == 0, f"{stored}: no message box"
    assert (box["text"], box["title"], box["icon"]) == (message, APP_TITLE, "error"), (
        f"{stored}: box {box['title']!r} {box['text']!r} icon {box['icon']}")
    _drive(session, "msgbox-ok", 0)
    window = session.find_window(MAIN_TITLE)
    assert window["client"] == BUILT_IN_CLIENT and not _style(window) & WS_MAXIMIZE, (
        f"{stored}: client {window['client']} style {window['style']}")
    widths = [width for _, width in session.list_columns()]
    assert widths == BUILT_IN_COLUMNS, f"{stored}: column widths loaded after the error: {widths}"
    # The failed load does not take key preview with it: Esc still closes the window.
    session.driver("key", MAIN_TITLE, 0x1B)
    assert session.wait_exit(program) == 0, f"{stored}: Esc did not close the window"


# --- the About window ---------------------------------------------------------------------------------

def _about_over(session, main_left, main_top):
    """Moves the main window, shows About from the main menu and checks that
    it is centred over the main window; answers the About window."""
    main = _drive(session, "place", MAIN_TITLE, main_left, main_top)
    _drive(session, "command", MAIN_TITLE, ABOUT)
    about = session.find_window(ABOUT_TITLE)
    left, top, right, bottom = rect_of(main)
    a_left, a_top, a_right, a_bottom = rect_of(about)
    assert abs((a_left + a_right) - (left + right)) <= 1 and abs((a_top + a_bottom) - (top + bottom)) <= 1, (
        f"About {about['rect']} not centred over the main window {main['rect']}")
    assert _style(session.find_window(MAIN_TITLE)) & WS_DISABLED, "the main window accepts input behind About"
    return about


def test_the_about_window_is_centred_over_the_main_window_fixed_and_modal_while_the_list_refreshes(session):
    program, _ = _start(session)
    poll(lambda: session.row_count() == 2, message="first rows")

    about = _about_over(session, 20, 30)
    style = _style(about)
    assert about["client"] == "464,298", f"About client {about['client']}"
    assert style & (WS_CAPTION | WS_SYSMENU) == WS_CAPTION | WS_SYSMENU, f"About style {style:#x}"
    assert not style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), f"About style {style:#x}"
    left, top, right, bottom = rect_of(about)
    for x, y in ((right - 1, bottom - 1), (left, top + 40), (right - 1, top + 40), (left + 100, bottom - 1)):
        hit = int(_drive(session, "hittest", ABOUT_TITLE, x, y)["hit"])
        assert hit not in HT_SIZING_EDGES, f"the About frame at ({x}, {y}) sizes the window (hit {hit})"
    texts = {control: child[3] for control, child in session.children(ABOUT_TITLE).items()}
    assert (texts.get(PRODUCT_NAME) == "Quarvel Velquist" and texts.get(VERSION) == "Version 1.0.0.0 (29 May 2018)" and
            texts.get(EULA_LINK) == "End User License Agreement"), (
        f"About texts {texts}")

    # The main window's timers go on behind the modal window.
    session.write_tables(TABLES + ["tcp 5 10.0.0.5 556 10.0.0.7 22 4"])
    poll(lambda: session.row_count() == 3, timeout=10, message="the list did not refresh behind About")

    # About again while it shows: neither a second showing nor a new place.
    _drive(session, "place", MAIN_TITLE, 200, 300)
    _drive(session, "command", MAIN_TITLE, ABOUT)
    session.idle()
    assert session.find_window(ABOUT_TITLE)["rect"] == about["rect"], "About moved while showing"

    _drive(session, "close", ABOUT_TITLE)
    poll(lambda: session.find_window(ABOUT_TITLE, hidden=True)["visible"] == "0", message="About stayed")
    assert not _style(session.find_window(MAIN_TITLE)) & WS_DISABLED, "the main window stayed disabled"

    # Shown again, it follows the main window to its new place.
    _about_over(session, 250, 420)
    _drive(session, "close", ABOUT_TITLE)
    poll(lambda: not _style(session.find_window(MAIN_TITLE)) & WS_DISABLED, message="main window disabled")
    _close(session, program)


# --- documents and addresses ------------------------------------------------------------------------------

def _notepad_files(session):
    """The files this session's notepad processes were started with."""
    return sorted(" ".join(args[1:]) for args in session.command_lines("notepad.exe"))


def test_documents_open_only_when_present_and_addresses_reach_the_browser(session):
    session.capture_browser()
    program, _ = _start(session)
    (session.app / "EULA.txt").write_text("licence\r\n")

    _drive(session, "command", MAIN_TITLE, HOMEPAGE)
    assert session.wait_for_urls(1) == [HOMEPAGE_URL], f"Homepage opened {session.opened_urls()}"

    # The About window's links, clicked with the pointer before any
    # document window can cover them. The licence link spells the name
    # differently and finds the same file.
    _drive(session, "command", MAIN_TITLE, ABOUT)
    session.find_window(ABOUT_TITLE)
    controls = session.children(ABOUT_TITLE)
    expected = [HOMEPAGE_URL]
    for control, url in ((HOMEPAGE_LINK, HOMEPAGE_URL), (FACEBOOK_LINK, FACEBOOK_URL), (TWITTER_LINK, TWITTER_URL)):
        left, top, _, _ = controls[control][2]
        _pointer(session, left + 5, top + 5, click=True)
        expected.append(url)
        assert session.wait_for_urls(len(expected)) == expected, f"clicked {control}: {session.opened_urls()}"
    _pointer(session, *_centre(controls[EULA_LINK][2]), click=True)
    poll(lambda: _notepad_files(session) == [r"C:\app\Eula.txt"], timeout=30,
         message=f"the licence link opened {_notepad_files(session)}")
    quiet = _no_message_box(session)
    assert quiet is True, f"after the links: {quiet}"
    _drive(session, "close", ABOUT_TITLE)
    poll(lambda: not _style(session.find_window(MAIN_TITLE)) & WS_DISABLED, message="main window disabled")

    # No file, or a folder of that name: nothing opens and nothing is shown.
    changelog = session.app / "Changelog.txt"
    for present in ("nothing", "folder"):
        if present == "folder":
            changelog.mkdir()
        _drive(session, "command", MAIN_TITLE, OPEN_CHANGELOG)
        assert (holds_for(lambda: _notepad_files(session) == [r"C:\app\Eula.txt"] and
                       not session.explorer_command_lines(), 2 * REFRESH_PERIOD)), (
            f"Changelog as {present}: {_notepad_files(session)} {session.explorer_command_lines()}")
        quiet = _no_message_box(session)
        assert quiet is True, f"Changelog as {present}: {quiet}"
    changelog.rmdir()

    changelog.write_text("1.0.0.0 first release\r\n")
    _drive(session, "command", MAIN_TITLE, OPEN_CHANGELOG)
    poll(lambda: r"C:\app\Changelog.txt" in _notepad_files(session), timeout=30,
         message=f"Changelog not opened: {_notepad_files(session)}")
    _drive(session, "command", MAIN_TITLE, OPEN_EULA)
    poll(lambda: _notepad_files(session) == [r"C:\app\Changelog.txt", r"C:\app\EULA.txt", r"C:\app\Eula.txt"],
         timeout=30, message=f"EULA not opened: {_notepad_files(session)}")
    _close(session, program)
