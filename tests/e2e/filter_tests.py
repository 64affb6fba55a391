"""Narrowing the list under Wine: the filter bar (Ctrl+E) with its query
keys, and the View options that hide unconnected endpoints and waiting
connections, over the stand-in IP Helper's scripted tables."""
import re

from harness import ID, MAIN_TITLE, WINE, poll, run_command

FILTER_BAR, SHOW_UNCONNECTED, SHOW_WAITING = ID["ID_FILTER_BAR"], ID["ID_SHOW_UNCONNECTED"], ID["ID_SHOW_WAITING"]
SHOW_IPV6, CLOSE_ALL = ID["ID_SHOW_IPV6_ENDPOINTS"], ID["ID_CLOSE_ALL_CONNECTIONS"]
BAR, LIST = ID["IDC_FILTER_BAR"], ID["IDC_LIST"]
SETTINGS_KEY = r"HKCU\Software\Quarvel\Velquist"
VK_RETURN, VK_ESCAPE, VK_DOWN = 0x0D, 0x1B, 0x28
WS_VISIBLE = 0x10000000

# Every kind of row: listening, established, waiting, opening, UDP; two processes.
TABLES = [
    "tcp 2 0.0.0.0 445 0.0.0.0 0 4",
    "tcp 5 10.0.0.5 49152 192.0.2.7 443 {helper}",
    "tcp 11 10.0.0.5 49153 192.0.2.8 80 {helper}",
    "tcp 8 10.0.0.5 49154 192.0.2.9 8080 4",
    "tcp 3 10.0.0.5 49155 198.51.100.1 443 {helper}",
    "udp 0.0.0.0 137 4",
    "udp 0.0.0.0 5353 {helper}",
]


def _ports(session):
    return sorted(int(r["Local Port"]) for r in session.rows())


def _expect_ports(session, ports, message):
    return poll(lambda: _ports(session) == sorted(ports), timeout=10,
                message=f"{message}: local ports {_ports(session)}, expected {sorted(ports)}")


def _stored(session, name):
    result = run_command([WINE, "reg", "query", SETTINGS_KEY, "/v", name], session.env, check_rc=False)
    match = re.search(name + r"\s+REG_DWORD\s+0x([0-9a-fA-F]+)", result.stdout)
    return int(match.group(1), 16) if match else None


def _bar(session):
    """(shown, text) of the filter bar."""
    kind, style, _, text = session.children(MAIN_TITLE)[BAR]
    assert kind.lower() == "edit", f"the filter bar is a {kind}"
    return bool(style & WS_VISIBLE), text


def _view_items(session):
    view = next(item for item in session.main_menu() if item.label == "View")
    return [item for item in view.submenu if not item.separator]


def _type_filter(session, text):
    """Clears the focused bar with Esc and types text into it."""
    session.driver("key", MAIN_TITLE, VK_ESCAPE)
    poll(lambda: _bar(session) == (True, ""), message=f"Esc did not clear the bar: {_bar(session)}")
    session.driver("type", MAIN_TITLE, text)


def _start(session):
    session.install()
    _, helper = session.start_helper("Probe Dir", "helper app.exe")
    session.write_tables([line.format(helper=helper) for line in TABLES])
    program = session.start()
    session.find_window(MAIN_TITLE)
    _expect_ports(session, [445, 49152, 49153, 49154, 49155, 137, 5353], "first rows")
    return program, helper


def test_the_filter_bar_narrows_the_list_as_the_user_types_and_esc_clears_then_hides(session):
    program, _ = _start(session)
    items = [(item.id, item.label, item.shortcut, item.checked) for item in _view_items(session)]
    at = next(i for i, item in enumerate(items) if item[0] == SHOW_IPV6)
    assert items[at + 1:at + 4] == [
        (FILTER_BAR, "Filter Bar", "Ctrl+E", False),
        (SHOW_UNCONNECTED, "Show Unconnected Endpoints", "", True),
        (SHOW_WAITING, "Show Waiting Connections", "", True)], f"View items {items}"
    assert _bar(session) == (False, ""), "the bar shows before it was asked for"
    assert session.status() == ["Connections: 7", "Established: 1", "Listening: 1"], session.status()

    # A selected row keeps the list's shortcuts away from the bar's edit keys below.
    system = next(r.index for r in session.rows() if r["Process"] == "System")
    session.select(system)
    session.shortcut("e")
    poll(lambda: _bar(session)[0] and session.focus() == BAR, message="Ctrl+E: the bar has not the focus")
    assert next(i for i in _view_items(session) if i.id == FILTER_BAR).checked, "Filter Bar not checked"
    poll(lambda: _stored(session, "FilterBar") == 1, message="FilterBar not stored as 1")

    # Typing narrows the list, its counters and the hidden count.
    session.driver("type", MAIN_TITLE, "HELPER")
    _expect_ports(session, [49152, 49153, 49155, 5353], "the helper's rows")
    poll(lambda: session.status() == ["Connections: 4", "Established: 1", "Listening: 0", "Hidden: 3"],
         message=f"status {session.status()}")
    poll(lambda: session.status_edges()[-1] == -1, message=f"the hidden panel's edge {session.status_edges()}")

    # Ctrl+A and Ctrl+C are the bar's while it has the focus: the list keeps
    # its selection and the clipboard gets the bar's text, not rows.
    session.driver("type", MAIN_TITLE, " 49")
    _expect_ports(session, [49152, 49153, 49155], "two words")
    session.shortcut("a")
    session.shortcut("c")
    poll(lambda: session.clipboard() == "HELPER 49", message=f"clipboard {session.clipboard()!r}")
    assert not any(r.selected for r in session.rows()), "Ctrl+A in the bar selected rows"

    cases = [
        ("-udp 443", [49152, 49155]),
        ('"192.0.2.7"', [49152]),
        ("state:time_wait", [49153]),
        ("proto:udp pid:4", [137]),
        ("process:system -state:listen", [49154, 137]),
        ("port:443", [49152, 49155]),
        ("lport:445", [445]),
        ("remote:198.51", [49155]),
        ("path:probe", [49152, 49153, 49155, 5353]),
    ]
    for query, ports in cases:
        _type_filter(session, query)
        _expect_ports(session, ports, f"query {query!r}")

    # An unknown key shows nothing and says so in the status bar.
    _type_filter(session, "foo:bar")
    _expect_ports(session, [], "unknown key")
    poll(lambda: session.status()[3:] == ['Unknown filter key "foo:"'], message=f"status {session.status()}")

    # Esc clears the text (every row back, no hidden panel), then hides the
    # bar and hands the focus to the list; the window stays open.
    session.driver("key", MAIN_TITLE, VK_ESCAPE)
    _expect_ports(session, [445, 49152, 49153, 49154, 49155, 137, 5353], "Esc cleared the text")
    poll(lambda: len(session.status()) == 3, message=f"status after clearing {session.status()}")
    assert _bar(session) == (True, ""), f"bar after the first Esc {_bar(session)}"
    session.driver("key", MAIN_TITLE, VK_ESCAPE)
    poll(lambda: not _bar(session)[0] and session.focus() == LIST,
         message=f"the second Esc: bar {_bar(session)}, focus {session.focus()}")
    poll(lambda: _stored(session, "FilterBar") == 0, message="FilterBar not stored as 0")
    assert program.poll() is None, "Esc in the bar closed the window"

    # Enter and Down hand the focus to the list; Ctrl+E takes it back.
    for key in (VK_RETURN, VK_DOWN):
        session.shortcut("e")
        poll(lambda: session.focus() == BAR, message="Ctrl+E did not focus the bar")
        session.driver("key", MAIN_TITLE, key)
        poll(lambda: session.focus() == LIST and _bar(session)[0], message=f"key {key:#x}: focus {session.focus()}")
        if key == VK_RETURN:
            session.shortcut("e")
            poll(lambda: session.focus() == BAR and _bar(session)[0],
                 message="Ctrl+E with the bar shown did not give it the focus")
            session.shortcut("e")
            poll(lambda: not _bar(session)[0], message="Ctrl+E in the bar did not hide it")


def test_the_options_hide_their_rows_and_survive_a_restart_and_commands_act_on_the_rows_shown(session):
    program, helper = _start(session)
    session.driver("command", MAIN_TITLE, SHOW_UNCONNECTED)
    _expect_ports(session, [49152, 49153, 49154, 49155], "without unconnected endpoints")
    poll(lambda: session.status() == ["Connections: 4", "Established: 1", "Listening: 0", "Hidden: 3"],
         message=f"status {session.status()}")
    session.driver("command", MAIN_TITLE, SHOW_WAITING)
    _expect_ports(session, [49152, 49155], "without waiting connections")
    poll(lambda: (_stored(session, "ShowUnconnected"), _stored(session, "ShowWaiting")) == (0, 0),
         message="the options were not stored as 0")

    # Both stay off after a restart; the bar's text does not survive it.
    session.shortcut("e")
    poll(lambda: session.focus() == BAR, message="Ctrl+E did not focus the bar")
    session.driver("type", MAIN_TITLE, "49155")
    _expect_ports(session, [49155], "filtered")
    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0, "close: exit code not 0"
    program = session.start()
    session.find_window(MAIN_TITLE)
    _expect_ports(session, [49152, 49155], "after the restart")
    assert _bar(session) == (True, ""), f"the bar after the restart {_bar(session)}"
    checks = {i.id: i.checked for i in _view_items(session)}
    assert (checks[SHOW_UNCONNECTED], checks[SHOW_WAITING], checks[FILTER_BAR]) == (False, False, True), checks

    # Showing waiting connections again brings their rows back in place.
    session.driver("command", MAIN_TITLE, SHOW_WAITING)
    _expect_ports(session, [49152, 49153, 49154, 49155], "waiting connections back")
    poll(lambda: _stored(session, "ShowWaiting") == 1, message="ShowWaiting not stored as 1")

    # A selected row the filter hides is deselected and stays so.
    by_port = {r["Local Port"]: r.index for r in session.rows()}
    session.select(by_port["49152"], by_port["49155"])
    session.shortcut("e")
    poll(lambda: session.focus() == BAR, message="Ctrl+E did not focus the bar")
    session.driver("type", MAIN_TITLE, "198.51")
    _expect_ports(session, [49155], "one row")
    assert [r.selected for r in session.rows()] == [True], "the shown row lost its selection"
    _type_filter(session, "helper")
    _expect_ports(session, [49152, 49153, 49155], "the helper's TCP rows")
    assert [r["Local Port"] for r in session.rows() if r.selected] == ["49155"], "a hidden row stayed selected"

    # Close ALL Connections closes the rows shown, no other.
    session.driver("command", MAIN_TITLE, ID["ID_DISABLE_AUTO_REFRESH"])
    shown = [r for r in session.rows()]
    session.select_none()
    session.choose_command(CLOSE_ALL)
    expected = [f"12 {r['Local Address']} {r['Local Port']} {r['Remote Address']} {r['Remote Port']}" for r in shown]
    poll(lambda: session.set_tcp_entry_calls() == expected, timeout=10,
         message=f"SetTcpEntry calls {session.set_tcp_entry_calls()}, expected {expected}")
    session.driver("command", MAIN_TITLE, ID["ID_DISABLE_AUTO_REFRESH"])

    # A later table's new rows appear only when they pass.
    session.write_tables([line.format(helper=helper) for line in TABLES] +
                         [f"tcp 5 10.0.0.5 49200 192.0.2.10 443 {helper}", "tcp 5 10.0.0.5 49201 192.0.2.11 443 4"])
    _expect_ports(session, [49152, 49153, 49155, 49200], "a later table")
    assert program.poll() is None
