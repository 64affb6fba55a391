#!/usr/bin/env bash
# Builds velquist.exe and starts it under Wine. Without a display it starts a
# virtual one, saves a screenshot of the window to build/velquist-screenshot.png
# and then closes the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"

export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine-prefix}" WINEARCH=win32 WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing a 32-bit Wine prefix in $WINEPREFIX ..."
  wineboot -i >/dev/null 2>&1
  # Without a window manager (a virtual display) Wine draws the window frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
fi

program=build/win32/velquist.exe
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$program"
fi

Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=:97
wine "$program" &
program_pid=$!
for _ in $(seq 1 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Quarvel Velquist v1.0"' && break
  sleep 0.2
done
sleep 1
screenshot=build/velquist-screenshot.png
import -window root "$screenshot"
echo "Screenshot of the window: $screenshot"
wine build/win32/e2e/vqdriver.exe close "Quarvel Velquist v1.0" >/dev/null 2>&1 || true
wait "$program_pid"
wineserver -w
