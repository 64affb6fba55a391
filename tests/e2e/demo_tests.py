"""The demonstration mode of scripts/run.sh, prepared in a test's own prefix."""
import importlib.util

from harness import MAIN_TITLE, REPO, poll

_spec = importlib.util.spec_from_file_location("demo", REPO / "scripts" / "demo.py")
demo = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(demo)


def test_the_demonstration_shows_its_table_with_the_helpers_names_and_folders(session):
    session.install(iphlpapi=None)
    pids = demo.prepare(session.prefix, session.env)
    session.start()
    session.find_window(MAIN_TITLE)
    rows = poll(lambda: len(r := session.rows()) == len(demo.TABLE) and r, timeout=30,
                message=f"demonstration rows: {len(session.rows())} of {len(demo.TABLE)}")
    by_pid = {}
    for row in rows:
        by_pid.setdefault(row["Process Id"], set()).add((row["Process"], row["Process Path"]))
    for key, (folder, name) in demo.HELPERS.items():
        assert by_pid.get(str(pids[key])) == {(name, f"C:\\{folder}\\")}, (
            f"{key}: rows of process {pids[key]} show {by_pid.get(str(pids[key]))}")
    states = {row["State"] for row in rows}
    assert ({"LISTEN", "SYN-SENT", "SYN-RECEIVED", "ESTABLISHED", "FIN-WAIT-1", "FIN-WAIT-2", "CLOSE-WAIT",
             "CLOSING", "LAST-ACK", "TIME-WAIT", "-"} <= states), (
        f"states {sorted(states)}")
    established = sum(row["State"] == "ESTABLISHED" for row in rows)
    listening = sum(row["State"] == "LISTEN" for row in rows)
    poll(lambda: session.status() == [f"Connections: {len(rows)}", f"Established: {established}",
                                      f"Listening: {listening}"],
         message=f"status panels {session.status()}")
