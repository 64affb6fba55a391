"""Web look-ups, the shell commands and the HTML report under Wine: the URLs
reach Wine's browser (a script that logs them), the file manager is seen in
the process command lines and the report is read back from the disk."""
import datetime
import hashlib
import time

from harness import MAIN_TITLE, REFRESH_PERIOD, poll, holds_for

# Ids of package/resource.h.
PROPERTIES, LOCATE, HASH_GOOGLE, HASH_VIRUSTOTAL = range(306, 310)
REMOTE_IP, REMOTE_PORT, IP_BLACKLIST, IP_GEOLOCATION, IP_WHOIS = range(310, 315)

SEARCH = "https://www.google.com/search?q="
FILE_REPUTATION = "https://www.virustotal.com/search/?query="
IP_PAGES = {IP_BLACKLIST: "http://www.ipvoid.com/ip-blacklist-check/",
            IP_GEOLOCATION: "http://www.ipvoid.com/ip-geolocation/",
            IP_WHOIS: "http://www.ipvoid.com/whois/"}


def _start(session, tables, helpers):
    """Installs the program, starts the helpers ((folder, name) pairs), scripts
    the tables with their process ids ({0}, {1} ...) and starts the program;
    answers the program's Windows process id and the helpers' ids."""
    session.install()
    pids = [session.start_helper(folder, name)[1] for folder, name in helpers]
    _, window = session.open([line.format(*pids) for line in tables])
    return int(window["pid"]), pids


def _rows_when(session, count, message):
    return poll(lambda: (r := session.rows()) and len(r) == count and r, message=message)



def _open_url(session, index, command, expected_count):
    """Selects a row, chooses a command and answers the URL it opened (the
    expected_count-th URL of the session)."""
    session.select(index)
    session.choose_command(command)
    return session.wait_for_urls(expected_count)[expected_count - 1]


def _no_message_box(session, pid):
    """No box of the program or of the processes it starts (file manager,
    property sheet): these answer on their own, so the wait is a time."""
    box = session.message_box(pid, int(2 * REFRESH_PERIOD * 1000))
    return box is None, box


def _escaped(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def _expected_report(rows):
    """The report's lines for these list rows, as the file must hold them."""
    lines = ["<html>", "<head>", "<title>Quarvel Velquist - Report</title>", "</head>", "<body>",
             '<table border="1" bordercolor="#000000">', "<tr>"]
    lines += [f'<td BGCOLOR="000000" style="color:white"><b><center>{_escaped(name)}</center></b></td>'
              for name in rows[0].columns]
    lines += ["</tr>", "<tr>"]
    for number, row in enumerate(rows):
        lines.append(f'<td BGCOLOR="F5F5F5">{_escaped(row.cells[0])}</td>')
        cells = "".join(f'<td BGCOLOR="F5F5F5">{_escaped(text) or "-"}</td>' for text in row.cells[1:])
        lines.append(cells + "</tr>" + ("<tr>" if number + 1 < len(rows) else "</table>"))
    return lines + ["</body>", "</html>"]


def test_ctrl_s_writes_the_report_beside_the_program_and_selects_it_in_the_file_manager(session):
    _start(session, [
        "tcp 5 10.0.0.5 555 10.0.0.9 443 {0}",
        "udp 0.0.0.0 500 {0}",
        "tcp 2 0.0.0.0 445 0.0.0.0 0 4",
        "tcp 11 127.0.0.1 5000 127.0.0.1 5001 0",
    ], [("Prüf & Co", "hélper.exe")])
    rows = poll(lambda: (r := session.rows()) and len(r) == 4 and
                any(x["Process"] == "System Idle Process" for x in r) and r,
                message="rows with the idle process named")
    assert any(r["Process Path"] == "C:\\Prüf & Co\\" and r["Process"] == "hélper.exe" for r in rows), (
        f"helper rows {[r.as_dict() for r in rows]}")
    reports = session.app / "Reports"
    assert not reports.exists(), "a Reports folder before the first save"

    before = datetime.datetime.now().replace(microsecond=0)
    session.shortcut("s")
    written = poll(lambda: reports.is_dir() and sorted(reports.iterdir()), timeout=15,
                   message="Ctrl+S wrote no report")
    after = datetime.datetime.now()
    assert len(written) == 1, f"reports {written}"
    report = written[0]
    try:
        stamp = datetime.datetime.strptime(report.name, "%d-%m-%Y-%H-%M-%S.htm")
    except ValueError:
        raise AssertionError(f"report name {report.name!r} is not dd-mm-yyyy-hh-nn-ss.htm")
    assert before - datetime.timedelta(seconds=2) <= stamp <= after + datetime.timedelta(seconds=2), (
        f"report time {stamp} outside {before} .. {after}")

    data = poll(lambda: (d := report.read_bytes()).endswith(b"</html>\r\n") and d, timeout=5,
                message="the report was not completed")
    assert data.startswith(b"\xef\xbb\xbf"), f"no UTF-8 byte-order mark: {data[:16]!r}"
    text = data[3:].decode("utf-8")
    assert "\n" not in text.replace("\r\n", "") and "\r" not in text.replace("\r\n", ""), (
        "a line break other than CR LF")
    lines = text.split("\r\n")
    assert lines[-1] == "", "the last line has no line break"
    expected = _expected_report(session.rows())
    for number, (got, want) in enumerate(zip(lines[:-1], expected), 1):
        assert got == want, f"report line {number}: {got!r}, expected {want!r}"
    assert len(lines) - 1 == len(expected), f"{len(lines) - 1} lines, expected {len(expected)}"
    assert "Pr\u00fcf &amp; Co" in text and "h\u00e9lper.exe" in text, "the helper's names"

    windows_path = "C:\\app\\Reports\\" + report.name
    explorer = poll(lambda: [a for a in session.explorer_command_lines()
                             if " ".join(a[1:]).replace('"', "") == "/select," + windows_path],
                    timeout=20, message=f"no file manager selecting {windows_path}: "
                                        f"{session.explorer_command_lines()}")
    assert len(explorer) == 1, f"file managers {explorer}"


def test_hash_look_ups_search_for_the_process_files_digest_and_report_an_unreadable_file(session):
    session.capture_browser()
    program, (helper, gone) = _start(session, [
        "tcp 5 10.0.0.5 555 10.0.0.9 443 {0}",
        "tcp 5 10.0.0.5 556 10.0.0.9 443 {1}",
    ], [("Probe Dir", "helper app.exe"), ("Gone", "gone.exe")])
    rows = _rows_when(session, 2, "two rows")
    by_pid = {int(r["Process Id"]): r for r in rows}
    assert by_pid[helper]["Process Path"] == "C:\\Probe Dir\\", f"helper row {by_pid[helper].as_dict()}"
    digest = hashlib.md5((session.prefix / "drive_c/Probe Dir/helper app.exe").read_bytes()).hexdigest()

    # The file of a running process can vanish (here: on the host side);
    # there is no digest to look up then, and the error report says which
    # file could not be read and the system's reason.
    (session.prefix / "drive_c/Gone/gone.exe").unlink()
    session.select(by_pid[gone].index)
    for command in (HASH_GOOGLE, HASH_VIRUSTOTAL):
        session.choose_command(command)
        rc, box = session.driver("msgbox", program, 30000)
        assert rc == 0, f"command {command}: no message box for the missing file"
        prefix = 'Could not read "C:\\Gone\\gone.exe": '
        reason = box["text"][len(prefix):]
        assert (box["text"].startswith(prefix) and reason.strip() == reason and reason.endswith(".")
                and "\r" not in reason and "\n" not in reason and len(reason) > 1), (
            f"command {command}: text {box['text']!r}")
        assert (box["title"], box["icon"]) == ("Quarvel Velquist", "error"), (
            f"command {command}: box {box['title']!r} icon {box['icon']}")
        rc, _ = session.driver("msgbox-ok", program)
        assert rc == 0, f"command {command}: the message box did not close"
    assert session.opened_urls() == [], f"a look-up for the missing file: {session.opened_urls()}"

    assert _open_url(session, by_pid[helper].index, HASH_GOOGLE, 1) == SEARCH + digest.upper(), (
        f"hash search {session.opened_urls()} for {digest}")
    assert _open_url(session, by_pid[helper].index, HASH_VIRUSTOTAL, 2) == FILE_REPUTATION + digest.upper(), (
        f"file reputation {session.opened_urls()} for {digest}")
    assert holds_for(lambda: len(session.opened_urls()) == 2, 2 * REFRESH_PERIOD), (
        f"a look-up for the missing file: {session.opened_urls()}")


def test_address_look_ups_and_ip_reputation_pages_open_their_urls(session):
    session.capture_browser()
    _start(session, [
        "tcp 5 10.0.0.5 555 93.184.216.34 8443 {0}",
        "tcp 2 0.0.0.0 135 0.0.0.0 0 {0}",
        "udp 0.0.0.0 500 {0}",
    ], [("Probe Dir", "helper app.exe")])
    rows = _rows_when(session, 3, "three rows")
    by_port = {r["Local Port"]: r.index for r in rows}
    cases = [
        ("555", REMOTE_IP, SEARCH + "93.184.216.34"),
        ("555", REMOTE_PORT, SEARCH + "8443"),
        ("135", REMOTE_IP, SEARCH + "0.0.0.0"),   # listening
        ("135", REMOTE_PORT, SEARCH + "0"),
        ("500", REMOTE_IP, SEARCH + "-"),         # UDP
        ("500", REMOTE_PORT, SEARCH + "-"),
        ("555", IP_BLACKLIST, IP_PAGES[IP_BLACKLIST]),
        ("555", IP_GEOLOCATION, IP_PAGES[IP_GEOLOCATION]),
        ("555", IP_WHOIS, IP_PAGES[IP_WHOIS]),
        ("500", IP_WHOIS, IP_PAGES[IP_WHOIS]),   # the same page whatever the row
    ]
    for number, (port, command, url) in enumerate(cases, 1):
        opened = _open_url(session, by_port[port], command, number)
        assert opened == url, f"row {port}, command {command}: opened {opened!r}, expected {url!r}"


def test_properties_and_locate_neither_block_nor_show_a_message(session):
    program, (helper,) = _start(session, ["tcp 5 10.0.0.5 555 10.0.0.9 443 {0}"],
                                [("Probe Dir", "helper app.exe")])
    row = _rows_when(session, 1, "the helper row")[0]
    assert row["Process Path"] == "C:\\Probe Dir\\", f"row {row.as_dict()}"

    session.select(row.index)
    started = time.monotonic()
    session.choose_command(PROPERTIES)
    quiet, box = _no_message_box(session, program)
    assert quiet, f"Show Process Properties showed a message: {box}"
    assert session.rows()[0]["Process Id"] == str(helper) and time.monotonic() - started < 20, (
        "the window stopped answering after Show Process Properties")

    session.choose_command(LOCATE)
    target = "/select,C:\\Probe Dir\\helper app.exe"
    poll(lambda: any(" ".join(a[1:]).replace('"', "") == target for a in session.explorer_command_lines()),
         message=f"no file manager with {target}: {session.explorer_command_lines()}")
    quiet, box = _no_message_box(session, 0)
    assert quiet, f"a message after Locate Process in Explorer: {box}"
    assert session.select(row.index) == [row.index], "the window stopped answering after Locate"
