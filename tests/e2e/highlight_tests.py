"""Highlighted changes and the refresh interval under Wine: scripted tables
that add, remove and change rows, refreshes chosen one at a time, the colours
painted inside the marked rows, and table reads counted per interval."""
import re
import time

from harness import ID, MAIN_TITLE, WINE, poll, run_command

HIGHLIGHT, REFRESH, DISABLE_AUTO_REFRESH = ID["ID_HIGHLIGHT_CHANGES"], ID["ID_REFRESH"], ID["ID_DISABLE_AUTO_REFRESH"]
CLOSE_SELECTED, TERMINATE = ID["ID_CLOSE_SELECTED_CONNECTIONS"], ID["ID_TERMINATE_PROCESS"]
INTERVALS = [ID["ID_REFRESH_EVERY_1_SECOND"], ID["ID_REFRESH_EVERY_2_SECONDS"], ID["ID_REFRESH_EVERY_5_SECONDS"],
             ID["ID_REFRESH_EVERY_10_SECONDS"]]
SETTINGS_KEY = r"HKCU\Software\Quarvel\Velquist"
NEW, CLOSED, CHANGED, ESTABLISHED = "c6e0ff", "ffd0d0", "fff0a8", "b8e994"

FIRST = [
    "tcp 5 10.0.0.5 49152 192.0.2.7 443 4",
    "tcp 2 0.0.0.0 445 0.0.0.0 0 4",
    "udp 0.0.0.0 137 4",
]
# 49152 goes to CLOSE-WAIT, 445 closes, 49160 is new.
SECOND = [
    "tcp 8 10.0.0.5 49152 192.0.2.7 443 4",
    "udp 0.0.0.0 137 4",
    "tcp 5 10.0.0.5 49160 192.0.2.8 443 4",
]


def _stored(session, name):
    result = run_command([WINE, "reg", "query", SETTINGS_KEY, "/v", name], session.env, check_rc=False)
    match = re.search(name + r"\s+REG_DWORD\s+0x([0-9a-fA-F]+)", result.stdout)
    return int(match.group(1), 16) if match else None


def _view(session):
    return next(item for item in session.main_menu() if item.label == "View")


def _refresh_now(session):
    """Chooses Refresh Now and waits until its TCP read is done and handled."""
    reads = session.table_reads()
    session.driver("command", MAIN_TITLE, REFRESH)
    poll(lambda: session.table_reads() > reads, message="Refresh Now read no table")
    session.idle()


def _by_port(session):
    return {r["Local Port"]: r for r in session.rows()}


def _start(session):
    """The program over the first tables, once it lists them."""
    session.install()
    session.write_tables(FIRST)
    program = session.start()
    session.find_window(MAIN_TITLE)
    poll(lambda: len(session.rows()) == 3, message=f"first rows {session.rows()}")
    return program


def test_a_refresh_marks_new_changed_and_closed_rows_for_two_refreshes(session):
    program = _start(session)
    item = next(i for i in _view(session).submenu if i.id == HIGHLIGHT)
    assert item.label == "Highlight Changes" and not item.checked, f"View item {item}"

    session.driver("command", MAIN_TITLE, HIGHLIGHT)
    poll(lambda: _stored(session, "HighlightChanges") == 1, message="HighlightChanges not stored as 1")
    session.driver("command", MAIN_TITLE, DISABLE_AUTO_REFRESH)
    session.idle()
    _refresh_now(session)
    assert all(session.row_colour(r.index) not in (NEW, CLOSED, CHANGED) for r in session.rows()), (
        "an unchanged refresh marked rows")

    session.write_tables(SECOND)
    _refresh_now(session)
    rows = _by_port(session)
    assert sorted(rows) == ["137", "445", "49152", "49160"], f"rows {sorted(rows)}"
    colours = {port: session.row_colour(row.index) for port, row in rows.items()}
    assert (colours["49152"], colours["445"], colours["49160"]) == (CHANGED, CLOSED, NEW), f"colours {colours}"
    assert colours["137"] not in (NEW, CLOSED, CHANGED), f"the unchanged UDP row is marked: {colours}"
    assert session.status() == ["Connections: 3", "Established: 1", "Listening: 0"], (
        f"a closed row counted: {session.status()}")

    # A closed row cannot be selected: the list takes the selection back at
    # once, and nothing is there to close or end.
    session.select(rows["445"].index)
    poll(lambda: not any(r.selected for r in session.rows()), message="the closed row stayed selected")
    items = {i.id: i for i in session.menu() if not i.separator}
    assert not items[CLOSE_SELECTED].enabled and not items[TERMINATE].enabled, "commands enabled on a closed row"

    # The marks last one more refresh, and go with the second.
    _refresh_now(session)
    colours = {port: session.row_colour(row.index) for port, row in _by_port(session).items()}
    assert (colours["49152"], colours["445"], colours["49160"]) == (CHANGED, CLOSED, NEW), (
        f"colours one refresh later {colours}")
    _refresh_now(session)
    rows = _by_port(session)
    assert sorted(rows) == ["137", "49152", "49160"], f"the closed row stayed: {sorted(rows)}"
    colours = {port: session.row_colour(row.index) for port, row in rows.items()}
    assert colours["49160"] == ESTABLISHED and colours["49152"] not in (NEW, CLOSED, CHANGED, ESTABLISHED), (
        f"colours after two refreshes {colours}")

    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0
    session.start()
    session.find_window(MAIN_TITLE)
    assert next(i for i in _view(session).submenu if i.id == HIGHLIGHT).checked, "the option was not restored"


def _reads_in(session, seconds):
    start = session.table_reads()
    time.sleep(seconds)
    return session.table_reads() - start


def test_the_refresh_interval_is_a_choice_of_four_that_restarts_the_timer_and_survives_a_restart(session):
    program = _start(session)
    submenu = next(i for i in _view(session).submenu if i.label == "Refresh Interval").submenu
    assert [(i.id, i.label, i.checked) for i in submenu] == [
        (INTERVALS[0], "1 second", False), (INTERVALS[1], "2 seconds", True),
        (INTERVALS[2], "5 seconds", False), (INTERVALS[3], "10 seconds", False)], f"Refresh Interval {submenu}"

    session.driver("command", MAIN_TITLE, INTERVALS[0])
    poll(lambda: _stored(session, "RefreshInterval") == 1000, message="RefreshInterval not stored as 1000")
    every_second = _reads_in(session, 8)
    session.driver("command", MAIN_TITLE, INTERVALS[1])
    every_two = _reads_in(session, 8)
    assert every_second >= 1.5 * every_two and every_second >= every_two + 2, (
        f"TCP reads in 8 s: {every_second} at 1 s, {every_two} at 2 s")

    session.driver("command", MAIN_TITLE, INTERVALS[2])
    poll(lambda: _stored(session, "RefreshInterval") == 5000, message="RefreshInterval not stored as 5000")
    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0
    session.start()
    session.find_window(MAIN_TITLE)
    submenu = next(i for i in _view(session).submenu if i.label == "Refresh Interval").submenu
    assert [i.checked for i in submenu] == [False, False, True, False], f"after the restart {submenu}"
