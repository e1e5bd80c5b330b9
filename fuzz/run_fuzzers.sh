#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, sanitizers) and runs each for a bounded time.
#
#   fuzz/run_fuzzers.sh [seconds per harness, default 60] [harness names...]
#
# Every fuzz/<name>_fuzz.cpp is a harness. Each first replays its regression inputs
# (fuzz/regressions/<name>/), then fuzzes a copy of its seed corpus (fuzz/corpus/<name>/) in a
# temporary directory, so runs never grow the committed corpus. Crash inputs are kept in
# build-fuzz/crashes/<name>/. The exit status is non-zero when any harness found a crash.
# Environment: FW_FUZZ_BUILD (build directory, default build-fuzz).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FW_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-60}
shift || true

CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFW_BUILD_FUZZ=ON -DFW_BUILD_APP=OFF -DFW_BUILD_TESTS=OFF -DFW_BUILD_BENCH=OFF -DFW_WERROR="${FW_WERROR:-OFF}" >/dev/null

if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for source in "$root"/fuzz/*_fuzz.cpp; do
    base=$(basename "$source" .cpp)
    names+=("${base%_fuzz}")
  done
fi

targets=()
for name in "${names[@]}"; do targets+=("${name}_fuzz"); done
ninja -C "$build" "${targets[@]}"

work=$(mktemp -d "${TMPDIR:-/tmp}/fw-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=()
for name in "${names[@]}"; do
  harness="$build/fuzz/${name}_fuzz"
  crashes="$build/crashes/$name"
  mkdir -p "$crashes" "$work/$name"
  options=(-max_len=65536 -rss_limit_mb=512 -timeout=5 "-artifact_prefix=$crashes/")

  regressions="$root/fuzz/regressions/$name"
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions" 2>/dev/null)" ]; then
    echo "== $name: replaying $(ls -A "$regressions" | wc -l) regression input(s)"
    if ! "$harness" "${options[@]}" "$regressions"/* >"$work/$name.replay.log" 2>&1; then
      tail -n 40 "$work/$name.replay.log"
      failed+=("$name (regression)")
      continue
    fi
  fi

  if [ -d "$root/fuzz/corpus/$name" ]; then cp -R "$root/fuzz/corpus/$name/." "$work/$name/"; fi
  echo "== $name: fuzzing for ${seconds}s"
  if "$harness" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 "$work/$name" \
      >"$work/$name.log" 2>&1; then
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE" "$work/$name.log" | tail -n 3 || true
  else
    tail -n 60 "$work/$name.log"
    echo "== $name: crash input(s) in $crashes"
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "No crashes."
