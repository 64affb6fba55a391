"""The connection list and the main window under Wine, fed by the stand-in
IP Helper library's scripted tables."""
import socket

from harness import ESTABLISHED_BACKGROUND, ID, MAIN_TITLE, REFRESH_PERIOD, poll, holds_for, run_command

REFRESH, DISABLE_AUTO_REFRESH, TERMINATE = ID["ID_REFRESH"], ID["ID_DISABLE_AUTO_REFRESH"], ID["ID_TERMINATE_PROCESS"]
CLOSE_SELECTED, CLOSE_FOR_PROCESS, CLOSE_ALL = (ID["ID_CLOSE_SELECTED_CONNECTIONS"],
                                                ID["ID_CLOSE_PROCESS_CONNECTIONS"],
                                                ID["ID_CLOSE_ALL_CONNECTIONS"])
PROPERTIES, LOCATE = ID["ID_SHOW_PROCESS_PROPERTIES"], ID["ID_LOCATE_PROCESS_FILE"]
HASH_GOOGLE, HASH_VIRUSTOTAL = ID["ID_SEARCH_PROCESS_HASH"], ID["ID_CHECK_PROCESS_HASH_REPUTATION"]
SAVE, SAVE_CSV = ID["ID_SAVE_REPORT"], ID["ID_SAVE_CSV"]


def _start(session, tables):
    session.install()
    _, helper = session.start_helper("Probe Dir", "helper app.exe")
    program, _ = session.open([line.format(helper=helper) for line in tables])
    return program, helper


def _identities(rows):
    return sorted((r["Protocol"], r["Local Address"], r["Local Port"], r["Remote Address"], r["Remote Port"],
                   r["Process Id"]) for r in rows)


FIRST_TABLES = [
    "tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
    "tcp 2 0.0.0.0 135 0.0.0.0 0 4",
    "tcp 11 127.0.0.1 5000 127.0.0.1 5001 0",
    "tcp 3 10.0.0.5 1024 1.2.3.4 80 4",
    "udp 0.0.0.0 500 {helper}",
]


def test_scripted_entries_become_sorted_rows_with_counters_and_colours(session):
    program, helper = _start(session, FIRST_TABLES)
    rows = poll(lambda: (r := session.rows()) and r[-1]["Process"] == "System Idle Process" and r,
                message="the process-id-0 row was not named when painted")
    assert ([r["Process"] for r in rows] ==
            ["helper app.exe", "helper app.exe", "System", "System", "System Idle Process"]), (
        f"captions {[r['Process'] for r in rows]}")
    by_port = {r["Local Port"]: r for r in rows}
    established = by_port["555"]
    assert (established.as_dict() == {
          "Process": "helper app.exe", "Protocol": "TCP", "State": "ESTABLISHED", "Local Address": "10.0.0.5",
          "Local Port": "555", "Remote Address": "10.0.0.9", "Remote Port": "443", "Process Id": str(helper),
          "Process Path": "C:\\Probe Dir\\"}), (
        f"established row {established.as_dict()}")
    assert by_port["500"]["State"] == "-" and by_port["500"]["Remote Address"] == "-", "UDP row"
    assert by_port["1024"]["State"] == "SYN-SENT", "a SYN-SENT row holds its state without the blank"
    assert by_port["135"]["Process Path"] == "" and by_port["135"]["Process"] == "System", "pid 4 row"
    assert (session.list_columns() == [("Process", 125), ("Protocol", 75), ("State", 125),
                                       ("Local Address", 150), ("Local Port", 75), ("Remote Address", 150),
                                       ("Remote Port", 75), ("Process Id", 75), ("Process Path", 250)]), (
        f"columns {session.list_columns()}")
    poll(lambda: session.status() == ["Connections: 5", "Established: 1", "Listening: 1"],
         message=f"status panels {session.status()}")
    assert session.status_edges()[:3] == [145, 290, 435], f"panel edges {session.status_edges()}"

    session.select_none()
    assert session.row_colour(established.index) == ESTABLISHED_BACKGROUND, "ESTABLISHED row not light green"
    for other in (by_port["135"], by_port["500"]):
        assert session.row_colour(other.index) != ESTABLISHED_BACKGROUND, f"row {other.index} painted green"
    session.screenshot("list.png")
    session.driver("key", MAIN_TITLE, 0x1B)
    assert session.wait_exit(program) == 0, "Esc: exit code not 0"


def test_later_tables_add_remove_and_update_rows_and_spare_the_selected_row(session):
    _start(session, FIRST_TABLES)
    rows = poll(lambda: len(session.rows()) == 5 and session.rows(), message="first rows")
    vanishing_selected = next(r for r in rows if r["Local Port"] == "135")
    session.select(vanishing_selected.index)

    session.write_tables([line.format(helper=rows[0]["Process Id"]) for line in [
        "tcp 8 10.0.0.5 555 10.0.0.9 443 {helper}",   # ESTABLISHED -> CLOSE-WAIT
        "tcp 5 10.0.0.5 556 10.0.0.7 22 {helper}",    # new
        "udp 0.0.0.0 500 {helper}",
    ]])
    rows = poll(lambda: (r := session.rows()) and any(x["Local Port"] == "556" for x in r) and r,
                timeout=10, message="the next tick did not add the new row")
    ports = sorted(r["Local Port"] for r in rows)
    assert ports == ["135", "500", "555", "556"], f"after the change: ports {ports}"
    assert next(r for r in rows if r["Local Port"] == "555")["State"] == "CLOSE-WAIT", "state not updated"
    poll(lambda: session.status() == ["Connections: 4", "Established: 1", "Listening: 1"],
         message=f"counters {session.status()}")

    session.select(next(r.index for r in rows if r["Local Port"] == "556"))
    rows = poll(lambda: (r := session.rows()) and len(r) == 3 and r, timeout=10,
                message="the unselected vanished row stayed")
    assert sorted(r["Local Port"] for r in rows) == ["500", "555", "556"], "rows after the selection moved"



def test_typing_in_the_list_selects_the_next_row_whose_process_begins_with_the_text(session):
    _start(session, FIRST_TABLES)
    poll(lambda: session.row_count() == 5, message="first rows")
    session.select(0)  # helper app.exe; then helper app.exe, System, System, System Idle Process

    session.driver("type", MAIN_TITLE, "sYs")
    chosen = poll(lambda: [r.index for r in session.rows() if r.selected and r.focused] == [2] and 2,
                  message=f"typing: {[(r.index, r.selected, r.focused) for r in session.rows()]}")
    assert session.rows()[chosen]["Process"] == "System", "the typed row"

    session.driver("type", MAIN_TITLE, "zzz")
    session.idle()
    assert [r.index for r in session.rows() if r.selected] == [2], "a text that matches no row moved the selection"


def test_a_shift_selection_reaches_the_rows_the_commands_act_on(session):
    _start(session, FIRST_TABLES)
    poll(lambda: session.row_count() == 5, message="first rows")
    session.select(1)
    window = run_command(["xdotool", "search", "--name", MAIN_TITLE], session.env).stdout.split()[0]
    run_command(["xdotool", "windowfocus", "--sync", window], session.env)
    run_command(["xdotool", "key", "shift+Down", "shift+Down"], session.env)
    poll(lambda: [r.index for r in session.rows() if r.selected] == [1, 2, 3],
         message=f"Shift+Down twice: {[(r.index, r.selected, r.focused) for r in session.rows()]}")
    rows = session.rows()
    # Copy acts on the model's selection: the range reached it.
    session.shortcut("c")
    expected = [rows[i]["Local Port"] for i in (1, 2, 3)]
    copied = poll(lambda: (text := session.clipboard()) and len(text.splitlines()) == 3 and text,
                  message=f"copied {session.clipboard()!r}")
    ports = [line.split(" | ")[4] for line in copied.splitlines()]
    assert ports == expected, f"copied rows {ports}, selected {expected}"


def _items(session):
    return {item.id: item for item in session.menu() if not item.separator}


def _enabled(items):
    return sorted(i for i, item in items.items() if item.enabled)


def test_context_menu_enabling_follows_the_selection(session):
    _, helper = _start(session, [])
    poll(lambda: session.row_count() == 0, message="list not empty")
    assert _enabled(_items(session)) == [REFRESH, DISABLE_AUTO_REFRESH], "empty list"

    session.write_tables([line.format(helper=helper) for line in FIRST_TABLES[:4]] +
                         ["tcp 2 0.0.0.0 445 0.0.0.0 0 0"])
    session.shortcut("r")
    rows = poll(lambda: (r := session.rows()) and len(r) == 5 and r, message="rows after Ctrl+R")
    assert _enabled(_items(session)) == [REFRESH, DISABLE_AUTO_REFRESH, CLOSE_ALL, SAVE, SAVE_CSV], "no selection"

    system = next(r.index for r in rows if r["Process Id"] == "4")
    session.select(system)
    enabled = _enabled(_items(session))
    assert (TERMINATE not in enabled and LOCATE not in enabled and HASH_GOOGLE not in enabled and
            PROPERTIES not in enabled and HASH_VIRUSTOTAL not in enabled), (
        f"pid 4: {enabled}")
    assert (CLOSE_SELECTED in enabled and CLOSE_FOR_PROCESS in enabled and
            ID["ID_SEARCH_REMOTE_ADDRESS"] in enabled and ID["ID_COPY_SELECTED_ROWS"] in enabled), (
        f"pid 4: {enabled}")

    rows = session.rows()
    helper_row = next(r.index for r in rows if r["Process"] == "helper app.exe")
    session.select(helper_row)
    assert TERMINATE in _enabled(_items(session)), "a helper row can be terminated"
    idle = next(r.index for r in rows if r["Process Id"] == "0")
    first, second = sorted((idle, helper_row))
    session.select(first, second)
    expect_terminate = first != idle
    assert (TERMINATE in _enabled(_items(session))) == expect_terminate, (
        "only the first selected row decides Terminate Process")


def test_ctrl_d_stops_and_restarts_the_automatic_refresh_and_ctrl_r_refreshes_at_once(session):
    _, helper = _start(session, FIRST_TABLES)
    poll(lambda: session.row_count() == 5, message="first rows")

    session.shortcut("d")
    assert _items(session)[DISABLE_AUTO_REFRESH].checked, "Ctrl+D did not check the item"
    session.write_tables([line.format(helper=helper) for line in FIRST_TABLES[:2]])
    # No clock event marks a refresh that does not come: the table stays unread
    # for two refresh periods, and the rows stay as they were.
    reads = session.table_reads()
    assert holds_for(lambda: session.table_reads() == reads, seconds=2 * REFRESH_PERIOD), (
        "the table was read while the automatic refresh was off")
    assert session.row_count() == 5, "rows changed while the automatic refresh was off"
    session.shortcut("r")
    session.idle()
    # Two TCP rows; an empty UDP table leaves the UDP row alone.
    assert session.row_count() == 3 and session.table_reads() == reads + 1, "Ctrl+R did not refresh at once"

    # The second Ctrl+D goes the other way a driver has: Ctrl held in the shared key state.
    assert session.shortcut("d", method="attached") == "attached"
    assert not _items(session)[DISABLE_AUTO_REFRESH].checked, "second Ctrl+D did not clear the mark"
    session.write_tables([line.format(helper=helper) for line in FIRST_TABLES[:3]])
    session.wait_for_fresh_read()
    session.idle()
    assert session.row_count() == 4, "automatic refresh did not restart"


def test_a_socket_listening_on_this_machine_shows_up_through_wines_ip_helper(session):
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen()
        port = str(listener.getsockname()[1])
        session.install(iphlpapi=None)
        session.start()
        session.find_window(MAIN_TITLE)
        row = poll(lambda: next((r for r in session.rows() if r["Local Port"] == port), None), timeout=15,
                   message=f"no row for the listening port {port}")
        assert (row["Protocol"], row["State"], row["Local Address"]) == ("TCP", "LISTEN", "127.0.0.1"), (
            f"row {row.as_dict()}")
