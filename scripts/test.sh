#!/usr/bin/env bash
# Installs what Framewright needs and runs every test: the unit, codec, command-line and
# offscreen window tests, all of them again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the workers under ThreadSanitizer, and a short fuzzing run of
# every reader.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
# Let clones in other folders share the compiler cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

# Every build here fails on a compiler warning, so the count stays at zero.
export FW_WERROR=ON

echo "== Build and test (RelWithDebInfo)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_WERROR=ON
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Package: build the .deb, unpack it into a scratch root and run the installed program"
scripts/package-check.sh build

echo "== Layering: the core layers never include Qt, the views never include the application"
if grep -rnE '#include <Q' src/core src/gif src/imaging src/formats 2>/dev/null; then
  echo "Qt included below the application layer" >&2
  exit 1
fi
if grep -rn '#include "app/' src/ui 2>/dev/null; then
  echo "src/ui includes src/app (move what both need down a layer)" >&2
  exit 1
fi

echo "== Sanitizers (AddressSanitizer + UndefinedBehaviorSanitizer)"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DFW_SANITIZE=ON -DFW_BUILD_BENCH=OFF -DFW_WERROR=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Background workers under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_SANITIZE_THREAD=ON -DFW_BUILD_APP=OFF \
  -DFW_BUILD_BENCH=OFF -DFW_WERROR=ON >/dev/null
cmake --build build-tsan --target core_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -R 'Workers|Progress'

if [ -x fuzz/run_fuzzers.sh ]; then
  echo "== Fuzzing the readers"
  seconds=${FW_FUZZ_SECONDS:-20}
  fuzz/run_fuzzers.sh "$seconds"
  # The GIF reader is the one every user meets first: it gets a minute in all.
  if [ "$seconds" -lt 60 ]; then fuzz/run_fuzzers.sh $((60 - seconds)) gif_reader; fi
fi
