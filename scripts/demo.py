#!/usr/bin/env python3
"""The demonstration mode of scripts/run.sh: a Wine prefix whose IP Helper is
the test stand-in (build/win32/iphlp/full/iphlpapi.dll, or build/win64's
where this machine runs no 32-bit code), serving a fixed,
plausible table of connections owned by a few real helper processes started
from folders with telling names. Wine's own IP Helper reports process id 0
for every socket; this shows the program as it looks on a real machine.

    python3 scripts/demo.py <prefix>   prepares the prefix, starts the helpers,
                                       writes the table, prints the helpers'
                                       process ids; the helpers end with the
                                       prefix's wineserver
"""
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

from wine_width import ARCH, BUILD, PROGRAM, WINE, system_folder, wine_environment

# The helper processes: C:\<folder>\<name>, each a copy of the test driver
# sleeping for an hour.
HELPERS = {
    "browser": ("Program Files\\Example Browser", "browser.exe"),
    "mail": ("Program Files\\Mail Client", "mail.exe"),
    "sync": ("Tools\\Sync Agent", "sync.exe"),
    "media": ("Program Files\\Media Server", "mediaserver.exe"),
}

# States: 2 LISTEN, 3 SYN-SENT, 4 SYN-RECEIVED, 5 ESTABLISHED, 6 FIN-WAIT-1,
# 7 FIN-WAIT-2, 8 CLOSE-WAIT, 9 CLOSING, 10 LAST-ACK, 11 TIME-WAIT.
# Remote hosts come from the documentation ranges.
TABLE = [
    "tcp 2 0.0.0.0 135 0.0.0.0 0 {system}",
    "tcp 2 0.0.0.0 445 0.0.0.0 0 {system}",
    "tcp 2 192.168.1.20 139 0.0.0.0 0 {system}",
    "tcp 2 0.0.0.0 3389 0.0.0.0 0 {system}",
    "tcp 5 192.168.1.20 445 192.168.1.31 50122 {system}",
    "tcp 11 192.168.1.20 49690 203.0.113.40 443 {idle}",
    "tcp 11 192.168.1.20 49691 198.51.100.7 80 {idle}",
    "tcp 5 192.168.1.20 49702 203.0.113.10 443 {browser}",
    "tcp 5 192.168.1.20 49703 203.0.113.10 443 {browser}",
    "tcp 5 192.168.1.20 49704 198.51.100.23 443 {browser}",
    "tcp 3 192.168.1.20 49710 192.0.2.55 443 {browser}",
    "tcp 8 192.168.1.20 49698 198.51.100.61 80 {browser}",
    "tcp 6 192.168.1.20 49699 203.0.113.77 443 {browser}",
    "tcp 10 192.168.1.20 49700 192.0.2.18 443 {browser}",
    "tcp 5 127.0.0.1 49720 127.0.0.1 49721 {browser}",
    "tcp 5 127.0.0.1 49721 127.0.0.1 49720 {browser}",
    "tcp 5 192.168.1.20 49730 198.51.100.90 993 {mail}",
    "tcp 5 192.168.1.20 49731 198.51.100.90 587 {mail}",
    "tcp 7 192.168.1.20 49732 203.0.113.5 443 {mail}",
    "tcp 9 192.168.1.20 49733 192.0.2.200 993 {mail}",
    "tcp 2 0.0.0.0 22000 0.0.0.0 0 {sync}",
    "tcp 2 127.0.0.1 8384 0.0.0.0 0 {sync}",
    "tcp 5 192.168.1.20 22000 192.0.2.140 22000 {sync}",
    "tcp 4 192.168.1.20 22000 198.51.100.12 51514 {sync}",
    "tcp 5 192.168.1.20 49740 203.0.113.99 443 {sync}",
    "tcp 2 0.0.0.0 8096 0.0.0.0 0 {media}",
    "tcp 5 192.168.1.20 8096 192.168.1.44 52210 {media}",
    "tcp 5 192.168.1.20 8096 192.168.1.45 52301 {media}",
    "udp 0.0.0.0 137 {system}",
    "udp 0.0.0.0 138 {system}",
    "udp 0.0.0.0 5353 {browser}",
    "udp 0.0.0.0 1900 {media}",
    "udp 192.168.1.20 1900 {media}",
    "udp 0.0.0.0 21027 {sync}",
    "udp 0.0.0.0 22000 {sync}",
    "udp 0.0.0.0 53 {idle}",
]


def run(args, env, timeout=300):
    subprocess.run(args, env=env, check=True, timeout=timeout, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine_env(prefix):
    return dict(wine_environment(os.environ), WINEPREFIX=str(prefix), WINEARCH=ARCH, WINEDEBUG="-all")


def plant_ip_helper(prefix):
    """The stand-in becomes the system's iphlpapi.dll; Wine's own stays
    beside it as iphlpreal.dll, where the stand-in forwards everything else."""
    system = system_folder(prefix)
    real = system / "iphlpreal.dll"
    if not real.exists():
        shutil.copy(system / "iphlpapi.dll", real)
    target = system / "iphlpapi.dll"
    target.unlink()
    shutil.copy(BUILD / "iphlp" / "full" / "iphlpapi.dll", target)


def start_helpers(prefix, env):
    """Starts every helper; answers {key: Windows process id}."""
    outputs = {}
    for key, (folder, name) in HELPERS.items():
        directory = prefix / "drive_c" / Path(*folder.split("\\"))
        directory.mkdir(parents=True, exist_ok=True)
        shutil.copy(BUILD / "e2e" / "vqdriver.exe", directory / name)
        output = prefix / f"demo-{key}.out"
        with open(output, "w") as out:
            subprocess.Popen([WINE, f"C:\\{folder}\\{name}", "sleep", "3600000"], env=env, stdout=out,
                             stderr=subprocess.DEVNULL, start_new_session=True)
        outputs[key] = output
    pids = {}
    deadline = time.monotonic() + 60
    while len(pids) < len(outputs):
        if time.monotonic() > deadline:
            sys.exit(f"helpers did not start: {sorted(set(outputs) - set(pids))}")
        for key, output in outputs.items():
            text = output.read_text()
            if key not in pids and "pid=" in text and "\n" in text:
                pids[key] = int(text.split("pid=", 1)[1].split()[0])
        time.sleep(0.2)
    return pids


def write_table(prefix, pids):
    """The table, moved into place whole so that no read sees a part of it."""
    lines = [line.format(system=4, idle=0, **pids) for line in TABLE]
    target = system_folder(prefix) / "vq_tables.txt"
    partial = target.with_suffix(".partial")
    partial.write_text("\n".join(lines) + "\n")
    os.replace(partial, target)
    return lines


def prepare(prefix, env=None):
    """Everything but the program itself; env: the prefix's Wine environment."""
    env = env or wine_env(prefix)
    # The stand-in in the system folder wins over Wine's builtin library.
    run([WINE, "reg", "add", rf"HKCU\Software\Wine\AppDefaults\{PROGRAM}\DllOverrides", "/v", "iphlpapi",
         "/t", "REG_SZ", "/d", "native,builtin", "/f"], env)
    plant_ip_helper(prefix)
    pids = start_helpers(prefix, env)
    write_table(prefix, pids)
    return pids


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    started = prepare(Path(sys.argv[1]).resolve())
    print(" ".join(f"{key}={pid}" for key, pid in started.items()))
