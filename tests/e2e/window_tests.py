"""How the main window looks and answers the pointer under Wine: read from
screenshots of the virtual display and from its windows."""

from harness import ID, MAIN_TITLE, poll, rect_of, run_command, unescape

SC_MAXIMIZE, SC_RESTORE = 0xF030, 0xF120
STATUS_BAR = ID["IDC_STATUS_BAR"]
STATUS = ["Connections: 2", "Established: 1", "Listening: 1"]
# Wider than any letter of Tahoma 8 bold at 96 dots per inch.
LETTER_WIDTH = 8
# The room a header leaves beside its text.
HEADER_MARGINS = 12


def _text_width(session, points, bold, text, dpi=None):
    """The width of a text in Tahoma as the program draws it at the screen's resolution (or at dpi)."""
    rc, values = session.driver("text-width", points, 1 if bold else 0, text, *([dpi] if dpi else []))
    assert rc == 0, f"text-width {text!r}: {values}"
    return int(values["width"])


def _status_bar_rect(session):
    return session.children(MAIN_TITLE)[STATUS_BAR][2]


def _blank_panels(session, shot):
    """The panels of the status bar that show a single colour (no text) in
    the screenshot, by number."""
    left, top, right, bottom = _status_bar_rect(session)
    edges = [left + (edge if edge >= 0 else right - left) for edge in session.status_edges()]
    blank = []
    for number, (start, end) in enumerate(zip([left] + edges, edges)):
        # The inner part of the panel, clear of its borders.
        crop = f"{end - start - 8}x{bottom - top - 6}+{start + 4}+{top + 3}"
        colours = run_command(["convert", str(shot), "-crop", crop, "+repage", "-format", "%k", "info:"],
                              session.env).stdout.strip()
        if int(colours) < 2:
            blank.append(number)
    return blank


def test_every_status_panel_shows_its_text_after_maximising_and_restoring(session):
    session.install()
    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4", "tcp 5 10.0.0.5 1 1.2.3.4 80 4"])
    session.start()
    session.find_window(MAIN_TITLE)
    poll(lambda: session.status() == STATUS, message=f"status panels {session.status()}")
    for step, command in (("maximised", SC_MAXIMIZE), ("restored", SC_RESTORE), ("maximised again", SC_MAXIMIZE)):
        before = _status_bar_rect(session)
        session.driver("syscommand", MAIN_TITLE, command)
        poll(lambda: _status_bar_rect(session) != before, message=f"{step}: the status bar did not move")
        poll(lambda: not _blank_panels(session, session.screenshot(f"{step}.png")),
             message=f"{step}: blank panels {_blank_panels(session, session.screenshot('last.png'))}")
        assert session.status() == STATUS, f"{step}: status panels {session.status()}"


def _assert_main_layout_at_144(session):
    assert session.status_edges()[:3] == [218, 436, 654], f"panel edges {session.status_edges()}"
    columns = session.list_columns()
    widths = [width for _, width in columns]
    assert widths == [188, 113, 188, 225, 113, 225, 113, 113, 375], f"column widths {widths}"
    # No header text is cut: each fits its column with the header's margins.
    for caption, width in columns:
        needed = _text_width(session, 8, False, caption, 144) + HEADER_MARGINS
        assert needed <= width, f"header {caption!r} needs {needed} pixels, has {width}"
    left, top, right, bottom = _status_bar_rect(session)
    assert bottom - top == 29, f"status bar height {bottom - top}"


def _assert_about_layout(session, dpi):
    """The About window's labels fit their texts at dpi, and its places are
    as far apart as the design's scaled to dpi (31 and 51 pixels at 96)."""
    children = session.children("About")
    rects = {control: rect for control, (_, _, rect, _) in children.items()}
    texts = {control: text for control, (_, _, _, text) in children.items()}
    for control, points, bold in ((ID["IDC_ABOUT_PRODUCT_NAME"], 10, True), (ID["IDC_ABOUT_VERSION"], 8, True),
                                  (ID["IDC_ABOUT_COPYRIGHT"], 8, True)):
        rect = rects[control]
        needed = _text_width(session, points, bold, texts[control], dpi)
        assert rect[2] - rect[0] >= needed, f"label {texts[control]!r} is {rect[2] - rect[0]} wide, needs {needed}"
    product_name, version = rects[ID["IDC_ABOUT_PRODUCT_NAME"]], rects[ID["IDC_ABOUT_VERSION"]]
    like, tweet = rects[ID["IDC_ABOUT_FACEBOOK_LINK"]], rects[ID["IDC_ABOUT_TWITTER_LINK"]]
    spacing = {96: (31, 51), 144: (47, 77)}[dpi]
    assert (version[1] - product_name[1], tweet[0] - like[0]) == spacing, (
        f"About layout at {dpi} dots per inch: product name {product_name}, version {version}, logos {like} {tweet}")


def test_at_144_dots_per_inch_the_layout_is_one_and_a_half_times_as_large(session):
    session.install()
    session.registry(r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", "144")
    session.open(["tcp 2 0.0.0.0 445 0.0.0.0 0 4"])
    poll(lambda: session.row_count() == 1, message="no rows")
    _assert_main_layout_at_144(session)
    session.driver("command", MAIN_TITLE, ID["ID_SHOW_ABOUT"])
    session.find_window("About")
    _assert_about_layout(session, 144)


def _move_to_dpi(session, title, dpi, scale):
    """Tells a window it moved to a screen of dpi, suggesting its rectangle
    scaled by scale around its top-left corner, as the system does."""
    left, top, right, bottom = rect_of(session.find_window(title, hidden=True))
    rc, values = session.driver("dpi-changed", title, dpi, left, top, round((right - left) * scale),
                                round((bottom - top) * scale))
    assert rc == 0, f"dpi-changed {title}: {values}"


def test_moved_to_a_screen_of_144_dots_per_inch_the_windows_take_its_layout(session):
    session.install()
    session.open(["tcp 2 0.0.0.0 445 0.0.0.0 0 4"])
    poll(lambda: session.row_count() == 1, message="no rows")
    _move_to_dpi(session, MAIN_TITLE, 144, 1.5)
    _assert_main_layout_at_144(session)

    session.driver("command", MAIN_TITLE, ID["ID_SHOW_ABOUT"])
    session.find_window("About")
    _assert_about_layout(session, 96)
    _move_to_dpi(session, "About", 144, 1.5)
    _assert_about_layout(session, 144)
    # Closed and shown again, it takes the density of the screen it shows on
    # (here still 96), which moving while hidden announces to nobody.
    session.driver("close", "About")
    poll(lambda: session.driver("find", "About", 0)[0] != 0, message="About still showing")
    session.driver("command", MAIN_TITLE, ID["ID_SHOW_ABOUT"])
    session.find_window("About")
    _assert_about_layout(session, 96)


def _tooltip(session):
    rc, values = session.driver("tooltip", MAIN_TITLE)
    return unescape(values["text"]) if rc == 0 else None


def test_a_cut_off_cell_shows_its_full_text_in_a_tooltip_and_a_whole_one_none(session):
    session.install()
    _, helper = session.start_helper("A Folder With A Long Name", "helper app.exe")
    session.write_tables([f"tcp 2 0.0.0.0 445 0.0.0.0 0 {helper}"])
    session.start()
    session.find_window(MAIN_TITLE)
    poll(lambda: session.rows() and session.rows()[0]["Process Path"] != "", message="no process path")
    session.driver("column-width", MAIN_TITLE, 8, 60)
    list_rect = session.children(MAIN_TITLE)[ID["IDC_LIST"]][2]
    columns = [width for _, width in session.list_columns()]
    row_y = list_rect[1] + 32  # inside the first row, below the header

    run_command(["xdotool", "mousemove", str(list_rect[0] + 2 + sum(columns[:8]) + 30), str(row_y)], session.env)
    poll(lambda: _tooltip(session) == "C:\\A Folder With A Long Name\\", timeout=10,
         message=f"tooltip over the cut-off folder: {_tooltip(session)!r}")

    # The row under the resting pointer is replaced: its tip does not stay.
    _, other = session.start_helper("Another Long Folder Name", "other app.exe")
    session.write_tables([f"tcp 2 0.0.0.0 445 0.0.0.0 0 {other}"])
    poll(lambda: session.rows()[0]["Process Path"] == "C:\\Another Long Folder Name\\", timeout=10,
         message=f"the row was not replaced: {session.rows()}")
    poll(lambda: _tooltip(session) != "C:\\A Folder With A Long Name\\", timeout=5,
         message="the replaced row's tip stayed")

    # The protocol cell is wide enough for "TCP": no tooltip there.
    run_command(["xdotool", "mousemove", str(list_rect[0] + 2 + columns[0] + 20), str(row_y)], session.env)
    poll(lambda: _tooltip(session) is None, timeout=10,
         message=f"a tooltip over a whole cell: {_tooltip(session)!r}")


def _ink_right_edge(session, shot, rect):
    """How far right the text inside a control's screen rectangle reaches,
    from the control's left edge (the trimmed area of non-background pixels)."""
    left, top, right, bottom = rect
    geometry = run_command(["convert", str(shot), "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                            "-trim", "-format", "%@", "info:"], session.env).stdout.strip()
    width, rest = geometry.split("x", 1)
    offset = rest.split("+")[1]
    return int(offset) + int(width)


def test_the_about_labels_show_their_whole_texts(session):
    session.install()
    session.write_tables(["tcp 2 0.0.0.0 445 0.0.0.0 0 4"])
    session.start()
    session.find_window(MAIN_TITLE)
    session.driver("command", MAIN_TITLE, ID["ID_SHOW_ABOUT"])
    session.find_window("About")
    rects = {control: rect for control, (_, _, rect, _) in session.children("About").items()}
    # A label that cuts its text drops the last letter at its edge: the
    # text must end at least a letter's width before the label does.
    for control in ("IDC_ABOUT_PRODUCT_NAME", "IDC_ABOUT_VERSION", "IDC_ABOUT_COPYRIGHT"):
        rect = rects[ID[control]]
        reach = poll(lambda: _ink_right_edge(session, session.screenshot("about.png"), rect), message="no text")
        assert reach + LETTER_WIDTH <= rect[2] - rect[0], (
            f"{control}: text reaches {reach} of {rect[2] - rect[0]} pixels")
