"""The context menu's CSV export under Wine: the Save dialog (filled by the
driver) in the Documents folder with its proposed name, and the file's bytes
in both file types."""
import csv
import datetime
import io
import shutil

from harness import ID, MAIN_TITLE, poll

SAVE_REPORT, SAVE_CSV = ID["ID_SAVE_REPORT"], ID["ID_SAVE_CSV"]
DIALOG = "Save As"
TABLES = [
    "tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
    "tcp 2 0.0.0.0 135 0.0.0.0 0 4",
    "udp 0.0.0.0 500 {helper}",
]


def _own_documents_folder(session):
    """The prefix's Documents folder as a folder of its own: Wine links it to
    the Unix home, which a test must not write into."""
    user = next(p for p in (session.prefix / "drive_c" / "users").iterdir() if p.name != "Public")
    documents = user / "Documents"
    if documents.is_symlink():
        documents.unlink()
    documents.mkdir(exist_ok=True)
    return documents


def _expected(rows, delimiter):
    out = io.StringIO()
    writer = csv.writer(out, delimiter=delimiter, lineterminator="\r\n")
    writer.writerow(rows[0].columns)
    for row in rows:
        writer.writerow(row.cells)
    return b"\xef\xbb\xbf" + out.getvalue().encode("utf-8")


def _save(session, path, file_type):
    """Chooses the item, fills the dialog; answers the name it proposed."""
    session.choose_command(SAVE_CSV)
    session.find_window(DIALOG)
    rc, values = session.driver("save-as", DIALOG, path, file_type)
    assert rc == 0, values
    return values["proposed"]


def test_save_list_to_csv_writes_the_shown_rows_through_the_save_dialog(session):
    documents = _own_documents_folder(session)
    session.install()
    _, helper = session.start_helper("Probe, Dir", "helper app.exe")
    session.open([line.format(helper=helper) for line in TABLES])
    rows = poll(lambda: len(r := session.rows()) == 3 and r, message=f"rows {session.rows()}")

    items = [item for item in session.menu() if not item.separator]
    ids = [item.id for item in items]
    item = items[ids.index(SAVE_CSV)]
    assert ids.index(SAVE_CSV) == ids.index(SAVE_REPORT) + 1 == len(ids) - 1, ids
    assert item.text == "Save List to &CSV File..." and item.shortcut == "" and item.enabled, item

    before = datetime.datetime.now().replace(microsecond=0)
    proposed = _save(session, "saved list.csv", 0)
    after = datetime.datetime.now()
    stamp = datetime.datetime.strptime(proposed, "Connections %Y-%m-%d %H%M%S.csv")
    assert before <= stamp <= after, f"proposed {proposed!r} outside {before} .. {after}"

    # A bare name lands in the Documents folder the dialog opened in.
    saved = documents / "saved list.csv"
    data = poll(lambda: saved.exists() and (d := saved.read_bytes()).count(b"\r\n") == 4 and d,
                message="no CSV file in Documents")
    assert data == _expected(rows, ","), data
    assert b'"C:\\Probe, Dir\\"' in data, data

    tab_file = session.app / "list.txt"
    _save(session, "C:\\app\\list.txt", 1)
    data = poll(lambda: tab_file.exists() and (d := tab_file.read_bytes()).count(b"\r\n") == 4 and d,
                message="no tab-separated file")
    assert data == _expected(rows, "\t"), data
    session.idle()
    assert session.message_box(timeout_ms=500) is None, "an error box after a good save"
