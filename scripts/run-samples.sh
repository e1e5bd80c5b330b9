#!/usr/bin/env bash
# Installs what Framewright needs, builds it, draws the sample animations and opens the editor
# on one of them. Without a display it says so and runs the main batch job instead: merge
# every sample, re-time all frames to 5/100 s, write one GIF.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release

sample=build/samples/bouncing-ball.gif
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Opening the editor on $sample (close the window to finish)."
  exec ./build/framewright "$sample"
fi
echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): running the batch demo instead."

out=build/merged.gif
echo "Samples drawn by our generator:"
for f in build/samples/*.gif; do printf '  %-28s %8d bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done
echo "Running: framewright -i 'build/samples/*.gif' -t 5 -o $out"
./build/framewright -i 'build/samples/*.gif' -t 5 -o "$out"
echo "Merged all samples, set every delay to 5/100 s and wrote $out ($(stat -c %s "$out") bytes)."
