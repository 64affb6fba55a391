"""The optional Service and Created columns under Wine: the stand-in's
owner-module tables and look-ups, the columns' menu items, stored choices and
widths, Copy and the report; then Wine's own library, whose tables carry no
times, with a service of our own that listens on a loopback port."""
import datetime
import re
import shutil
import socket

from harness import ID, MAIN_TITLE, TOOLS, WINE, poll, run_command

SERVICE, CREATED, COPY = ID["ID_SHOW_SERVICE_COLUMN"], ID["ID_SHOW_CREATED_COLUMN"], ID["ID_COPY_SELECTED_ROWS"]
SETTINGS_KEY = r"HKCU\Software\Quarvel\Velquist"
BUILT_IN = ["Process", "Protocol", "State", "Local Address", "Local Port", "Remote Address", "Remote Port",
            "Process Id", "Process Path"]

# 2026-07-01 12:00:00 and 2026-01-15 08:30:05 UTC as FILETIMEs.
SUMMER, WINTER = 134273808000000000, 134129376050000000
TABLES = [
    f"tcp 5 10.0.0.5 49152 192.0.2.7 443 1234 created={SUMMER} tag=11",
    f"tcp 2 0.0.0.0 445 0.0.0.0 0 1234 created={WINTER} tag=12",
    "udp 0.0.0.0 137 1234 tag=11",
    "tcp 2 0.0.0.0 135 0.0.0.0 0 4 tag=11",
    "module 11 Dnscache",
    "module 12 LanmanServer",
]


def _local_text(filetime):
    """What the Created cell shows: the local time of the machine, as Wine has it."""
    seconds = filetime // 10_000_000 - 11644473600
    return datetime.datetime.fromtimestamp(seconds).strftime("%Y-%m-%d %H:%M:%S")


def _stored(session, name):
    result = run_command([WINE, "reg", "query", SETTINGS_KEY, "/v", name], session.env, check_rc=False)
    match = re.search(name + r"\s+REG_DWORD\s+0x([0-9a-fA-F]+)", result.stdout)
    return int(match.group(1), 16) if match else None


def _columns_menu(session):
    view = next(item for item in session.main_menu() if item.label == "View")
    return next(item for item in view.submenu if item.label == "Columns")


def _by_port(session):
    return {(r["Protocol"], r["Local Port"]): r for r in session.rows()}


def _module_look_ups(session):
    log = session.system / "vq_modulelookups.log"
    return log.read_text().split() if log.exists() else []


def test_the_columns_show_the_scripted_services_and_times_and_survive_a_restart(session):
    session.install()
    program, _ = session.open(TABLES)
    poll(lambda: len(session.rows()) == 4, message=f"rows {session.rows()}")
    menu = _columns_menu(session)
    assert [(i.label, i.id, i.checked) for i in menu.submenu] == [("Service", SERVICE, False),
                                                                 ("Created", CREATED, False)], menu.submenu
    assert [name for name, _ in session.list_columns()] == BUILT_IN
    assert session.table_reads("tcp") >= 1 and not _module_look_ups(session), "looked up without the column"

    session.driver("command", MAIN_TITLE, SERVICE)
    rows = poll(lambda: (r := _by_port(session)) and all("Service" in row.columns for row in r.values())
                and r[("TCP", "49152")]["Service"] and r, message="no Service column filled")
    assert [name for name, _ in session.list_columns()] == BUILT_IN + ["Service"]
    services = {key: row["Service"] for key, row in rows.items()}
    assert services == {("TCP", "49152"): "Dnscache", ("TCP", "445"): "LanmanServer", ("UDP", "137"): "Dnscache",
                        ("TCP", "135"): ""}, services
    assert _stored(session, "ShowServiceColumn") == 1
    # One look-up (two calls) per process and tag, the UDP row's included; none for process 4.
    assert sorted(_module_look_ups(session)) == ["11", "11", "12", "12"], _module_look_ups(session)

    session.driver("command", MAIN_TITLE, CREATED)
    rows = poll(lambda: (r := _by_port(session)) and "Created" in r[("TCP", "49152")].columns and r,
                message="no Created column")
    assert [name for name, _ in session.list_columns()] == BUILT_IN + ["Service", "Created"]
    created = {key: row["Created"] for key, row in rows.items()}
    assert created == {("TCP", "49152"): _local_text(SUMMER), ("TCP", "445"): _local_text(WINTER),
                       ("UDP", "137"): "", ("TCP", "135"): ""}, created

    # Copy and the report carry the shown columns.
    session.select(rows[("TCP", "49152")].index)
    session.driver("command", MAIN_TITLE, COPY)
    copied = poll(lambda: session.clipboard(), message="nothing copied")
    assert copied.endswith(f" | 1234 |  | Dnscache | {_local_text(SUMMER)}\r\n"), repr(copied)
    session.shortcut("s")
    reports = session.app / "Reports"
    report = poll(lambda: reports.is_dir() and (files := sorted(reports.iterdir())) and
                  (data := files[0].read_bytes()).endswith(b"</html>\r\n") and data.decode("utf-8-sig"),
                  timeout=15, message="no report")
    assert "<center>Service</center>" in report and "<center>Created</center>" in report, report
    assert "<td BGCOLOR=\"F5F5F5\">LanmanServer</td>" in report and _local_text(WINTER) in report, report

    # Widths under their own names, and both columns back after a restart.
    assert session.driver("column-width", MAIN_TITLE, 9, 210)[0] == 0
    assert session.driver("column-width", MAIN_TITLE, 10, 170)[0] == 0
    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0
    assert (_stored(session, "ListView_Column_Service"), _stored(session, "ListView_Column_Created")) == (210, 170)
    assert _stored(session, "ListView_Column_9") is None, "an optional column stored by its position"

    program = session.start()
    session.find_window(MAIN_TITLE)
    poll(lambda: session.list_columns() == [*[(n, w) for n, w in session.list_columns()[:9]], ("Service", 210),
                                            ("Created", 170)],
         message=f"columns after the restart: {session.list_columns()}")
    poll(lambda: _by_port(session).get(("TCP", "445"), {}) and _by_port(session)[("TCP", "445")]["Service"] ==
         "LanmanServer", message="no service after the restart")

    # Service off: Created moves up and keeps its width; the choice is stored.
    session.driver("command", MAIN_TITLE, SERVICE)
    poll(lambda: [c for c in session.list_columns()][9:] == [("Created", 170)],
         message=f"columns {session.list_columns()}")
    assert _stored(session, "ShowServiceColumn") == 0
    rows = _by_port(session)
    assert rows[("TCP", "49152")]["Created"] == _local_text(SUMMER), rows[("TCP", "49152")].as_dict()


def test_wines_own_tables_carry_no_times_and_a_listener_shows_with_empty_created(session):
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen()
        port = str(listener.getsockname()[1])
        session.install(iphlpapi=None)
        session.registry(SETTINGS_KEY, "ShowServiceColumn", "REG_DWORD", "1")
        session.registry(SETTINGS_KEY, "ShowCreatedColumn", "REG_DWORD", "1")
        session.start()
        session.find_window(MAIN_TITLE)
        row = poll(lambda: next((r for r in session.rows() if r["Local Port"] == port and r["Protocol"] == "TCP"),
                                None), timeout=60, message=f"no row for the listening port {port}")
        assert (row["Service"], row["Created"]) == ("", ""), row.as_dict()


def test_a_process_that_hosts_a_running_service_is_named_through_the_service_manager(session):
    """Wine maps no process id to a listening socket, so the row of the
    service's socket is scripted with the service's real process id; its owner
    tag has no scripted module, so the look-up fails and the program asks
    Wine's service manager which services that process hosts."""
    session.install()
    shutil.copy(TOOLS / "e2e" / "vqservice.exe", session.app / "vqservice.exe")
    run_command([WINE, "sc", "create", "VqTestService", "binpath=", "C:\\app\\vqservice.exe"], session.env)
    run_command([WINE, "sc", "start", "VqTestService"], session.env)
    port_file = session.app / "vqservice.port"
    port, pid = poll(lambda: port_file.exists() and len(f := port_file.read_text().split()) == 2 and f,
                     timeout=30, message="the test service did not start")
    try:
        session.registry(SETTINGS_KEY, "ShowServiceColumn", "REG_DWORD", "1")
        session.open([f"tcp 2 127.0.0.1 {port} 0.0.0.0 0 {pid} tag=99", f"tcp 2 127.0.0.1 1 0.0.0.0 0 {pid}"])
        rows = poll(lambda: (r := session.rows()) and len(r) == 2 and r, message=f"rows {session.rows()}")
        assert [(r["Local Port"], r["Process"], r["Service"]) for r in rows] == [
            ("1", "vqservice.exe", "VqTestService"), (port, "vqservice.exe", "VqTestService")], (
            [r.as_dict() for r in rows])
        assert _module_look_ups(session) == ["99", "0"], "the look-up is asked first, once per tag"
    finally:
        run_command([WINE, "sc", "stop", "VqTestService"], session.env, check_rc=False)
