"""Start-up and shutdown of the real programs under Wine."""
import pytest

from harness import MAIN_TITLE, PROGRAM, REFRESH_PERIOD, RUNS_32_BIT, holds_for, poll, rect_of

ESCAPE = 0x1B
REFUSAL_64_BIT = "Please run the 64-bit version! Aborting..."
REFUSAL_UNSUPPORTED = "Unsupported OS version! Aborting..."
LISTENING = ["tcp 2 0.0.0.0 135 0.0.0.0 0 4", "udp 0.0.0.0 500 4"]


def test_main_window_opens_centred_and_closes_with_exit_code_0(session):
    session.install()
    session.write_tables(LISTENING)

    program = session.start()
    window = session.find_window(MAIN_TITLE)
    assert window["class"] == "TForm1", f"main window class {window['class']}"
    assert window["client"] == "998,536", f"client area {window['client']}"
    left, top, right, bottom = rect_of(window)
    width, height = (int(v) for v in window["screen"].split(","))
    assert abs((left + right) - width) <= 1 and abs((top + bottom) - height) <= 1, (
        f"window {window['rect']} not centred on a {width}x{height} desktop")
    about = session.find_window("About", hidden=True)
    assert about["class"] == "TFrmAbout" and about["visible"] == "0", f"About window: {about}"
    session.screenshot("main_window.png")

    session.driver("key", MAIN_TITLE, ESCAPE)
    assert session.wait_exit(program) == 0, "Esc: exit code not 0"

    program = session.start()
    session.find_window(MAIN_TITLE)
    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0, "WM_CLOSE: exit code not 0"


def _expect_refusal(session, program, text):
    rc, box = session.driver("msgbox", 0, 20000)
    assert rc == 0, "no message box appeared"
    assert box["text"] == text, f"message box text {box['text']!r}"
    assert box["icon"] == "error", f"message box icon {box['icon']}"
    assert box["owner"] in ("00000000", "0000000000000000", "(nil)"), f"message box owner {box['owner']}"
    assert box["title"] != "Quarvel Velquist", "the refusal has no caption of its own"
    assert "TForm1" not in session.windows_of(box["pid"]), "a main window exists beside the refusal"
    session.driver("msgbox-ok", 0)
    assert session.wait_exit(program) == 0, "exit code after the refusal not 0"


@pytest.mark.win64
@pytest.mark.skipif(not RUNS_32_BIT, reason="this machine runs no 32-bit code")
def test_32_bit_program_refuses_a_64_bit_windows(session):
    session.install("velquist.exe")
    session.write_tables(LISTENING)
    _expect_refusal(session, session.start("velquist.exe"), REFUSAL_64_BIT)


@pytest.mark.win64
def test_the_64_bit_build_runs_on_a_64_bit_windows(session):
    session.install("velquist64.exe", iphlpapi=None)
    program = session.start("velquist64.exe")
    session.find_window(MAIN_TITLE)
    session.driver("key", MAIN_TITLE, ESCAPE)
    assert session.wait_exit(program) == 0, "velquist64.exe: exit code not 0"


def test_ip_helper_without_the_extended_tcp_table_is_refused(session):
    session.install(iphlpapi="no-tcp")
    session.write_tables(LISTENING)
    _expect_refusal(session, session.start(), REFUSAL_UNSUPPORTED)


def test_ip_helper_that_cannot_be_loaded_is_refused(session):
    session.install(iphlpapi=None)
    session.registry(rf"HKCU\Software\Wine\AppDefaults\{PROGRAM}\DllOverrides", "iphlpapi",
                     "REG_SZ", "")
    _expect_refusal(session, session.start(), REFUSAL_UNSUPPORTED)


def test_an_ip_helper_library_planted_beside_the_program_is_never_loaded(session):
    session.install()
    session.write_tables(LISTENING)
    session.plant_ip_helper(session.app)
    session.write_tables(["tcp 2 6.6.6.6 666 0.0.0.0 0 4"], folder=session.app)
    program = session.start()
    session.find_window(MAIN_TITLE)
    rows = poll(lambda: session.rows(), message="no rows from the system folder's library")
    addresses = sorted(r["Local Address"] for r in rows)
    assert addresses == ["0.0.0.0", "0.0.0.0"], f"rows from the planted library: {addresses}"
    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0, "exit code not 0"


def test_a_failing_refresh_reports_once_in_the_programs_words_while_its_box_is_open(session):
    session.install()
    session.write_tables(LISTENING)
    program = session.start()
    session.find_window(MAIN_TITLE)
    session.write_tables(LISTENING + ["tcp-size 4294967280"])
    rc, box = session.driver("msgbox", 0, 30000)
    assert rc == 0, "the failing refresh showed no message box"
    assert (box["text"] == "Could not read the TCP table: the system reported 4294967280 bytes, more than any "
                           "table of connections takes."), (
        f"box text {box['text']!r}")
    # Three more refresh periods behind the open box add no box.
    assert holds_for(lambda: session.windows_of(box["pid"]).count("#32770") == 1, seconds=3 * REFRESH_PERIOD), (
        f"boxes piled up: {session.windows_of(box['pid'])}")
    session.write_tables(LISTENING)
    session.driver("msgbox-ok", 0)
    poll(lambda: "#32770" not in session.windows_of(box["pid"]), message="the box did not close")
    assert holds_for(lambda: "#32770" not in session.windows_of(box["pid"]), seconds=2 * REFRESH_PERIOD), (
        "a box came back after the table could be read again")
    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0, "exit code not 0"


def test_ip_helper_without_the_extended_udp_table_starts(session):
    session.install(iphlpapi="no-udp")
    session.write_tables(LISTENING)
    program = session.start()
    session.find_window(MAIN_TITLE)
    session.driver("close", MAIN_TITLE)
    assert session.wait_exit(program) == 0, "exit code not 0"
