#!/usr/bin/env bash
# Optimizer against gifsicle: output size and CPU time (user + system) of
#   framewright -i in.gif -z -o out.gif   (a fresh configuration: the lossless default options)
#   gifsicle -O2, gifsicle -O3
# on our benchmark inputs (a 100x100x24 sprite, a 1024x768x150 screen recording, a video-like
# clip, frames with a palette each), 640x480x200 clips FFmpeg writes (testsrc and mandelbrot
# with one palette from palettegen/paletteuse, a palette per frame, and FFmpeg's default
# writer), and, when ../shared/corpus is present, a real terminal recording as shipped and
# its full-frame twin (every frame as shown, each restoring the background), once more with a
# local palette on every frame (783 palettes to fold into one). Every output is
# checked with gifdiff -w against its input: "yes" means every frame displays identically
# (frames that change nothing may be merged into the one before).
#
# A second table compares the LZW encoders alone on the FFmpeg clips, the pixels unchanged:
# our plain save's stream (table cleared when full), full tables kept a while under the rule
# the optimizer settles on per frame, gifsicle re-encoding the file without optimizing, and
# gifsicle -O3; with the write time of the kept tables over the plain one, and the time
# settling the rules took over the plain write (lzw_clear_bench, which also checks that our
# reader and giflib decode both streams to the same frames).
#
# usage: bench/optimize_bench.sh [BUILD_DIRECTORY]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
program="$build/framewright"
inputs="$build/bench/optimize_inputs"
clearing="$build/bench/lzw_clear_bench"
for needed in "$program" "$inputs"; do
  [ -x "$needed" ] || { echo "no $needed: build the framewright and optimize_inputs targets first" >&2; exit 2; }
done
command -v gifsicle >/dev/null 2>&1 || { echo "gifsicle is needed for the comparison" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out" "$work/config"

"$inputs" "$work/in"
if command -v ffmpeg >/dev/null 2>&1; then
  clip() {  # NAME SOURCE FILTER...
    name=$1 source=$2
    shift 2
    # A source without an end would keep palettegen waiting for one.
    ffmpeg -v error -f lavfi -t 10 -i "$source=s=640x480:r=20" "$@" -y "$work/in/$name.gif"
  }
  clip ff-testsrc-global testsrc -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse'
  clip ff-mandelbrot-global mandelbrot -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse'
  clip ff-testsrc2-local testsrc2 -vf 'split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1'
  clip ff-testsrc-default testsrc
fi
corpus="$root/../shared/corpus/gif/real/terminal-recording.gif"
if [ -r "$corpus" ]; then
  # Read in place, never copied into the project.
  ln -s "$corpus" "$work/in/terminal.gif"
  "$inputs" --full-frames "$corpus" "$work/in/terminal-full-frames.gif"
  "$inputs" --full-frames-local "$corpus" "$work/in/terminal-full-frames-local.gif"
fi

# cpu COMMAND...: runs the command quietly; prints its user + system seconds, or "-" on failure.
cpu() {
  local times="$work/times"
  if /usr/bin/time -f '%U %S' -o "$times" "$@" >/dev/null 2>&1; then
    awk '{ printf "%.2f", $1 + $2 }' "$times"
  else
    echo -
  fi
}
same() { if gifdiff -w "$1" "$2" >/dev/null 2>&1; then echo yes; else echo no; fi; }
ratio() { if [ "$1" = - ] || [ "$2" = - ] || [ "$2" = 0 ] || [ "$2" = 0.00 ]; then echo -; else echo "scale=3; $1 / $2" | bc; fi; }
bytes() { if [ -f "$1" ]; then stat -L -c %s "$1"; else echo -; fi; }

printf '| input | input bytes | ours | gifsicle -O2 | gifsicle -O3 | ours/O2 | ours/O3 | CPU s ours | CPU s O2 | CPU s O3 | CPU ours/O2 | CPU ours/O3 | lossless ours, O2, O3 |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n'
for in in "$work"/in/*.gif; do
  name=$(basename "$in" .gif)
  ours="$work/out/$name-ours.gif" o2="$work/out/$name-O2.gif" o3="$work/out/$name-O3.gif"
  t_ours=$(FRAMEWRIGHT_CONFIG_DIR="$work/config" cpu "$program" -i "$in" -z -o "$ours")
  t_o2=$(cpu gifsicle -O2 "$in" -o "$o2")
  t_o3=$(cpu gifsicle -O3 "$in" -o "$o3")
  s_ours=$(bytes "$ours") s_o2=$(bytes "$o2") s_o3=$(bytes "$o3")
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s, %s, %s |\n' "$name" "$(bytes "$in")" \
    "$s_ours" "$s_o2" "$s_o3" "$(ratio "$s_ours" "$s_o2")" "$(ratio "$s_ours" "$s_o3")" "$t_ours" "$t_o2" "$t_o3" \
    "$(ratio "$t_ours" "$t_o2")" "$(ratio "$t_ours" "$t_o3")" "$(same "$in" "$ours")" "$(same "$in" "$o2")" "$(same "$in" "$o3")"
done

[ -x "$clearing" ] || { echo "no $clearing: build the lzw_clear_bench target for the encoder table" >&2; exit 0; }
printf '\n| input (pixels as they are) | ours plain | ours kept tables | gifsicle re-encode | gifsicle -O3 | kept/plain | kept/gifsicle re-encode | kept/O3 | write time kept/plain | settling time/plain write |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for in in "$work"/in/ff-*.gif; do
  [ -e "$in" ] || continue
  name=$(basename "$in" .gif)
  regs="$work/out/$name-gifsicle.gif"
  gifsicle "$in" -o "$regs"
  read -r plain measured t_plain t_measured t_settle < <("$clearing" --numbers "$in")
  s_regs=$(bytes "$regs") s_o3=$(bytes "$work/out/$name-O3.gif")
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$plain" "$measured" "$s_regs" "$s_o3" \
    "$(ratio "$measured" "$plain")" "$(ratio "$measured" "$s_regs")" "$(ratio "$measured" "$s_o3")" \
    "$(ratio "$t_measured" "$t_plain")" "$(ratio "$t_settle" "$t_plain")"
done
