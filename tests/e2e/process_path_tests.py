"""Process identity under Wine: a process id resolves to the drive-letter
path of its image."""
from harness import TOOLS, WINE, run_command

PROBE = TOOLS / "e2e" / "process_path_probe.exe"


def _probe(session, pid):
    return run_command([WINE, str(PROBE), str(pid)], session.env).stdout.rstrip("\n")


def test_a_helper_process_resolves_to_its_drive_letter_path(session):
    _, pid = session.start_helper(r"Probe Dir", "helper app.exe")
    assert _probe(session, pid) == r"C:\Probe Dir\helper app.exe", f"path {_probe(session, pid)!r}"
    assert _probe(session, 4) == "System", "process id 4"
    assert _probe(session, 0) == "", "process id 0"
