#!/usr/bin/env bash
# Builds velquist.exe and starts it under Wine (velquist64.exe in a 64-bit
# prefix where this machine runs no 32-bit code: scripts/wine_width.py).
#   bash scripts/run.sh          the machine's own connections, through Wine's IP Helper
#   bash scripts/run.sh --demo   a demonstration table (scripts/demo.py) owned by a few helper processes
# With a display the program opens there. Without one it runs on a virtual
# display of its own, saves a screenshot of its window, prints the
# screenshot's path and closes the program.
set -euo pipefail
cd "$(dirname "$0")/.."

demo=0
if [ "${1:-}" = "--demo" ]; then
  demo=1
elif [ $# -gt 0 ]; then
  echo "usage: bash scripts/run.sh [--demo]" >&2
  exit 2
fi

bash scripts/install-deps.sh
read -r arch program_name wine < <(python3 scripts/wine_width.py)
if [ "$arch" = win64 ]; then export WINELOADER="$wine"; fi
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" -j "$(nproc)"

# The demonstration gets a prefix of its own: the stand-in IP Helper it
# plants must not replace Wine's own one in the ordinary prefix.
if [ $demo -eq 1 ]; then
  default_prefix=$PWD/build/wine-demo-prefix-$arch
else
  default_prefix=$PWD/build/wine-prefix-$arch
fi
export WINEPREFIX="${WINEPREFIX:-$default_prefix}" WINEARCH=$arch WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing a $arch Wine prefix in $WINEPREFIX ..."
  "$wine" wineboot -i >/dev/null 2>&1
  # Without a window manager (a virtual display) Wine draws the window frames itself.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
fi
# Wine's own fonts (Tahoma, the caption buttons' Marlett) are found in the prefix's Fonts folder.
if [ -d /usr/share/wine/fonts ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
fi

title="Quarvel Velquist v1.0"
program=build/$arch/$program_name
driver=build/$arch/e2e/vqdriver.exe

xvfb=
finish() {
  # Ends the program's helpers and every other process of the prefix.
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap finish EXIT

if [ -z "${DISPLAY:-}" ]; then
  # A free display of its own: Xvfb picks the number and writes it to us.
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  display=$(head -n 1 "$display_file" | tr -d '[:space:]')
  rm -f "$display_file"
  if [ -z "$display" ]; then
    echo "Xvfb did not start: no virtual display" >&2
    exit 1
  fi
  export DISPLAY=":$display"
  headless=1
else
  headless=0
fi

if [ $demo -eq 1 ]; then
  python3 scripts/demo.py "$WINEPREFIX"
fi

if [ $headless -eq 0 ]; then
  "$wine" "$program"
  exit 0
fi

"$wine" "$program" &
program_pid=$!
window=
for _ in $(seq 1 150); do
  window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\"" 'index($0, t) { print $1; exit }')
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "The program's window did not appear" >&2
  exit 1
fi
# Until the rows are in, with their process names: the demonstration's
# helpers are resolved as the list fills.
for _ in $(seq 1 50); do
  rows=$("$wine" "$driver" rows "$title" 2>/dev/null | grep -c '^row=' || true)
  [ "${rows:-0}" -gt 0 ] && break
  sleep 0.2
done
sleep 1
screenshot=$PWD/build/velquist-screenshot.png
[ $demo -eq 1 ] && screenshot=$PWD/build/velquist-demo.png
import -window "$window" "$screenshot"
echo "Screenshot of the window: $screenshot"
"$wine" "$driver" close "$title" >/dev/null 2>&1 || true
wait "$program_pid" || true
