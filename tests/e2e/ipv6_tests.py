"""The View menu's IPv6 option under Wine: the stand-in IP Helper serves
scripted TCPv6 and UDPv6 tables beside the IPv4 ones, and one smoke test asks
Wine's own library for a real socket."""
import re
import socket

from harness import ID, MAIN_TITLE, WINE, poll, run_command

SHOW_IPV6, CLOSE_SELECTED = ID["ID_SHOW_IPV6_ENDPOINTS"], ID["ID_CLOSE_SELECTED_CONNECTIONS"]
SETTINGS_KEY = r"HKCU\Software\Quarvel\Velquist"

IPV4_TABLES = [
    "tcp 2 0.0.0.0 445 0.0.0.0 0 4",
    "tcp 5 10.0.0.5 555 10.0.0.9 443 {helper}",
]
IPV6_TABLES = [
    "tcp6 2 :: 0 445 :: 0 0 4",
    "tcp6 5 fe80::1 3 49152 2001:db8::2a 0 443 {helper}",
    "tcp6 2 ::ffff:10.0.0.5 0 8080 :: 0 0 {helper}",
    "udp6 ::1 0 5353 {helper}",
]


def _identity(row):
    return (row["Protocol"], row["State"], row["Local Address"], row["Local Port"], row["Remote Address"],
            row["Remote Port"], row["Process Id"])


def _identities(rows):
    return sorted(_identity(r) for r in rows)


def _stored_option(session):
    """ShowIPv6 as stored, or None."""
    result = run_command([WINE, "reg", "query", SETTINGS_KEY, "/v", "ShowIPv6"], session.env, check_rc=False)
    match = re.search(r"ShowIPv6\s+REG_DWORD\s+0x([0-9a-fA-F]+)", result.stdout)
    return int(match.group(1), 16) if match else None


def _option_item(session):
    view = next(item for item in session.main_menu() if item.label == "View")
    return next(item for item in view.submenu if item.id == SHOW_IPV6)


def test_the_ipv6_option_lists_follows_and_removes_ipv6_rows_and_survives_a_restart(session):
    session.install()
    _, helper = session.start_helper("Probe Dir", "helper app.exe")
    session.write_tables([line.format(helper=helper) for line in IPV4_TABLES + IPV6_TABLES])
    program = session.start()
    session.find_window(MAIN_TITLE)

    # Off by default: the IPv4 rows only, as without the option.
    rows = poll(lambda: len(r := session.rows()) == 2 and r, message=f"IPv4 rows {session.rows()}")
    assert {r["Protocol"] for r in rows} == {"TCP"}, f"rows {_identities(rows)}"
    item = _option_item(session)
    assert item.label == "Show IPv6 Endpoints" and not item.checked, f"View item {item}"
    assert _stored_option(session) is None, "the option was stored before it was chosen"

    session.driver("command", MAIN_TITLE, SHOW_IPV6)
    rows = poll(lambda: len(r := session.rows()) == 6 and r, timeout=5,
                message=f"IPv6 rows did not come at once: {session.rows()}")
    pid = str(helper)
    assert (_identities(r for r in rows if r["Protocol"] != "TCP") == sorted([
          ("TCPv6", "LISTEN", "::", "445", "::", "0", "4"),
          ("TCPv6", "ESTABLISHED", "fe80::1%3", "49152", "2001:db8::2a", "443", pid),
          ("TCPv6", "LISTEN", "::ffff:10.0.0.5", "8080", "::", "0", pid),
          ("UDPv6", "-", "::1", "5353", "-", "-", pid),
      ])), (
        f"IPv6 rows {_identities(rows)}")
    established = next(r for r in rows if r["Local Port"] == "49152")
    assert established["Process"] == "helper app.exe" and established["Process Path"] == "C:\\Probe Dir\\", (
        f"the TCPv6 row's process {established.as_dict()}")
    poll(lambda: session.status() == ["Connections: 6", "Established: 2", "Listening: 3"],
         message=f"status panels {session.status()}")
    assert _option_item(session).checked, "the View item is not checked"
    poll(lambda: _stored_option(session) == 1, message="ShowIPv6 not stored as 1")

    # Copy shows the IPv6 text where the address goes.
    session.select(established.index)
    session.shortcut("c")
    copied = poll(lambda: "fe80::1%3" in (text := session.clipboard()) and text,
                  message=f"clipboard {session.clipboard()!r}")
    assert "| TCPv6 | ESTABLISHED | fe80::1%3 | 49152 | 2001:db8::2a | 443 |" in copied, f"copied {copied!r}"

    # Closing: an IPv6 selection offers nothing to close; with an IPv4 row
    # beside it, only the IPv4 connection reaches SetTcpEntry.
    session.select(established.index)
    items = {i.id: i for i in session.menu() if not i.separator}
    assert not items[CLOSE_SELECTED].enabled, "Close Selected Connection(s) enabled on a TCPv6 row"
    ipv4 = next(r for r in rows if r["Local Port"] == "555")
    session.select(established.index, ipv4.index)
    assert session.choose_command(CLOSE_SELECTED)["enabled"], "Close Selected disabled beside an IPv4 row"
    poll(lambda: session.set_tcp_entry_calls(), message="no SetTcpEntry call for the IPv4 row")
    assert session.set_tcp_entry_calls() == ["12 10.0.0.5 555 10.0.0.9 443"], f"SetTcpEntry calls {session.set_tcp_entry_calls()}"

    # Later tables add, remove and update IPv6 rows.
    session.write_tables([line.format(helper=helper) for line in IPV4_TABLES + [
        "tcp6 2 :: 0 445 :: 0 0 4",
        "tcp6 8 fe80::1 3 49152 2001:db8::2a 0 443 {helper}",
        "udp6 :: 0 123 {helper}",
    ]])
    rows = poll(lambda: (r := session.rows()) and
                [i for i in _identities(r) if i[0] != "TCP"] == sorted([
                    ("TCPv6", "LISTEN", "::", "445", "::", "0", "4"),
                    ("TCPv6", "CLOSE-WAIT", "fe80::1%3", "49152", "2001:db8::2a", "443", pid),
                    ("UDPv6", "-", "::", "123", "-", "-", pid)]) and r,
                timeout=10, message=f"later IPv6 tables: {_identities(session.rows())}")
    poll(lambda: session.status() == ["Connections: 5", "Established: 1", "Listening: 2"],
         message=f"status panels {session.status()}")

    # The option survives a restart.
    session.driver("key", MAIN_TITLE, 0x1B)
    assert session.wait_exit(program) == 0, "Esc: exit code not 0"
    program = session.start()
    session.find_window(MAIN_TITLE)
    poll(lambda: len(session.rows()) == 5, message=f"rows after the restart {session.rows()}")
    assert _option_item(session).checked, "the option was not restored"

    # Turning it off removes the IPv6 rows at once and stores 0.
    session.select(next(r.index for r in session.rows() if r["Protocol"] == "TCPv6"))
    session.driver("command", MAIN_TITLE, SHOW_IPV6)
    rows = poll(lambda: len(r := session.rows()) == 2 and r, timeout=5,
                message=f"IPv6 rows stayed: {_identities(session.rows())}")
    assert {r["Protocol"] for r in rows} == {"TCP"}, f"rows {_identities(rows)}"
    assert not _option_item(session).checked, "the View item is still checked"
    poll(lambda: _stored_option(session) == 0, message="ShowIPv6 not stored as 0")


def test_a_socket_listening_on_the_ipv6_loopback_shows_up_through_wines_ip_helper(session):
    with socket.socket(socket.AF_INET6) as listener:
        listener.bind(("::1", 0))
        listener.listen()
        port = str(listener.getsockname()[1])
        session.install(iphlpapi=None)
        session.registry(SETTINGS_KEY, "ShowIPv6", "REG_DWORD", "1")
        session.start()
        session.find_window(MAIN_TITLE)
        row = poll(lambda: next((r for r in session.rows() if r["Local Port"] == port), None), timeout=15,
                   message=f"no row for the IPv6 listening port {port}")
        # Wine gives the loopback a scope id (4096 under Wine 8), which the
        # address text then carries; the system reports 0 and no scope.
        assert ((row["Protocol"], row["State"], row["Remote Address"], row["Remote Port"]) ==
                ("TCPv6", "LISTEN", "::", "0") and re.fullmatch(r"::1(%[0-9]+)?", row["Local Address"])), (
            f"row {row.as_dict()}")
