#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while:
#   bash tests/fuzz/run.sh [seconds per target, default 30] [build folder, default build/fuzz]
# Targets run side by side, one per core, each on a fresh corpus in a
# temporary folder seeded from tests/fuzz/seeds/<target>/. Any finding (crash,
# broken invariant, sanitizer report, leak, timeout, memory limit) fails the
# run; its input is kept in <build folder>/findings/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-30}
build=${2:-build/fuzz}
targets=(nt_path table_rows list_sync window_settings html_report row_filter delimited_json)

cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings="$build/findings"
mkdir -p "$findings"

fuzz() {
  local target=$1
  local args=(-max_total_time="$seconds" -rss_limit_mb=1024 -timeout=10 -print_final_stats=1
              -artifact_prefix="$findings/$target-")
  [ -f "tests/fuzz/$target.dict" ] && args+=(-dict="tests/fuzz/$target.dict")
  mkdir -p "$work/$target"
  local dirs=("$work/$target")
  [ -d "tests/fuzz/seeds/$target" ] && dirs+=("tests/fuzz/seeds/$target")
  # A smaller quarantine keeps ASan's memory well under the limit.
  ASAN_OPTIONS=quarantine_size_mb=64 "$build/fuzz_$target" "${args[@]}" "${dirs[@]}" >"$work/$target.log" 2>&1
}

for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do
    wait -n || true
  done
  (fuzz "$target" && touch "$work/$target.ok") &
done
wait

failed=0
for target in "${targets[@]}"; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
  if [ -f "$work/$target.ok" ]; then
    echo "fuzz_$target: ${runs:-?} runs, no finding"
  else
    failed=1
    echo "fuzz_$target: FINDING after ${runs:-?} runs" >&2
    grep -v '^#\|^INFO' "$work/$target.log" | tail -40 >&2
  fi
done
[ "$failed" -eq 0 ] || echo "inputs of the findings: $findings/" >&2
exit "$failed"
