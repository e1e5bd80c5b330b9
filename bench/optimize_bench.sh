#!/bin/sh
# Optimizer against its peers: output size relative to the input and wall time for
#   framewright -i in.gif -z -o out.gif   (the stored options; a fresh configuration: the default 1134)
#   gifsicle -O2, gifsicle -O3
#   convert in.gif -layers optimize out.gif   (ImageMagick)
# on our benchmark inputs (a video-like clip, a screen capture with small changes, a sprite
# with transparency, an animation with local palettes) and, when FFmpeg is installed, a clip
# FFmpeg wrote with a palette per frame. Each output is checked with gifdiff (when installed)
# against its input: "same" means every frame displays identically.
#
# usage: bench/optimize_bench.sh [BUILD_DIRECTORY]   (default: build)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
program="$build/framewright"
[ -x "$program" ] || { echo "no $program: build the framewright target first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out" "$work/config"

# The input writer: the bench target when it was built, else compiled here against the build.
inputs="$build/bench/optimize_inputs"
if [ ! -x "$inputs" ]; then
  inputs="$work/optimize_inputs"
  c++ -std=c++20 -O2 -I"$root/src" -I"$root/tools" "$root/bench/optimize_inputs.cpp" \
    "$build/tools/libfw_sample_drawings.a" "$build/src/libfw_gif.a" "$build/src/libfw_core.a" -lpthread -o "$inputs"
fi
"$inputs" "$work/in"
if command -v ffmpeg >/dev/null 2>&1; then
  ffmpeg -v error -f lavfi -i testsrc2=s=320x240:r=15:d=3 \
    -vf 'split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1' -y "$work/in/ffmpeg-local.gif"
fi

now() { date +%s.%N; }
# run NAME COMMAND...: runs the command, prints "size seconds verdict" for $out.
measure() {
  in=$1; out=$2; shift 2
  start=$(now)
  if ! "$@" >/dev/null 2>&1; then echo "- - failed"; return; fi
  end=$(now)
  size=$(stat -c %s "$out")
  verdict=-
  if command -v gifdiff >/dev/null 2>&1; then
    if gifdiff "$in" "$out" >/dev/null 2>&1; then verdict=same; else verdict=differs; fi
  fi
  echo "$size $(echo "$end - $start" | bc) $verdict"
}

printf '| input | input bytes | tool | output bytes | output/input | seconds | display |\n'
printf '|---|---:|---|---:|---:|---:|---|\n'
for in in "$work"/in/*.gif; do
  name=$(basename "$in" .gif)
  insize=$(stat -c %s "$in")
  for tool in framewright gifsicle-O2 gifsicle-O3 imagemagick; do
    out="$work/out/$name-$tool.gif"
    case $tool in
      framewright) result=$(FRAMEWRIGHT_CONFIG_DIR="$work/config" measure "$in" "$out" "$program" -i "$in" -z -o "$out") ;;
      gifsicle-O2) command -v gifsicle >/dev/null 2>&1 || continue; result=$(measure "$in" "$out" gifsicle -O2 "$in" -o "$out") ;;
      gifsicle-O3) command -v gifsicle >/dev/null 2>&1 || continue; result=$(measure "$in" "$out" gifsicle -O3 "$in" -o "$out") ;;
      imagemagick) [ -x /usr/bin/convert ] || continue; result=$(measure "$in" "$out" /usr/bin/convert "$in" -layers optimize "$out") ;;
    esac
    set -- $result
    ratio=-
    [ "$1" != - ] && ratio=$(echo "scale=3; $1 / $insize" | bc)
    printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$insize" "$tool" "$1" "$ratio" "$2" "$3"
  done
done
