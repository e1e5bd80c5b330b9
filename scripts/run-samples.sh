#!/usr/bin/env bash
# Installs what Framewright needs, builds it, draws the sample animations and opens the editor
# on one of them. Without a display it says so and runs the main batch job instead: merge
# every sample, re-time all frames to 5/100 s, write one GIF.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only the program and the sample generator, in a folder of their own: the tests' build
# (scripts/test.sh, in build/) is never rebuilt for it, nor it for the tests.
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DFW_BUILD_TESTS=OFF -DFW_BUILD_BENCH=OFF -DFW_PCH=ON

sample=build-release/samples/bouncing-ball.gif
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Opening the editor on $sample (close the window to finish)."
  exec ./build-release/framewright "$sample"
fi
echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): running the batch demo instead."

out=build-release/merged.gif
echo "Samples drawn by our generator:"
for f in build-release/samples/*.gif; do printf '  %-28s %8d bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done
echo "Running: framewright -i 'build-release/samples/*.gif' -t 5 -o $out"
./build-release/framewright -i 'build-release/samples/*.gif' -t 5 -o "$out"
echo "Merged all samples, set every delay to 5/100 s and wrote $out ($(stat -c %s "$out") bytes)."
