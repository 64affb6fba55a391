#!/usr/bin/env bash
# Installs what is missing, builds all three presets and runs every test:
# unit tests, the same under ASan+UBSan, and the end-to-end tests under Wine;
# then builds the fuzz targets and runs each for 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
for preset in win32 win64 host; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
ctest --test-dir build/host -j "$(nproc)" --output-on-failure
bash tests/fuzz/run.sh 30
