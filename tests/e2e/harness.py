"""The end-to-end harness: each test gets its own copy of a ready Wine prefix,
its own Xvfb display and an application folder inside the prefix, starts the
real program there and reads or drives it through the driver (vqdriver.exe)."""
import fcntl
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

WIN32_BUILD = Path(os.environ.get("VQ_WIN32_BUILD", "build/win32")).resolve()
WIN64_BUILD = Path(os.environ.get("VQ_WIN64_BUILD", "build/win64")).resolve()
WORK = Path(os.environ.get("VQ_E2E_WORK", "build/e2e")).resolve()

MAIN_TITLE = "Quarvel Velquist v1.0"
PROGRAMS = {"velquist.exe": WIN32_BUILD / "velquist.exe", "velquist64.exe": WIN64_BUILD / "velquist64.exe"}


class TestFailure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def run_command(args, env, timeout=120, check_rc=True):
    # Output goes to a file, not a pipe: Wine services that a command starts
    # inherit its output and would hold a pipe open long after it ended.
    with tempfile.TemporaryFile(mode="w+") as output:
        result = subprocess.run(args, env=env, stdout=output, stderr=subprocess.STDOUT,
                                timeout=timeout)
        output.seek(0)
        result.stdout = output.read()
    if check_rc and result.returncode != 0:
        raise RuntimeError(f"{args} failed with {result.returncode}: {result.stdout}")
    return result


def _base_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all")
    env.pop("WINEDLLOVERRIDES", None)
    env.pop("DISPLAY", None)
    return env


def _registry(env, key, name, kind, data):
    run_command(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"], env)


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
        run_command(["wineboot", "-i"], env, timeout=300)
        # Crashes print a backtrace instead of waiting behind a dialog.
        _registry(env, r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0")
        # Without a window manager Wine draws the window frames itself.
        _registry(env, r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")
        # A stand-in iphlpapi.dll beside the program wins over the builtin one.
        for program in PROGRAMS:
            _registry(env, rf"HKCU\Software\Wine\AppDefaults\{program}\DllOverrides", "iphlpapi",
                      "REG_SZ", "native,builtin")
        run_command(["wineserver", "-w"], env, timeout=120)
        (template / "ready").write_text("ok\n")
        return template


class Session:
    """One test's Wine session: a prefix copy, a display and the app folder C:\\app."""

    def __init__(self, name, arch="win32"):
        self.root = WORK / "runs" / name
        if (self.root / "prefix").exists():
            # A server left from an earlier run would otherwise serve the new
            # prefix too when the folder's inode is reused.
            subprocess.run(["wineserver", "-k"], env=_base_env(self.root / "prefix"),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)
        self.root.mkdir(parents=True)
        self.prefix = self.root / "prefix"
        run_command(["cp", "-a", str(template_prefix(arch) / "prefix"), str(self.prefix)], None)
        self.app = self.prefix / "drive_c" / "app"
        self.app.mkdir()
        self.env = _base_env(self.prefix)
        self._processes = []
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

    def install(self, program="velquist.exe", iphlpapi="full"):
        """Copies a program into C:\\app, with the stand-in IP Helper variant
        (full, no-tcp, no-udp) or none (Wine's own)."""
        shutil.copy(PROGRAMS[program], self.app / program)
        if iphlpapi is not None:
            shutil.copy(WIN32_BUILD / "iphlp" / iphlpapi / "iphlpapi.dll", self.app / "iphlpapi.dll")
            system = "syswow64" if (self.prefix / "drive_c/windows/syswow64").exists() else "system32"
            shutil.copy(self.prefix / "drive_c/windows" / system / "iphlpapi.dll", self.app / "iphlpreal.dll")
        return self.app / program

    def write_tables(self, lines):
        (self.app / "vq_tables.txt").write_text("\n".join(lines) + "\n")

    def registry(self, key, name, kind, data):
        _registry(self.env, key, name, kind, data)

    # --- processes ----------------------------------------------------------------------

    def start(self, program="velquist.exe"):
        process = subprocess.Popen(["wine", str(self.app / program)], env=self.env, cwd=self.app,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._processes.append(process)
        return process

    def start_helper(self, folder, name, seconds=60):
        """Starts a copy of the driver as a helper process at C:\<folder>\<name>;
        answers the process and its Windows process id."""
        directory = self.prefix / "drive_c" / folder
        directory.mkdir(parents=True, exist_ok=True)
        shutil.copy(WIN32_BUILD / "e2e" / "vqdriver.exe", directory / name)
        output = open(self.root / f"{name}.out", "w+")
        process = subprocess.Popen(["wine", str(directory / name), "sleep", str(seconds * 1000)],
                                   env=self.env, stdout=output, stderr=subprocess.DEVNULL)
        self._processes.append(process)

        def pid():
            output.seek(0)
            text = output.read()
            return text.split("pid=", 1)[1].split()[0] if "pid=" in text and "\n" in text else None

        return process, int(poll(pid, message=f"helper {name} did not start"))

    def wait_exit(self, process, timeout=30):
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TestFailure(f"the program did not end within {timeout} s")

    def driver(self, *args, timeout=60):
        """Runs a driver command; answers its exit code and its key=value lines."""
        result = run_command(["wine", str(WIN32_BUILD / "e2e" / "vqdriver.exe"), *[str(a) for a in args]],
                      self.env, timeout=timeout, check_rc=False)
        values = {}
        for line in result.stdout.splitlines():
            key, sep, value = line.partition("=")
            if sep:
                values[key.strip()] = value.rstrip("\r")
        return result.returncode, values

    def find_window(self, title, timeout_ms=20000, hidden=False):
        rc, window = self.driver("find", title, timeout_ms, *(["hidden"] if hidden else []))
        check(rc == 0, f"no window titled {title!r} appeared")
        return window

    def windows_of(self, pid):
        result = run_command(["wine", str(WIN32_BUILD / "e2e" / "vqdriver.exe"), "windows", str(pid)],
                      self.env, check_rc=False)
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

    def __exit__(self, *exc):
        self.close()
        return False


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
