"""Which width of Wine the end-to-end tests, the demonstration and the scale
bench use on this machine. Some kernels run no 32-bit x86 code: they refuse
Wine's 32-bit loader (ENOEXEC), and Debian's `wine` command, which always
picks that loader when it is installed, fails. There everything runs at 64
bits: velquist64.exe, the 64-bit test programs, a 64-bit prefix and Wine's
64-bit loader. VQ_WINE_WIDTH=64 asks for that on any machine."""
import os
import subprocess
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"


def _runs_32_bit_wine():
    if os.environ.get("VQ_WINE_WIDTH") == "64":
        return False
    try:
        subprocess.run([WINE32_LOADER, "--version"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
    except OSError:
        return False
    return True


RUNS_32_BIT = _runs_32_bit_wine()
# The command that starts a Windows program ("wine", or the 64-bit loader itself).
WINE = "wine" if RUNS_32_BIT else WINE64_LOADER
# The prefix kind, the program and the build whose test programs match it.
ARCH = "win32" if RUNS_32_BIT else "win64"
PROGRAM = "velquist.exe" if RUNS_32_BIT else "velquist64.exe"
BUILD = Path(os.environ.get("VQ_WIN32_BUILD" if RUNS_32_BIT else "VQ_WIN64_BUILD",
                            REPO / "build" / ARCH)).resolve()


def wine_environment(env):
    """env with what Wine needs to start further programs at this width."""
    env = dict(env)
    if not RUNS_32_BIT:
        env["WINELOADER"] = WINE64_LOADER
    return env


def system_folder(prefix, program_bits=None):
    """The prefix's system folder of programs of the given width (this
    machine's width unless told): where such a program loads iphlpapi.dll from."""
    windows = Path(prefix) / "drive_c" / "windows"
    bits = program_bits or (32 if RUNS_32_BIT else 64)
    return windows / "syswow64" if bits == 32 and (windows / "syswow64").exists() else windows / "system32"


if __name__ == "__main__":
    # For shell scripts: the prefix kind (also the build preset), the program and the Wine command.
    print(ARCH, PROGRAM, WINE)
