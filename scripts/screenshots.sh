#!/usr/bin/env bash
# Pictures of the editor for reviewers: the start panel, the main window with a sample
# animation, the preview (playing and in timing mode), the pixel editor, the cursor hotspot,
# the AVI settings, the layered-PSD question, the progress window of a long operation and
# every preferences page, drawn in a
# virtual X display with the real fonts (the Chinese texts need fonts-noto-cjk).
# Everything is drawn twice: at normal scale in OUTPUT_DIR and at 200% in OUTPUT_DIR/200.
# Usage: scripts/screenshots.sh [OUTPUT_DIR]   (default build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
scripts/setup.sh
scripts/build.sh build
cmake --build build --target screenshots
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
# A fresh settings folder: the pictures show the defaults, and the user's settings stay untouched.
FRAMEWRIGHT_CONFIG_DIR="$config" xvfb-run -a -s "-screen 0 1280x800x24" \
  ./build/tools/screenshots "$out" build/samples/bouncing-ball.gif
rm -rf "$config"/*
FRAMEWRIGHT_CONFIG_DIR="$config" QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2560x1600x24" \
  ./build/tools/screenshots "$out/200" build/samples/bouncing-ball.gif
echo "Screenshots are in $out (200% in $out/200)"
