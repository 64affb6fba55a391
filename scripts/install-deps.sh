#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the
# programs: the mingw-w64 cross compilers, CMake, GoogleTest, Google
# Benchmark, pytest for the end-to-end tests, Wine (with its 32-bit half and
# its own fonts, so that Tahoma and the caption buttons look as on Windows), a
# virtual X display, and clang with its libFuzzer runtime for the fuzz targets.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 python3-pytest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 fonts-wine xvfb x11-utils xclip xdotool imagemagick
  clang-14 libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (run this script as root to install them)" >&2
  exit 1
fi
dpkg --add-architecture i386
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
