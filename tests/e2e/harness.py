"""The end-to-end harness: each test gets its own copy of a ready Wine prefix,
its own Xvfb display and an application folder inside the prefix, starts the
real program there and reads or drives it through the driver (vqdriver.exe)."""
import fcntl
import os
import re
import shlex
import shutil
import signal
import subprocess
import tempfile
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "scripts"))
from wine_width import ARCH, BUILD, PROGRAM, RUNS_32_BIT, WINE, system_folder, wine_environment  # noqa: E402

# Build folders are the repository's unless told: a test runs from any folder.
WIN32_BUILD = Path(os.environ.get("VQ_WIN32_BUILD", REPO / "build" / "win32")).resolve()
WIN64_BUILD = Path(os.environ.get("VQ_WIN64_BUILD", REPO / "build" / "win64")).resolve()
WORK = Path(os.environ.get("VQ_E2E_WORK", REPO / "build" / "e2e")).resolve()
# The test programs (driver, stand-in IP Helpers, probes) of the width that
# this machine runs, and the program the tests start unless they name one.
TOOLS = BUILD
DRIVER = TOOLS / "e2e" / "vqdriver.exe"

MAIN_TITLE = "Quarvel Velquist v1.0"
# The automatic refresh's period in seconds: waits that remain are multiples of it.
REFRESH_PERIOD = 2.0
# The background of ESTABLISHED rows, as row_colour() answers it.
ESTABLISHED_BACKGROUND = "b8e994"
PROGRAMS = {"velquist.exe": WIN32_BUILD / "velquist.exe", "velquist64.exe": WIN64_BUILD / "velquist64.exe",
            "velquistcon.exe": WIN32_BUILD / "velquistcon.exe",
            "velquistcon64.exe": WIN64_BUILD / "velquistcon64.exe"}
# The console companion of the program the tests start.
CONSOLE_PROGRAM = {"velquist.exe": "velquistcon.exe", "velquist64.exe": "velquistcon64.exe"}[PROGRAM]


def _resource_ids():
    """The program's resource and command ids by name, from the header the
    program is built with, so the tests never keep copies that can drift."""
    header = REPO / "package" / "resource.h"
    return {name: int(value) for name, value in
            re.findall(r"^#define\s+(\w+)\s+(\d+)\s*$", header.read_text(), re.MULTILINE)}


ID = _resource_ids()


class TestFailure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def run_command(args, env, timeout=120, check_rc=True):
    # Output goes to a file, not a pipe: Wine services that a command starts
    # inherit its output and would hold a pipe open long after it ended.
    with tempfile.TemporaryFile(mode="w+", encoding="utf-8", errors="replace") as output:
        result = subprocess.run(args, env=env, stdout=output, stderr=subprocess.STDOUT,
                                timeout=timeout)
        output.seek(0)
        result.stdout = output.read()
    if check_rc and result.returncode != 0:
        raise RuntimeError(f"{args} failed with {result.returncode}: {result.stdout}")
    return result


_ESCAPES = {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}


def unescape(text):
    """The driver's escaped field back as it was (\\\\ \\t \\n \\r \\xHH)."""
    return re.sub(r"\\(x[0-9a-fA-F]{2}|.)",
                  lambda m: chr(int(m.group(1)[1:], 16)) if len(m.group(1)) == 3 else _ESCAPES[m.group(1)],
                  text)


def _fields(value):
    return [unescape(part) for part in value.split("\t")]


@dataclass(frozen=True)
class ListRow:
    """One row of the main window's list: its cells in column order, also
    reachable by column title (row["Process Id"])."""
    index: int
    cells: tuple
    selected: bool
    focused: bool
    columns: tuple = field(repr=False)

    def __getitem__(self, key):
        return self.cells[key if isinstance(key, int) else self.columns.index(key)]

    def as_dict(self):
        return dict(zip(self.columns, self.cells))


@dataclass
class MenuItem:
    """A menu item as the program's menu holds it. text keeps '&' and the
    "\\t<shortcut>" part; label and shortcut split it for reading."""
    position: int
    id: int
    flags: frozenset
    text: str
    submenu: list = field(default_factory=list)

    @property
    def separator(self):
        return "separator" in self.flags

    @property
    def enabled(self):
        return not self.separator and not self.flags & {"grayed", "disabled"}

    @property
    def checked(self):
        return "checked" in self.flags

    @property
    def label(self):
        return self.text.split("\t", 1)[0].replace("&&", "\0").replace("&", "").replace("\0", "&")

    @property
    def shortcut(self):
        return self.text.split("\t", 1)[1] if "\t" in self.text else ""


def _menu_tree(values):
    """Nests the driver's depth-first item lines into MenuItem trees."""
    top, stack = [], []
    for value in values:
        depth, position, command, flags, text = value.split("\t")
        item = MenuItem(int(position), int(command), frozenset() if flags == "-" else frozenset(flags.split(",")),
                        unescape(text))
        del stack[int(depth):]
        (stack[-1].submenu if stack else top).append(item)
        stack.append(item)
    return top


def _base_env(prefix):
    env = dict(os.environ)
    env = wine_environment(env)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all")
    env.pop("WINEDLLOVERRIDES", None)
    env.pop("DISPLAY", None)
    return env


def _registry(env, key, name, kind, data):
    # Wine's reg.exe now and then answers 1 without a word under load (seen
    # once in hundreds of writes); a second try writes the value.
    args = [WINE, "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"]
    for _ in range(2):
        if run_command(args, env, check_rc=False).returncode == 0:
            return
    run_command(args, env)


def template_prefix(arch):
    """A ready prefix of the given architecture ("win32" or "win64"), made once
    and then copied for every test."""
    template = WORK / f"template-{arch}"
    WORK.mkdir(parents=True, exist_ok=True)
    with open(WORK / f"template-{arch}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (template / "ready").exists():
            return template
        shutil.rmtree(template, ignore_errors=True)
        prefix = template / "prefix"
        prefix.mkdir(parents=True)
        env = _base_env(prefix)
        env["WINEARCH"] = arch
        run_command([WINE, "wineboot", "-i"], env, timeout=300)
        # Crashes print a backtrace instead of waiting behind a dialog.
        _registry(env, r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0")
        # Without a window manager Wine draws the window frames itself.
        _registry(env, r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")
        # A stand-in iphlpapi.dll beside the program wins over the builtin one.
        for program in PROGRAMS:
            _registry(env, rf"HKCU\Software\Wine\AppDefaults\{program}\DllOverrides", "iphlpapi",
                      "REG_SZ", "native,builtin")
        run_command(["wineserver", "-w"], env, timeout=120)
        _install_wine_fonts(prefix)
        (template / "ready").write_text("ok\n")
        return template


# Wine's own fonts (Debian's fonts-wine: Tahoma, the caption buttons'
# Marlett) are not found in its data folder by this build of Wine; in the
# prefix's Fonts folder they are.
WINE_FONTS = Path("/usr/share/wine/fonts")


def _install_wine_fonts(prefix):
    fonts = prefix / "drive_c" / "windows" / "Fonts"
    fonts.mkdir(parents=True, exist_ok=True)
    for font in WINE_FONTS.glob("*") if WINE_FONTS.is_dir() else []:
        if not (fonts / font.name).exists():
            shutil.copy(font, fonts / font.name)


# Wine only ever reads the program files of a prefix (it rewrites registry
# and settings files), so every copy can share them with the template: a
# full copy is hundreds of megabytes per test and fills a small disk.
_SHARED_SUFFIXES = (".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".tlb", ".nls", ".ax", ".ds", ".ttf",
                    ".fon")


def _replace_file(source, target):
    """Copies source over target without writing into target's old file, which
    may be shared with the template prefix through a hard link."""
    if target.exists():
        target.unlink()
    shutil.copy(source, target)


def _copy_prefix(source, target):
    def link_or_copy(src, dst):
        if src.lower().endswith(_SHARED_SUFFIXES):
            os.link(src, dst)
        else:
            shutil.copy2(src, dst)
    shutil.copytree(source, target, symlinks=True, copy_function=link_or_copy)


class Session:
    """One test's Wine session: a prefix copy, a display and the app folder C:\\app."""

    def __init__(self, name, arch=ARCH):
        self.root = WORK / "runs" / name
        if (self.root / "prefix").exists():
            # A server left from an earlier run would otherwise serve the new
            # prefix too when the folder's inode is reused.
            subprocess.run(["wineserver", "-k"], env=_base_env(self.root / "prefix"),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)
        self.root.mkdir(parents=True)
        self.prefix = self.root / "prefix"
        _copy_prefix(template_prefix(arch) / "prefix", self.prefix)
        self.app = self.prefix / "drive_c" / "app"
        self.app.mkdir()
        self.env = _base_env(self.prefix)
        self._processes = []
        self._url_log = None
        self._xvfb = self._start_display()

    def _start_display(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp"], pass_fds=(write_end,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            display = pipe.readline().strip()
        check(display != "", "Xvfb did not start")
        self.env["DISPLAY"] = ":" + display
        return xvfb

    # --- the application folder -------------------------------------------------------

    @property
    def system(self):
        """The prefix's system folder for programs of this machine's width,
        where the program loads its IP Helper library from."""
        return system_folder(self.prefix)

    def install(self, program=PROGRAM, iphlpapi="full"):
        """Copies a program into C:\\app and the stand-in IP Helper variant
        (full, no-tcp, no-udp) into the system folder, or none (Wine's own)."""
        shutil.copy(PROGRAMS[program], self.app / program)
        if iphlpapi is not None:
            self.plant_ip_helper(self.system, iphlpapi)
        return self.app / program

    def plant_ip_helper(self, folder, variant="full"):
        """Puts a stand-in iphlpapi.dll into folder, Wine's own beside it as
        iphlpreal.dll (the stand-in forwards every other export there); it
        serves folder/vq_tables.txt."""
        real = self.system / "iphlpreal.dll"
        if not real.exists():
            shutil.copy(self.system / "iphlpapi.dll", real)
        if folder != self.system:
            _replace_file(real, folder / "iphlpreal.dll")
        _replace_file(TOOLS / "iphlp" / variant / "iphlpapi.dll", folder / "iphlpapi.dll")

    def write_tables(self, lines, folder=None):
        """The stand-in's tables, moved into place whole: a read at any moment
        sees the old tables or the new ones, never a part."""
        target = (folder or self.system) / "vq_tables.txt"
        partial = target.with_suffix(".partial")
        partial.write_text("\n".join(lines) + "\n")
        os.replace(partial, target)

    def registry(self, key, name, kind, data):
        _registry(self.env, key, name, kind, data)

    # --- processes ----------------------------------------------------------------------

    def start(self, program=PROGRAM):
        process = subprocess.Popen([WINE, str(self.app / program)], env=self.env, cwd=self.app,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._processes.append(process)
        return process

    def open(self, tables, program=PROGRAM):
        """Scripts the stand-in's tables, starts the program and waits for its
        main window; answers the process and the window as find reports it."""
        self.write_tables(tables)
        process = self.start(program)
        return process, self.find_window(MAIN_TITLE)

    def start_helper(self, folder, name, seconds=60):
        """Starts a copy of the driver as a helper process at C:\\<folder>\\<name>;
        answers the process and its Windows process id."""
        directory = self.prefix / "drive_c" / folder
        directory.mkdir(parents=True, exist_ok=True)
        shutil.copy(DRIVER, directory / name)
        return self.run_helper(directory / name, seconds)

    def run_helper(self, path, seconds=60):
        """Runs a helper already in place (copying over a running one would
        break it); answers the process and its Windows process id."""
        check(path.exists(), f"no helper at {path}")
        output = open(self.root / f"{path.name}.{len(self._processes)}.out", "w+")
        process = subprocess.Popen([WINE, str(path), "sleep", str(seconds * 1000)],
                                   env=self.env, stdout=output, stderr=subprocess.DEVNULL)
        self._processes.append(process)

        def pid():
            output.seek(0)
            text = output.read()
            return text.split("pid=", 1)[1].split()[0] if "pid=" in text and "\n" in text else None

        return process, int(poll(pid, message=f"helper {path.name} did not start"))

    def wait_exit(self, process, timeout=30):
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TestFailure(f"the program did not end within {timeout} s")

    def driver_lines(self, *args, timeout=60):
        """Runs a driver command; answers its exit code and its key=value lines
        as (key, value) pairs in order (a key may repeat)."""
        result = run_command([WINE, str(DRIVER), *[str(a) for a in args]],
                             self.env, timeout=timeout, check_rc=False)
        lines = []
        # Not splitlines(): a cell may hold U+2028 and the like.
        for line in result.stdout.split("\n"):
            key, sep, value = line.partition("=")
            if sep:
                lines.append((key.strip(), value.rstrip("\r")))
        return result.returncode, lines

    def driver(self, *args, timeout=60):
        """Runs a driver command; answers its exit code and its key=value lines."""
        rc, lines = self.driver_lines(*args, timeout=timeout)
        return rc, dict(lines)

    def _drive(self, *args, timeout=60):
        """Runs a driver command that must succeed; answers its lines."""
        rc, lines = self.driver_lines(*args, timeout=timeout)
        values = dict(lines)
        check(rc == 0, f"vqdriver {args[0]} failed ({rc}): {values.get('error', lines)}")
        return lines

    # --- the main window's list, status bar and menus -------------------------------------

    def _list(self, title, first=0, count=None):
        lines = self._drive("rows", title, *([] if count is None else [first, count]))
        columns = [_fields(value) for key, value in lines if key == "column"]
        names = tuple(text for _, _, text in columns)
        rows = []
        for key, value in lines:
            if key == "row":
                index, state, *cells = value.split("\t")
                check(len(cells) == len(names), f"row {index} has {len(cells)} cells: {value!r}")
                flags = state.split(",")
                rows.append(ListRow(int(index), tuple(unescape(c) for c in cells), "selected" in flags,
                                    "focused" in flags, names))
        return [(name, int(width)) for _, width, name in columns], rows

    def rows(self, title=MAIN_TITLE, first=0, count=None):
        """The list's rows, top to bottom, as ListRow values: every row, or
        at most count rows from index first on. Each cell is a round trip to
        the program (0.5 to 1 ms): 1,000 rows of nine columns take 3 to 10 s."""
        return self._list(title, first, count)[1]

    def row_count(self, title=MAIN_TITLE):
        return int(dict(self._drive("rows", title, 0, 0))["count"])

    def list_columns(self, title=MAIN_TITLE):
        """The list's columns as (title, width) pairs."""
        return self._list(title, 0, 0)[0]

    def select(self, *indices, title=MAIN_TITLE):
        """Selects exactly these rows (none when no index is given) and
        focuses the first; answers the selected row indices read back."""
        values = dict(self._drive("select", title, *indices) if indices else self._drive("select-none", title))
        return [int(i) for i in values["selected"].split(",") if i]

    def select_none(self, title=MAIN_TITLE):
        return self.select(title=title)

    def _status(self, title):
        return [_fields(value) for key, value in self._drive("status", title) if key == "part"]

    def status(self, title=MAIN_TITLE):
        """The texts of the status bar's panels, left to right."""
        return [text for _, _, text in self._status(title)]

    def status_edges(self, title=MAIN_TITLE):
        """The right edges of the status bar's panels (-1: to the window's edge)."""
        return [int(edge) for _, edge, _ in self._status(title)]

    def row_colour(self, index, column=1, title=MAIN_TITLE):
        """The background colour ("rrggbb") shown in a row's cell; the row
        must not be selected. Column 1 (Protocol) leaves room beside its text."""
        return dict(self._drive("row-pixel", title, index, column))["rgb"]

    def menu(self, keep_open=False, title=MAIN_TITLE):
        """Opens the list's context menu (or takes the one open), answers its
        items as MenuItem values and closes it unless keep_open."""
        return _menu_tree(value for key, value in self._drive("menu", title, *(["keep"] if keep_open else []))
                          if key == "item")

    def main_menu(self, title=MAIN_TITLE):
        """The menu bar's items, each with its submenu's items."""
        return _menu_tree(value for key, value in self._drive("main-menu", title) if key == "item")

    def close_menu(self, title=MAIN_TITLE):
        self._drive("close-menu", title)

    def choose(self, n, title=MAIN_TITLE):
        """In the open context menu, moves down n items (from 1; separators
        are skipped, disabled items count) and presses Enter. Answers
        {"chosen": id, "enabled": bool, "closed": bool}; closed is False when
        Enter left the menu open (the driver then closed it with Escape).
        Wine closes it on a disabled item too, without sending a command."""
        values = dict(self._drive("choose", title, n))
        return {"chosen": int(values["chosen"]), "enabled": values["enabled"] == "1",
                "closed": values["closed"] == "1"}

    def choose_command(self, command_id, title=MAIN_TITLE):
        """Opens the context menu and chooses the item with this command id
        the way a keyboard user would."""
        choosable = [item for item in self.menu(keep_open=True, title=title) if not item.separator]
        ids = [item.id for item in choosable]
        if command_id not in ids:
            self.close_menu(title)
            raise TestFailure(f"command {command_id} is not in the context menu {ids}")
        result = self.choose(ids.index(command_id) + 1, title)
        check(result["chosen"] == command_id, f"chose {result['chosen']}, not {command_id}")
        return result

    def shortcut(self, key, title=MAIN_TITLE, method=None):
        """Presses Ctrl+key (a letter or digit) so that the program's
        accelerators see it: as keyboard input to the window made the
        foreground window ("input"), or else with Ctrl held in the program's
        shared key state and a posted key ("attached"). Answers the method used."""
        return dict(self._drive("shortcut", title, key, *([method] if method else [])))["method"]

    # --- clipboard and shell ----------------------------------------------------------------

    def clipboard(self):
        """The clipboard's Unicode text exactly, or None when it has none.
        Wine empties the clipboard soon after its owner ends: read it while
        the program runs."""
        values = dict(self._drive("clipboard"))
        return unescape(values["text"]) if values["clipboard"] == "text" else None

    def xclip_clipboard(self):
        """The X clipboard of the session's display as xclip reads it, or
        None. Wine hands text to X with LF line ends where the Windows text
        has CRLF."""
        with tempfile.TemporaryFile() as output:
            try:
                result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, stdout=output,
                                        stderr=subprocess.DEVNULL, timeout=20)
            except subprocess.TimeoutExpired:
                raise TestFailure("xclip did not answer within 20 s")
            output.seek(0)
            return output.read().decode("utf-8") if result.returncode == 0 else None

    def capture_browser(self):
        """Points Wine's browser at a script that appends every URL it is
        given to a file of the session (read with opened_urls())."""
        self._url_log = self.root / "opened_urls.txt"
        script = self.root / "browser.sh"
        check("," not in str(script), "Wine splits its browser list at commas")
        script.write_text(f'#!/bin/sh\nprintf "%s\\n" "$*" >> {shlex.quote(str(self._url_log))}\n')
        script.chmod(0o755)
        self.registry(r"HKCU\Software\Wine\WineBrowser", "Browsers", "REG_SZ", str(script))

    def opened_urls(self):
        """The URLs opened since capture_browser(), oldest first (Wine turns
        spaces into %20)."""
        check(self._url_log is not None, "capture_browser() was not called")
        return self._url_log.read_text().splitlines() if self._url_log.exists() else []

    def wait_for_urls(self, count=1, timeout=20.0):
        """Polls until at least count URLs were opened; answers them all."""
        return poll(lambda: len(self.opened_urls()) >= count and self.opened_urls(), timeout=timeout,
                    message=f"fewer than {count} URLs opened: {self.opened_urls()}")

    def command_lines(self, program):
        """The command lines (argument lists) of this session's running
        processes of a Windows program such as "notepad.exe"."""
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                args = (entry / "cmdline").read_bytes().decode("utf-8", "replace").split("\0")
                environment = (entry / "environ").read_bytes().split(b"\0")
            except OSError:
                continue  # ended meanwhile, or not ours
            while args and args[-1] == "":
                args.pop()  # Wine leaves the rest of the argument area zeroed
            if (args and re.split(r"[\\/]", args[0])[-1].lower() == program.lower() and
                    f"WINEPREFIX={self.prefix}".encode() in environment):
                found.append(args)
        return found

    def explorer_command_lines(self):
        """The command lines of this session's running explorer.exe processes
        other than Wine's desktop, e.g. ["C:\\\\windows\\\\explorer.exe", "/select,Z:\\\\..."]."""
        return [args for args in self.command_lines("explorer.exe")
                if not any(arg.lower() == "/desktop" or arg.lower().startswith("/desktop,") for arg in args[1:])]

    def find_window(self, title, timeout_ms=20000, hidden=False):
        rc, window = self.driver("find", title, timeout_ms, *(["hidden"] if hidden else []))
        check(rc == 0, f"no window titled {title!r} appeared")
        return window

    def focus(self, title=MAIN_TITLE):
        """The control id of the window's focused control (0: the window itself)."""
        return int(dict(self._drive("focus", title))["focus"])

    def children(self, title):
        """{control id: (class, style, screen rect, text)} of a window's children."""
        rc, lines = self.driver_lines("children", title)
        check(rc == 0, f"no children of {title!r}: {lines}")
        children = {}
        for key, value in lines:
            if key == "child":
                control, kind, style, rect, text = value.split("\t")
                children[int(control)] = (kind, int(style, 16), [int(v) for v in rect.split(",")], text)
        return children

    def message_box(self, pid=0, timeout_ms=30000):
        """The message box of a Windows process (0: of any) as the driver
        reads it (title, text, icon, pid), once one shows within the time;
        None when none did."""
        rc, box = self.driver("msgbox", pid, timeout_ms)
        return box if rc == 0 else None

    def idle(self, title=MAIN_TITLE):
        """Returns once the program has handled everything sent or posted to
        it so far: a command that opens no window has then finished."""
        self._drive("idle", title)

    def table_reads(self, kind="tcp"):
        """How many tables of a kind (tcp, udp, tcp6, udp6) the stand-in has
        served whole: each refresh reads each table once."""
        log = self.system / "vq_reads.log"
        return log.read_text().split().count(kind) if log.exists() else 0

    def wait_for_refreshes(self, count=2):
        """Returns once the program has read its TCP table count more times.
        The first of them may have begun before this call: to see tables
        written just before, wait_for_fresh_read()."""
        start = self.table_reads()
        poll(lambda: self.table_reads() >= start + count, timeout=count * REFRESH_PERIOD * 5,
             message=f"fewer than {count} refreshes in {count * REFRESH_PERIOD * 5} s")

    def wait_for_fresh_read(self):
        """Returns once a read of the TCP table that began after this call
        has ended: the second read to end from now on (the first may have
        begun before), so the tables written before the call were read."""
        self.wait_for_refreshes(2)

    def set_tcp_entry_calls(self):
        """The stand-in's SetTcpEntry calls so far, one line each."""
        log = self.system / "vq_settcpentry.log"
        return log.read_text().splitlines() if log.exists() else []

    def windows_of(self, pid):
        result = run_command([WINE, str(DRIVER), "windows", str(pid)], self.env, check_rc=False)
        return result.stdout

    def screenshot(self, name):
        path = self.root / name
        run_command(["import", "-display", self.env["DISPLAY"], "-window", "root", str(path)], self.env)
        return path

    def close(self):
        for process in self._processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        self._xvfb.send_signal(signal.SIGTERM)
        self._xvfb.wait(timeout=10)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, *exc):
        self.close()
        # A passing test's prefix is of no further use; a failing one's stays
        # for a look beside its logs and screenshots.
        if exc_type is None:
            shutil.rmtree(self.prefix, ignore_errors=True)
        return False


def rect_of(window):
    """A window's screen rectangle [left, top, right, bottom] from the driver's find."""
    return [int(v) for v in window["rect"].split(",")]


def poll(condition, timeout=20.0, interval=0.2, message="condition not reached"):
    """Polls until condition() is truthy; answers its value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TestFailure(message)
        time.sleep(interval)


def holds_for(condition, seconds):
    """Polls condition() for the given time; answers whether it held throughout."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not condition():
            return False
        time.sleep(0.3)
    return True
