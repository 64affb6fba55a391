"""Finding rows in the real program under Wine: the View menu's Find dialog,
F3, Ctrl+A and the menus' access keys, over the stand-in IP Helper's
scripted tables."""

from harness import ID, MAIN_TITLE, poll

FIND_TITLE = "Find"
VK_RETURN, VK_F3 = 0x0D, 0x72
FILE_ITEMS = [ID["ID_OPEN_CHANGELOG"], ID["ID_OPEN_EULA"], ID["ID_EXIT"]]

# Three rows of one process share port 445 in some cell; the caption of the
# idle process also holds "445" nowhere.
TABLES = [
    "tcp 2 0.0.0.0 445 0.0.0.0 0 4",
    "tcp 5 10.0.0.5 49152 192.0.2.7 445 4",
    "tcp 5 10.0.0.5 49153 192.0.2.8 443 4",
    "udp 0.0.0.0 137 4",
    "tcp 2 0.0.0.0 8445 0.0.0.0 0 0",
]


def _selection(session):
    rows = session.rows()
    return [r.index for r in rows if r.selected], next((r.index for r in rows if r.focused), None), rows


def _find_and_expect(session, expected, message):
    """Waits until exactly the expected row is selected and focused."""
    return poll(lambda: (s := _selection(session))[0] == [expected] and s[1] == expected and s,
                timeout=10, message=f"{message}: selection {_selection(session)[:2]}")


def test_find_f3_and_select_all_select_the_right_rows_and_a_miss_is_reported(session):
    session.install()
    session.write_tables(TABLES)
    session.start()
    session.find_window(MAIN_TITLE)
    rows = poll(lambda: len(r := session.rows()) == 5 and r, message=f"rows {session.rows()}")
    # Rows with equal captions follow their endpoints: TCP before UDP, ports numerically.
    system = [(r["Protocol"], r["Local Port"]) for r in rows if r["Process"] == "System"]
    assert system == [("TCP", "445"), ("TCP", "49152"), ("TCP", "49153"), ("UDP", "137")], (
        f"rows of one process {system}")
    matches = [r.index for r in rows if any("445" in cell for cell in r.cells)]
    assert len(matches) == 3, f"rows holding 445: {matches}"

    session.select(matches[0])
    session.shortcut("f")
    session.find_window(FIND_TITLE)
    session.driver("type", FIND_TITLE, "445")
    session.driver("key", FIND_TITLE, VK_RETURN)
    _find_and_expect(session, matches[1], "Find Next from the first match")

    # Once the dialog is closed, F3 goes on from the focused row and wraps past the end.
    session.driver("close", FIND_TITLE)
    poll(lambda: session.driver("find", FIND_TITLE, 0)[0] != 0, message="the Find dialog did not close")
    session.driver("key", MAIN_TITLE, VK_F3)
    _find_and_expect(session, matches[2], "F3")
    session.driver("key", MAIN_TITLE, VK_F3)
    _find_and_expect(session, matches[0], "F3 past the end")

    # A miss says so, naming the text, and leaves the selection.
    session.shortcut("f")
    session.find_window(FIND_TITLE)
    session.driver("type", FIND_TITLE, "x")
    session.driver("key", FIND_TITLE, VK_RETURN)
    rc, box = session.driver("msgbox", 0, 20000)
    # Whether typing replaced the dialog's text or went after it, nothing matches.
    assert rc == 0 and box.get("text") in ('Cannot find "445x".', 'Cannot find "x".'), f"miss box {box}"
    session.driver("msgbox-ok", 0)
    assert _selection(session)[:2] == ([matches[0]], matches[0]), "a miss moved the selection"
    session.driver("close", FIND_TITLE)

    # Ctrl+A selects every row.
    session.shortcut("a")
    poll(lambda: _selection(session)[0] == list(range(5)), timeout=10,
         message=f"Ctrl+A: selection {_selection(session)[0]}")


def test_alt_f_opens_the_file_menu_by_its_access_key(session):
    session.install()
    session.write_tables(TABLES)
    session.start()
    session.find_window(MAIN_TITLE)
    labels = [(item.text, item.label) for item in session.main_menu()]
    assert labels == [("&File", "File"), ("&View", "View"), ("&Help", "Help")], f"menu bar {labels}"
    session.driver("alt-key", MAIN_TITLE, "f")
    items = poll(lambda: [i.id for i in session.menu(keep_open=True) if not i.separator], timeout=10,
                 message="Alt+F opened no menu")
    session.close_menu()
    assert items == FILE_ITEMS, f"Alt+F opened {items}, not the File menu"
