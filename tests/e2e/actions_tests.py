"""Closing connections, ending processes and copying rows to the clipboard,
driven through the real program's context menu and shortcuts under Wine. The
stand-in IP Helper library serves scripted tables and logs every SetTcpEntry
call, so each close shows up as one line of its log."""

from harness import ID, MAIN_TITLE, poll

# Ids of package/resource.h.
REFRESH, DISABLE_AUTO_REFRESH, TERMINATE = ID["ID_REFRESH"], ID["ID_DISABLE_AUTO_REFRESH"], ID["ID_TERMINATE_PROCESS"]
CLOSE_SELECTED, CLOSE_FOR_PROCESS, CLOSE_ALL = (ID["ID_CLOSE_SELECTED_CONNECTIONS"],
                                                ID["ID_CLOSE_PROCESS_CONNECTIONS"],
                                                ID["ID_CLOSE_ALL_CONNECTIONS"])
COPY_REMOTE_IP, COPY = ID["ID_COPY_REMOTE_ADDRESS"], ID["ID_COPY_SELECTED_ROWS"]

REFUSED = "settcpentry-result 5"
VK_DOWN = 0x28
# Process ids that no process has: their rows get neither caption nor folder.
UNKNOWN_PID, OTHER_UNKNOWN_PID = 60000, 60004


def _rows_where(session, condition, message, timeout=20.0):
    return poll(lambda: (rows := session.rows()) and condition(rows) and rows, timeout=timeout, message=message)


def _ports(rows):
    return sorted(r["Local Port"] for r in rows)


def _stop_automatic_refresh(session):
    session.shortcut("d")
    items = {item.id: item for item in session.menu() if not item.separator}
    assert items[DISABLE_AUTO_REFRESH].checked, "Ctrl+D did not stop the automatic refresh"


def _record(row):
    """The SetTcpEntry line that closing this row's connection writes."""
    return " ".join(["12", row["Local Address"], row["Local Port"], row["Remote Address"], row["Remote Port"]])



def test_close_selected_closes_the_selected_tcp_rows_and_refreshes_only_after_a_success(session):
    session.install()
    _, helper = session.start_helper("Probe Dir", "helper app.exe")
    tables = [f"tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
              "tcp 2 0.0.0.0 135 0.0.0.0 0 4",
              f"tcp 5 10.0.0.5 556 10.0.0.7 22 {helper}",
              f"udp 0.0.0.0 500 {helper}"]
    session.open(tables + [REFUSED])
    rows = _rows_where(session, lambda r: len(r) == 4, "first rows")
    _stop_automatic_refresh(session)
    # A refresh would now bring in the row of port 557: that shows whether the close refreshed.
    tables.append(f"tcp 5 10.0.0.5 557 10.0.0.8 25 {helper}")
    session.write_tables(tables + [REFUSED])
    by_port = {r["Local Port"]: r for r in rows}

    # Only a UDP row selected: nothing to close. Then a TCP and a UDP row,
    # with SetTcpEntry refusing: one attempt, for the TCP row only.
    session.select(by_port["500"].index)
    session.choose_command(CLOSE_SELECTED)
    session.select(by_port["555"].index, by_port["500"].index)
    udp_reads = session.table_reads("udp")
    session.choose_command(CLOSE_SELECTED)
    poll(lambda: session.set_tcp_entry_calls(), message="no SetTcpEntry call for the selected TCP row")
    session.idle()
    assert session.set_tcp_entry_calls() == [_record(by_port["555"])], (
        f"SetTcpEntry calls {session.set_tcp_entry_calls()}")
    # A refresh would have read the UDP table too.
    assert session.table_reads("udp") == udp_reads and session.row_count() == 4, (
        f"a refused close refreshed the list: {_ports(session.rows())}")

    # Every row selected, SetTcpEntry succeeding: the TCP rows in list order
    # (the listening row with its remote port 0), then one refresh at once.
    session.write_tables(tables)
    session.select(*range(4))
    session.choose_command(CLOSE_SELECTED)
    refreshed = _rows_where(session, lambda r: len(r) == 5, timeout=5,
                            message=f"no refresh after the close succeeded: {_ports(session.rows())}")
    assert _ports(refreshed) == ["135", "500", "555", "556", "557"], f"rows {_ports(refreshed)}"
    expected = [_record(by_port["555"])] + [_record(r) for r in rows if r["Protocol"] == "TCP"]
    assert session.set_tcp_entry_calls() == expected, f"SetTcpEntry calls {session.set_tcp_entry_calls()}, expected {expected}"
    assert _record(by_port["135"]) == "12 0.0.0.0 135 0.0.0.0 0", "the listening row's record"


def test_close_for_process_and_close_all_pick_their_rows_and_refresh(session):
    session.install()
    _, first = session.start_helper("Probe Dir", "helper app.exe")
    _, second = session.run_helper(session.prefix / "drive_c" / "Probe Dir" / "helper app.exe")
    _, elsewhere = session.start_helper("Other Dir", "helper app.exe")
    tables = [f"tcp 5 10.0.0.5 1001 10.0.0.9 443 {first}",
              f"tcp 2 0.0.0.0 1002 0.0.0.0 0 {second}",
              f"tcp 5 10.0.0.5 1003 10.0.0.9 443 {elsewhere}",
              "tcp 5 10.0.0.5 1004 10.0.0.9 80 4",
              # Listed with remote port 0, but the entry's own field is not 0: no match.
              f"tcp 2 0.0.0.0 1005 0.0.0.0 raw:1234 {first}",
              f"udp 0.0.0.0 500 {first}"]
    session.open(tables)
    rows = _rows_where(session, lambda r: len(r) == 6, "first rows")
    _stop_automatic_refresh(session)
    by_port = {r["Local Port"]: r for r in rows}
    assert by_port["1005"]["Remote Port"] == "0", f"listening row {by_port['1005'].as_dict()}"
    assert (by_port["1001"]["Process Path"] == by_port["1002"]["Process Path"] == "C:\\Probe Dir\\" and
            by_port["1003"]["Process Path"] == "C:\\Other Dir\\"), (
        "the helpers' folders")

    # The selected row is the UDP row of the first instance: the TCP rows of
    # both instances in that folder are closed, not the one elsewhere.
    tables.append("tcp 5 10.0.0.5 1006 10.0.0.8 25 4")
    session.write_tables(tables)
    session.select(by_port["500"].index)
    session.choose_command(CLOSE_FOR_PROCESS)
    rows = _rows_where(session, lambda r: len(r) == 7, timeout=5,
                       message=f"no refresh after Close ALL for Selected Process: {_ports(session.rows())}")
    expected = [_record(r) for r in sorted((by_port["1001"], by_port["1002"]), key=lambda r: r.index)]
    assert session.set_tcp_entry_calls() == expected, f"for the process: {session.set_tcp_entry_calls()}, expected {expected}"

    # Close ALL needs no selection: every TCP row in list order, the
    # mismatched listening row attempted but not found.
    tables.append("tcp 5 10.0.0.5 1007 10.0.0.8 25 4")
    session.write_tables(tables)
    session.select_none()
    session.choose_command(CLOSE_ALL)
    _rows_where(session, lambda r: len(r) == 8, timeout=5,
                message=f"no refresh after Close ALL: {_ports(session.rows())}")
    expected += [_record(r) for r in rows if r["Protocol"] == "TCP" and r["Local Port"] != "1005"]
    assert session.set_tcp_entry_calls() == expected, f"after Close ALL: {session.set_tcp_entry_calls()}, expected {expected}"


def test_terminate_ends_only_the_first_selected_rows_process_and_not_for_pids_0_and_4(session):
    session.install()
    first, first_pid = session.start_helper("Probe Dir", "helper app.exe")
    other, other_pid = session.start_helper("Probe Dir", "other app.exe")
    session.open([f"tcp 5 10.0.0.5 2001 10.0.0.9 443 {first_pid}",
                    f"tcp 5 10.0.0.5 2002 10.0.0.9 443 {other_pid}",
                    "tcp 2 0.0.0.0 135 0.0.0.0 0 4",
                    "tcp 2 0.0.0.0 445 0.0.0.0 0 0"])
    rows = _rows_where(session, lambda r: len(r) == 4 and "System Idle Process" in [x["Process"] for x in r],
                       "rows, with the process-id-0 row named")
    by_pid = {r["Process Id"]: r for r in rows}

    for pid in ("0", "4"):
        session.select(by_pid[pid].index)
        item = next(i for i in session.menu() if i.id == TERMINATE)
        assert not item.enabled, f"Terminate Process is enabled for process id {pid}"

    # Both helper rows selected: only the process of the first in list order ends, with exit code 0.
    session.select(by_pid[str(first_pid)].index, by_pid[str(other_pid)].index)
    session.choose_command(TERMINATE)
    ended, kept = (first, other) if by_pid[str(first_pid)].index < by_pid[str(other_pid)].index else (other, first)
    poll(lambda: ended.poll() is not None, timeout=15, message="the first selected row's process still runs")
    assert ended.returncode == 0, f"exit code {ended.returncode}"
    session.idle()
    assert kept.poll() is None, "the second selected row's process ended too"


def _copied_text(rows):
    """Ctrl+C's text built the long way: per row the caption and cells joined by
    " | ", the whole text so far trimmed of characters up to U+0020 at both
    ends, then CR LF."""
    def trim(text):
        start, end = 0, len(text)
        while start < end and text[start] <= " ":
            start += 1
        while end > start and text[end - 1] <= " ":
            end -= 1
        return text[start:end]

    text = ""
    for row in rows:
        text = trim(text + " | ".join(row.cells)) + "\r\n"
    return text


def test_copy_puts_the_selected_rows_and_the_remote_ip_on_the_clipboard(session):
    session.install()
    _, helper = session.start_helper("Probe Dir", "helper app.exe")
    session.open([f"tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
                    "tcp 2 0.0.0.0 135 0.0.0.0 0 4",
                    f"udp 0.0.0.0 500 {helper}",
                    f"tcp 11 127.0.0.1 5000 127.0.0.1 5001 {helper}",
                    # No process has this id: the row has neither caption nor folder.
                    f"tcp 5 10.0.0.5 601 10.0.0.9 443 {UNKNOWN_PID}"])
    rows = _rows_where(session, lambda r: len(r) == 5, "first rows")
    by_port = {r["Local Port"]: r for r in rows}
    assert by_port["601"]["Process"] == "" and by_port["601"]["Process Path"] == "", (
        f"unknown process row {by_port['601'].as_dict()}")

    # System's row has no folder: its line ends in "|". The row without a
    # caption sorts to the top once the others are named, so the text begins "| ".
    chosen = [by_port["601"], by_port["135"], by_port["500"], by_port["555"]]
    session.select(*(r.index for r in chosen))
    session.shortcut("c")
    expected = _copied_text(sorted(chosen, key=lambda r: r.index))
    assert expected.count("\r\n") == 4 and expected.startswith("| TCP | ") and "| 4 |\r\n" in expected, (
        f"expected text {expected!r}")
    text = poll(session.clipboard, message="Ctrl+C put no text on the clipboard")
    assert text == expected, f"clipboard {text!r}, expected {expected!r}"
    desktop = session.xclip_clipboard()
    assert desktop == expected.replace("\r\n", "\n"), f"X clipboard {desktop!r}"

    # A single row still ends in CR LF; a first line without a caption begins with "| ".
    session.select(by_port["601"].index)
    session.shortcut("c")
    single = _copied_text([by_port["601"]])
    assert single.startswith("| TCP | ") and single.endswith(f" | {UNKNOWN_PID} |\r\n"), f"expected {single!r}"
    poll(lambda: session.clipboard() == single, message=f"one row without a caption: {session.clipboard()!r}")

    session.select(by_port["500"].index)
    session.choose_command(COPY_REMOTE_IP)
    poll(lambda: session.clipboard() == "-", message=f"Copy Remote IP of a UDP row: {session.clipboard()!r}")

    # Nothing selected: the clipboard keeps what it had.
    session.select_none()
    session.shortcut("c")
    session.idle()
    assert session.clipboard() == "-", f"Ctrl+C without a selection changed the clipboard: {session.clipboard()!r}"


def test_copy_trims_blanks_from_the_start_of_the_text(session):
    session.install()
    _, helper = session.start_helper("Probe Dir", " lead.exe")
    session.open([f"tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
                    "tcp 5 10.0.0.5 556 10.0.0.9 443 4"])
    rows = _rows_where(session, lambda r: len(r) == 2, "first rows")
    assert rows[0]["Process"] == " lead.exe", f"first row {rows[0].as_dict()}"
    session.select(0, 1)
    session.shortcut("c")
    expected = _copied_text(rows)
    assert expected.startswith("lead.exe | TCP | "), f"expected {expected!r}"
    poll(lambda: session.clipboard() == expected, timeout=10,
         message=f"clipboard {session.clipboard()!r}, expected {expected!r}")


def test_close_for_a_process_without_a_known_file_closes_only_that_process(session):
    session.install()
    _, helper = session.start_helper("Probe Dir", "helper app.exe")
    session.open([f"tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
                    f"tcp 5 10.0.0.5 601 10.0.0.9 443 {UNKNOWN_PID}",
                    f"tcp 5 10.0.0.5 602 10.0.0.9 443 {OTHER_UNKNOWN_PID}",
                    f"udp 0.0.0.0 500 {UNKNOWN_PID}"])
    rows = _rows_where(session, lambda r: len(r) == 4, "first rows")
    by_port = {r["Local Port"]: r for r in rows}
    assert [by_port[p]["Process"] + by_port[p]["Process Path"] for p in ("601", "602", "500")] == ["", "", ""], (
        "rows of unknown processes have neither caption nor folder")
    _stop_automatic_refresh(session)
    # Without a file name the process id is all that tells processes
    # apart: the connections of other unknown processes stay open.
    session.select(by_port["500"].index)
    session.choose_command(CLOSE_FOR_PROCESS)
    expected = [_record(by_port["601"])]
    poll(lambda: len(session.set_tcp_entry_calls()) >= len(expected), timeout=10,
         message=f"SetTcpEntry calls {session.set_tcp_entry_calls()}, expected {expected}")
    session.idle()
    assert session.set_tcp_entry_calls() == expected, f"SetTcpEntry calls {session.set_tcp_entry_calls()}, expected {expected}"


def test_a_range_extended_with_shift_is_what_the_commands_act_on(session):
    session.install()
    session.open([f"tcp 2 0.0.0.0 {port} 0.0.0.0 0 4" for port in (135, 139, 445, 3389)])
    rows = _rows_where(session, lambda r: len(r) == 4, "first rows")
    session.select(rows[0].index)
    # Shift+Down twice, as a user extends the selection from the keyboard.
    session.driver("shift-key", MAIN_TITLE, VK_DOWN, 2)
    poll(lambda: [r.index for r in session.rows() if r.selected] == [0, 1, 2],
         message=f"selection after Shift+Down: {[r.index for r in session.rows() if r.selected]}")
    # Copy takes the model's selection: the range reached it, not only the list control.
    session.shortcut("c")
    expected = _copied_text(rows[:3])
    poll(lambda: session.clipboard() == expected, message=f"clipboard {session.clipboard()!r}, expected {expected!r}")
