"""The console companion under Wine: its listing in every format against the
window's own rows, the watch mode's lines as the stand-in's tables change, a
reader that goes away, its refusals and exit codes, and Wine's own IP Helper
with real loopback sockets."""
import json
import os
import socket
import subprocess
import tempfile
import threading

from harness import CONSOLE_PROGRAM, MAIN_TITLE, WINE, check, poll

SETTINGS_KEY = r"HKCU\Software\Quarvel\Velquist"
CAPTIONS = ["Process", "Protocol", "State", "Local Address", "Local Port", "Remote Address", "Remote Port",
            "Process Id", "Process Path"]
JSON_KEYS = ["protocol", "state", "localAddress", "localPort", "remoteAddress", "remotePort", "pid", "process",
             "path"]
TABLES = [
    "tcp 2 0.0.0.0 445 0.0.0.0 0 4",
    "tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
    "tcp 8 10.0.0.5 556 10.0.0.9 443 {helper}",
    "udp 0.0.0.0 53 {helper}",
    "tcp6 5 fe80::1 3 49152 2001:db8::2a 0 443 {helper}",
    "udp6 ::1 0 5353 4",
]


def install_console(session, iphlpapi="full"):
    """The console program in C:\\app with the stand-in IP Helper (or Wine's
    own for None); the per-program override lets the stand-in load."""
    session.install(CONSOLE_PROGRAM, iphlpapi)
    # Also starts the prefix's Wine server with its output in a file, so no
    # Wine service holds a pipe of a later test open.
    session.registry(rf"HKCU\Software\Wine\AppDefaults\{CONSOLE_PROGRAM}\DllOverrides", "iphlpapi", "REG_SZ",
                     "native,builtin")


def run_console(session, *args, timeout=60):
    """Runs the console program to its end with its output in files; answers
    the exit code, standard output and standard error as text."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run([WINE, str(session.app / CONSOLE_PROGRAM), *[str(a) for a in args]],
                                env=session.env, cwd=session.app, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                timeout=timeout)
        out.seek(0)
        err.seek(0)
        return result.returncode, out.read().decode("utf-8"), err.read().decode("utf-8")


def start_console(session, *args):
    """Starts the console program with its standard output on a pipe."""
    process = subprocess.Popen([WINE, str(session.app / CONSOLE_PROGRAM), *[str(a) for a in args]],
                               env=session.env, cwd=session.app, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    session._processes.append(process)
    return process


def text_rows(output):
    """The aligned table's rows as lists of cells, cut where the captions begin."""
    lines = output.split("\r\n")
    check(lines[-1] == "", f"the output does not end in CR LF: {output!r}")
    header, rows = lines[0], lines[1:-1]
    starts = []
    for caption in CAPTIONS:
        starts.append(header.index(caption, starts[-1] if starts else 0))
    check(header.rstrip() == header, f"header ends in blanks: {header!r}")
    bounds = list(zip(starts, starts[1:] + [None]))
    return [[row[a:b].rstrip() for a, b in bounds] for row in rows]


def csv_rows(output):
    import csv
    import io
    check(not output.startswith("\ufeff"), "the console's CSV has a byte order mark")
    check(output.endswith("\r\n") and "\n" not in output.replace("\r\n", ""), "CSV lines do not end in CR LF")
    rows = list(csv.reader(io.StringIO(output, newline="")))
    check(rows[0] == CAPTIONS, f"CSV header {rows[0]}")
    return rows[1:]


def json_cells(obj):
    """A JSON row object as the window's nine cells."""
    check(list(obj) == JSON_KEYS, f"JSON keys {list(obj)}")
    dash = lambda value: "-" if value is None else str(value)
    return [obj["process"], obj["protocol"], dash(obj["state"]), obj["localAddress"], str(obj["localPort"]),
            dash(obj["remoteAddress"]), dash(obj["remotePort"]), str(obj["pid"]), obj["path"]]


def test_every_format_lists_the_windows_rows_cell_by_cell_in_its_order(session):
    install_console(session)
    session.install()
    _, helper = session.start_helper("Probe, Dir", "h\u00e9lper app.exe")
    session.write_tables([line.format(helper=helper) for line in TABLES])

    results = {fmt: run_console(session, "--format", fmt) for fmt in ("text", "csv", "json")}
    for fmt, (rc, _, err) in results.items():
        assert rc == 0 and err == "", f"{fmt}: exit {rc}, stderr {err!r}"
    listed = {"text": text_rows(results["text"][1]), "csv": csv_rows(results["csv"][1]),
              "json": [json_cells(obj) for obj in json.loads(results["json"][1])]}

    session.registry(SETTINGS_KEY, "ShowIPv6", "REG_DWORD", "1")
    session.start()
    session.find_window(MAIN_TITLE)
    window = poll(lambda: len(r := session.rows()) == len(TABLES) and r, message=f"window rows {session.rows()}")
    expected = [list(row.cells) for row in window]
    assert any(row[0] == "h\u00e9lper app.exe" and row[8] == "C:\\Probe, Dir\\" for row in expected), expected
    for fmt, rows in listed.items():
        assert rows == expected, f"{fmt} rows differ from the window's:\n{rows}\n{expected}"

    rc, out, _ = run_console(session, "-6", "--format", "json")
    assert rc == 0 and [o["protocol"] for o in json.loads(out)] == ["TCPv6", "UDPv6"], out
    rc, out, _ = run_console(session, "-4", "--format", "csv", "port:443", "-state:close-wait")
    assert rc == 0 and [r[4] for r in csv_rows(out)] == ["555"], out


def test_refusals_and_usage_errors_end_with_their_exit_codes(session):
    install_console(session, "no-udp")
    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4"])
    assert run_console(session) == (2, "", "Unsupported OS version! Aborting...\r\n")
    session.plant_ip_helper(session.system, "no-tcp")
    assert run_console(session, "-6") == (2, "", "Unsupported OS version! Aborting...\r\n")

    session.plant_ip_helper(session.system, "full")
    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4", "tcp-size 300000000"])
    assert run_console(session) == (
        2, "", "Could not read the TCP table: the system reported 300000000 bytes, more than any table of "
               "connections takes\r\n")
    # A size too small for the rows: the second call fails too.
    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4", "tcp 2 0.0.0.0 446 0.0.0.0 0 4", "tcp-size 8"])
    assert run_console(session) == (2, "", "Could not read the TCP table.\r\n")

    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4"])
    for args, message in ((["--format", "xml"], "Unknown format \"xml\": use text, csv or json."),
                          (["--watch", "0"], "--watch takes a number of seconds from 1 to 3600, not \"0\"."),
                          (["nokey:1"], "Unknown filter key \"nokey:\"")):
        rc, out, err = run_console(session, *args)
        assert (rc, out) == (1, "") and err.split("\r\n")[:2] == [message, err.split("\r\n")[1]], err
        assert err.split("\r\n")[1].startswith("Usage: velquistcon "), err
    rc, out, err = run_console(session, "--help")
    assert rc == 0 and out.startswith("Usage: velquistcon ") and err == "", (rc, out, err)


class LineReader:
    """Collects a process's output lines on a thread, so a test can poll."""

    def __init__(self, stream):
        self.lines = []
        self._thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self._thread.start()

    def _read(self, stream):
        for line in stream:
            self.lines.append(line.decode("utf-8"))

    def events(self):
        return [json.loads(line) for line in self.lines]


def _event(obj):
    return obj["event"], obj["protocol"], obj["localPort"], obj["state"]


def test_watch_prints_open_then_each_change_once_as_json_lines(session):
    install_console(session)
    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4", "tcp 3 10.0.0.5 555 10.0.0.9 443 4",
                          "udp 0.0.0.0 53 4"])
    process = start_console(session, "--watch", "1")
    reader = LineReader(process.stdout)
    poll(lambda: len(reader.lines) >= 3, message=f"open lines {reader.lines}")
    assert sorted(_event(e) for e in reader.events()) == sorted([
        ("open", "TCP", 445, "LISTEN"), ("open", "TCP", 555, "SYN-SENT"), ("open", "UDP", 53, None)])
    for line in reader.lines:
        assert line.endswith("\r\n") and line.count("\n") == 1, line
        event = json.loads(line)
        assert list(event)[:2] == ["event", "time"] and list(event)[2:] == JSON_KEYS, event
        assert len(event["time"]) == 24 and event["time"].endswith("Z") and event["time"][10] == "T", event

    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4", "tcp 5 10.0.0.5 555 10.0.0.9 443 4",
                          "tcp 5 10.0.0.5 557 10.0.0.9 443 4"])
    poll(lambda: len(reader.lines) >= 6, message=f"change lines {reader.lines}")
    assert [_event(e) for e in reader.events()[3:]] == [
        ("close", "UDP", 53, None), ("state", "TCP", 555, "ESTABLISHED"), ("open", "TCP", 557, "ESTABLISHED")]

    # Readings that find nothing new print nothing.
    reads = session.table_reads("udp")
    poll(lambda: session.table_reads("udp") >= reads + 2, message="no further readings")
    assert len(reader.lines) == 6, reader.lines[6:]
    assert process.poll() is None, "the watch ended by itself"


def test_a_reader_that_closes_the_pipe_early_ends_the_program_with_code_0(session):
    install_console(session)
    # Far more than a pipe holds, so the program is still writing when the reader goes.
    session.write_tables([f"tcp 5 10.0.{i // 250}.{i % 250} {1000 + i} 10.9.9.9 443 4" for i in range(3000)])
    process = start_console(session, "--format", "json")
    assert process.stdout.readline().rstrip() == b"["
    process.stdout.close()
    assert session.wait_exit(process, timeout=60) == 0

    process = start_console(session, "--watch", "1")
    assert process.stdout.readline().startswith(b'{"event":"open"')
    process.stdout.close()
    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4"])
    assert session.wait_exit(process, timeout=60) == 0


def test_wines_own_ip_helper_lists_the_real_loopback_sockets(session):
    install_console(session, iphlpapi=None)
    with socket.socket() as listener, socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as datagram:
        listener.bind(("127.0.0.1", 0))
        listener.listen()
        port = listener.getsockname()[1]
        datagram.bind(("127.0.0.1", 0))
        udp_port = datagram.getsockname()[1]
        with socket.create_connection(("127.0.0.1", port)) as client:
            server, _ = listener.accept()
            with server:
                client_port = client.getsockname()[1]
                rc, out, err = run_console(session, "-4", "--format", "json", f"port:{port}", timeout=120)
                rc_udp, out_udp, _ = run_console(session, "-4", "--format", "json", f"lport:{udp_port}",
                                                 timeout=120)
    assert rc == 0 and rc_udp == 0, err
    found = sorted((o["protocol"], o["state"], o["localAddress"], o["localPort"], o["remoteAddress"],
                    o["remotePort"]) for o in json.loads(out))
    assert found == sorted([
        ("TCP", "LISTEN", "127.0.0.1", port, "0.0.0.0", 0),
        ("TCP", "ESTABLISHED", "127.0.0.1", client_port, "127.0.0.1", port),
        ("TCP", "ESTABLISHED", "127.0.0.1", port, "127.0.0.1", client_port),
    ]), found
    assert [(o["protocol"], o["localAddress"], o["localPort"]) for o in json.loads(out_udp)] == [
        ("UDP", "127.0.0.1", udp_port)], out_udp
