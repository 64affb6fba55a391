#!/usr/bin/env python3
"""Scale bench: how responsive the real program stays under Wine with huge
connection tables served by a stand-in iphlpapi.dll. It reports, it never fails
on time.

    python3 bench/scale/run.py [--exe build/win32/velquist.exe] [--build build/win32]
                               [--minutes 5] [--rows 10000 50000 100000] [--churn 0 1]

For a million rows: --rows 100000 1000000 --churn 0.1 1 (churn is a percent
and may be fractional). With --filter TEXT the filter bar is shown and TEXT
typed into it once the list is full; the measured minutes start when the
list has narrowed (the end-to-end driver of --build does the typing). With
--highlight the program starts with "Highlight Changes" on. With --columns it
starts with the Service and Created columns shown, and the stand-in serves
the owner-module tables.

--build is the Windows build holding bench-scale/ (stand-in, probe, sleeper).
Both default to the width this machine runs (scripts/wine_width.py): the
32-bit build, or the 64-bit one where no 32-bit code runs.
The configurations (every --rows with every --churn) run one after another in
one fresh prefix on one Xvfb display, each for --minutes after its list is
full; the table is printed at the end, the prefix removed. Memory is read when
the list is full and again at the end of those minutes; after the table, the
memory each row costs is the VmRSS slope from the smallest to the largest
--rows, per churn.
"""
import argparse
import math
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "scripts"))
from wine_width import ARCH, BUILD, PROGRAM, WINE, system_folder, wine_environment  # noqa: E402

HELPERS = 3
# What the stand-in itself keeps per generated row, inside the program's
# process: one MIB_TCPROW_OWNER_PID.
STAND_IN_BYTES_PER_ROW = 24
POOL_SIZE = 200
STARTUP_LIMIT_S = 600
MAIN_TITLE = "Quarvel Velquist v1.0"


def command_id(name):
    """A command id of the program, from the header it is built with."""
    header = (REPO / "package" / "resource.h").read_text()
    return int(re.search(rf"^#define\s+{name}\s+(\d+)\s*$", header, re.MULTILINE).group(1))


def run(args, env, timeout=300, check=True):
    subprocess.run(args, env=env, check=check, timeout=timeout,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def registry(env, key, name, kind, data):
    run([WINE, "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"], env)


def windows_path(path, prefix):
    """C:\\… for a file inside the prefix's drive_c."""
    return "C:\\" + str(path.relative_to(prefix / "drive_c")).replace("/", "\\")


def install_stand_in(env, prefix, build, program):
    """The stand-in where the program loads its IP Helper from, the prefix's
    system folder, with Wine's own library beside it as iphlpreal.dll (the
    stand-in forwards there), and a per-program override so the native one
    wins. As the end-to-end tests install theirs."""
    system = system_folder(prefix)
    shutil.copy(system / "iphlpapi.dll", system / "iphlpreal.dll")
    (system / "iphlpapi.dll").unlink()
    shutil.copy(build / "bench-scale" / "iphlpapi.dll", system / "iphlpapi.dll")
    registry(env, rf"HKCU\Software\Wine\AppDefaults\{program}\DllOverrides", "iphlpapi",
             "REG_SZ", "native,builtin")


def read_stat(pid):
    """CPU seconds (user + system) of a Linux process; NaN once it is gone."""
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    except (FileNotFoundError, ProcessLookupError):
        return math.nan
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def read_memory(pid):
    """(VmRSS, RssAnon) in MB; NaN once the process is gone."""
    values = {}
    status = Path(f"/proc/{pid}/status")
    for line in status.read_text().splitlines() if status.exists() else []:
        key, _, rest = line.partition(":")
        if key in ("VmRSS", "RssAnon"):
            values[key] = int(rest.split()[0]) / 1024
    return values.get("VmRSS", math.nan), values.get("RssAnon", math.nan)


def p99(values):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(0.99 * len(ordered)) - 1)]


def read_lines(path):
    rows = []
    if path.exists():
        for line in path.read_text().splitlines():
            parts = line.split()
            if len(parts) == 3:
                rows.append(tuple(float(p) for p in parts))
    return rows


def longest_blocks(samples, reads, since_ms):
    """The longest probe round trip per refresh interval, an interval being the
    time from one table read to the next. A round trip belongs to the interval
    in which it ended: a refresh that blocks the window starts after its read
    and ends before the next one."""
    starts = [r[0] for r in reads if r[0] >= since_ms]
    blocks = []
    for i, start in enumerate(starts):
        end = starts[i + 1] if i + 1 < len(starts) else math.inf
        trips = [s[1] for s in samples if start <= s[0] + s[1] < end]
        if trips:
            blocks.append(max(trips))
    return blocks


class Bench:
    def __init__(self, options):
        self.options = options
        self.build = Path(options.build).resolve()
        self.exe = Path(options.exe).resolve()
        self.root = Path(tempfile.mkdtemp(prefix="vq-scale-"))
        self.prefix = self.root / "prefix"
        self.app = self.prefix / "drive_c" / "app"
        self.env = dict(wine_environment(os.environ), WINEPREFIX=str(self.prefix), WINEDEBUG="-all")
        self.env.pop("WINEDLLOVERRIDES", None)
        self.processes = []
        self.xvfb = None

    def start(self, args, env=None, stdout=subprocess.DEVNULL):
        process = subprocess.Popen(args, env=env or self.env, cwd=self.app, stdout=stdout,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def stop(self, process, timeout=30):
        if process.poll() is None:
            process.kill()
        process.wait(timeout=timeout)

    @staticmethod
    def wait_for(condition, timeout_s):
        deadline = time.monotonic() + timeout_s
        while not condition() and time.monotonic() < deadline:
            time.sleep(0.1)

    def set_up(self):
        self.prefix.mkdir()
        self.env.pop("DISPLAY", None)
        run([WINE, "wineboot", "-i"], dict(self.env, WINEARCH=ARCH))
        # A crash prints a backtrace instead of waiting behind a dialog.
        registry(self.env, r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0")
        self.app.mkdir()
        shutil.copy(self.exe, self.app / self.exe.name)
        install_stand_in(self.env, self.prefix, self.build, self.exe.name)
        if self.options.highlight:
            registry(self.env, r"HKCU\Software\Quarvel\Velquist", "HighlightChanges", "REG_DWORD", "1")
        if self.options.columns:
            for name in ("ShowServiceColumn", "ShowCreatedColumn"):
                registry(self.env, r"HKCU\Software\Quarvel\Velquist", name, "REG_DWORD", "1")
        run(["wineserver", "-w"], self.env)
        self.start_display()
        (self.app / "scale_pids.txt").write_text("\n".join(map(str, self.pid_pool())) + "\n")

    def start_display(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                                      "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.env["DISPLAY"] = ":" + pipe.readline().strip()

    def pid_pool(self):
        """A few running sleepers and many ids no process has."""
        running = []
        for _ in range(HELPERS):
            sleeper = self.start([WINE, str(self.build / "bench-scale" / "vqsleeper.exe")],
                                 stdout=subprocess.PIPE)
            running.append(int(sleeper.stdout.readline().decode().split("=", 1)[1]))
        absent = [20000 + 4 * i for i in range(POOL_SIZE - len(running))]
        return running + absent

    def measure(self, rows, churn):
        tag = f"{rows}-{churn:g}"
        reads_log = self.app / f"reads-{tag}.log"
        samples_path = self.root / f"probe-{tag}.txt"
        env = dict(self.env, VQ_SCALE_ROWS=str(rows), VQ_SCALE_CHURN=str(churn),
                   VQ_SCALE_UDP_ROWS=str(self.options.udp_rows),
                   VQ_SCALE_PIDS=windows_path(self.app / "scale_pids.txt", self.prefix),
                   VQ_SCALE_LOG=windows_path(reads_log, self.prefix))
        expected = rows + self.options.udp_rows
        with open(samples_path, "w") as samples_file:
            probe = self.start([WINE, str(self.build / "bench-scale" / "vqscaleprobe.exe")],
                               stdout=samples_file)
            self.wait_for(lambda: samples_path.read_text(), 60)
            started_ms = time.time() * 1000
            program = self.start([WINE, str(self.app / self.exe.name)], env=env)

            def full_ms():
                """When the first answer with every row came, or None."""
                full = [s for s in read_lines(samples_path) if s[2] >= expected]
                return full[0][0] + full[0][1] if full else None

            self.wait_for(full_ms, STARTUP_LIMIT_S)
            full = full_ms()
            steady_ms = full or time.time() * 1000
            if full and self.options.filter:
                steady_ms = self.apply_filter(samples_path, expected)
            rss_full, _ = read_memory(program.pid)
            cpu_start, cpu_start_ms = read_stat(program.pid), time.time() * 1000
            time.sleep(self.options.minutes * 60)
            cpu = (read_stat(program.pid) - cpu_start) / (time.time() * 1000 - cpu_start_ms) * 60000
            rss, anon = read_memory(program.pid)
            self.stop(program)
            try:
                probe.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.stop(probe)
        samples = read_lines(samples_path)
        reads = read_lines(reads_log)
        blocks = longest_blocks(samples, reads, steady_ms)
        steady_reads = [r for r in reads if r[0] >= steady_ms]
        intervals = [(b[0] - a[0]) / 1000 for a, b in zip(steady_reads, steady_reads[1:])]
        return {
            "rows": rows, "churn": churn,
            "startup": (full - started_ms) / 1000 if full else math.nan,
            "startup_cpu": cpu_start,
            "block_median": statistics.median(blocks) if blocks else math.nan,
            "block_p99": p99(blocks) if blocks else math.nan,
            "refreshes": len(blocks),
            "interval": statistics.median(intervals) if intervals else math.nan,
            "read_ms": statistics.median(r[1] for r in reads) if reads else math.nan,
            "cpu": cpu, "rss_full": rss_full, "rss": rss, "anon": anon, "load": os.getloadavg()[1],
        }

    def apply_filter(self, samples_path, expected):
        """Shows the filter bar, types the filter into it and answers when the
        list has fewer rows than the table (or after a minute)."""
        driver = [WINE, str(self.build / "e2e" / "vqdriver.exe")]
        run(driver + ["command", MAIN_TITLE, str(command_id("ID_FILTER_BAR"))], self.env)
        run(driver + ["type", MAIN_TITLE, self.options.filter], self.env)
        self.wait_for(lambda: (samples := read_lines(samples_path)) and samples[-1][2] < expected, 60)
        return time.time() * 1000

    def tear_down(self):
        for process in reversed(self.processes):
            self.stop(process)
        # The server ends Wine's own services once our processes are gone.
        try:
            run(["wineserver", "-w"], self.env, timeout=60, check=False)
        except subprocess.TimeoutExpired:
            run(["wineserver", "-k"], self.env, timeout=60, check=False)
        if self.xvfb is not None:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait(timeout=10)
        shutil.rmtree(self.root, ignore_errors=True)


HEADER = ("rows", "churn%", "start-up to full list s", "start-up CPU s", "longest block/refresh median ms",
          "p99 ms", "refreshes", "refresh interval s", "stand-in ms/read", "CPU s/min",
          "VmRSS at full list MB", "VmRSS MB", "RssAnon MB", "load 5 min")


def table_row(r):
    return "| " + " | ".join([
        f"{r['rows']}", f"{r['churn']:g}", f"{r['startup']:.1f}", f"{r['startup_cpu']:.1f}",
        f"{r['block_median']:.0f}",
        f"{r['block_p99']:.0f}", f"{r['refreshes']}", f"{r['interval']:.2f}", f"{r['read_ms']:.1f}",
        f"{r['cpu']:.1f}", f"{r['rss_full']:.0f}", f"{r['rss']:.0f}", f"{r['anon']:.0f}", f"{r['load']:.1f}"]) + " |"


def print_table(results):
    print("| " + " | ".join(HEADER) + " |")
    print("|" + "|".join("---:" for _ in HEADER) + "|")
    for result in results:
        print(table_row(result))
    sys.stdout.flush()


def memory_slopes(results):
    """Per churn: (churn, fewest rows, most rows, bytes per row), the slope of
    VmRSS at the end of the measured minutes between the smallest and the
    largest row count, where at least two row counts were measured."""
    slopes = []
    for churn in dict.fromkeys(r["churn"] for r in results):
        measured = [r for r in results if r["churn"] == churn and not math.isnan(r["rss"])]
        if len(measured) < 2:
            continue
        low = min(measured, key=lambda r: r["rows"])
        high = max(measured, key=lambda r: r["rows"])
        if high["rows"] > low["rows"]:
            per_row = (high["rss"] - low["rss"]) * 1024 * 1024 / (high["rows"] - low["rows"])
            slopes.append((churn, low["rows"], high["rows"], per_row))
    return slopes


def print_memory_slopes(results):
    for churn, low, high, per_row in memory_slopes(results):
        print(f"memory: {per_row:.0f} bytes per row (VmRSS slope from {low} to {high} rows, {churn:g}% churn; "
              f"the stand-in's own table holds {STAND_IN_BYTES_PER_ROW} of them)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", default=BUILD / PROGRAM)
    parser.add_argument("--build", default=BUILD, help="the Windows build with bench-scale/")
    parser.add_argument("--minutes", type=float, default=5.0, help="measured time after the list is full")
    parser.add_argument("--rows", type=int, nargs="+", default=[10000, 50000, 100000])
    parser.add_argument("--churn", type=float, nargs="+", default=[0, 1], help="percent per refresh")
    parser.add_argument("--udp-rows", type=int, default=16)
    parser.add_argument("--filter", help="text typed into the filter bar once the list is full")
    parser.add_argument("--highlight", action="store_true", help="with \"Highlight Changes\" on")
    parser.add_argument("--columns", action="store_true", help="with the Service and Created columns shown")
    options = parser.parse_args()

    bench = Bench(options)
    results = []
    try:
        bench.set_up()
        for rows in options.rows:
            for churn in options.churn:
                print(f"measuring {rows} rows, {churn:g}% churn ...", file=sys.stderr, flush=True)
                results.append(bench.measure(rows, churn))
                print(table_row(results[-1]), file=sys.stderr, flush=True)
    finally:
        bench.tear_down()
    print(f"{options.exe}: blocks, refresh interval and CPU over {options.minutes:g} min after the list "
          f"is full, memory when it is full and at their end; {options.udp_rows} UDP rows; "
          f"{os.cpu_count()} cores" + (f"; filter {options.filter!r}" if options.filter else "") +
          ("; changes highlighted" if options.highlight else "") +
          ("; Service and Created columns" if options.columns else ""))
    print_table(results)
    print_memory_slopes(results)


if __name__ == "__main__":
    main()
