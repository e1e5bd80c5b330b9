#!/usr/bin/env bash
# Builds the benchmarks (Release) and compares our GIF codec with giflib on the same
# animations in one run, then measures the peak memory of opening an animation.
#
#   bench/run_peer_comparison.sh [benchmark options...]
#
# Environment: FW_BENCH_BUILD (build directory, default build-bench), FW_BENCH_REPETITIONS
# (default 3), FW_BENCH_SYSTEM_HEAP=1 (glibc's own heap settings, under which decodes may pay
# page faults for fresh frame memory depending on what ran before; see gif_codec_bench.cpp).
# Each figure is the best of the repetitions, for both sides alike: on a shared machine the
# best run is the one least disturbed by other work.
#
# Prints, per input, pixels per second of every codec and the ratios ours / giflib, where
# giflib's decode figure is the faster of DGifSlurp and the DGifGetLine loop. The goals
# (decode at least 3x, encode at least 1.5x) are reported, not enforced: timings decide
# nothing here.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FW_BENCH_BUILD:-$root/build-bench}
repetitions=${FW_BENCH_REPETITIONS:-3}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DFW_BUILD_APP=OFF -DFW_BUILD_TESTS=OFF -DFW_BUILD_BENCH=ON -DFW_BUILD_FUZZ=OFF >/dev/null
ninja -C "$build" gif_codec_bench bench_open_memory

json=$(mktemp "${TMPDIR:-/tmp}/fw-bench-XXXXXX.json")
trap 'rm -f "$json"' EXIT

"$build/bench/gif_codec_bench" --benchmark_repetitions="$repetitions" \
  --benchmark_out="$json" --benchmark_out_format=json "$@"

/usr/bin/python3 - "$json" <<'PY'
import json
import re
import sys

with open(sys.argv[1]) as f:
    runs = json.load(f)["benchmarks"]

# Best pixels per second of each benchmark over its repetitions.
best = {}
for run in runs:
    if run.get("run_type") != "iteration" or "items_per_second" not in run:
        continue
    # Options appear in names as /key:value (min_time, min_warmup_time, repeats...).
    name = re.sub(r"/[a-z_]+:[^/]*", "", run.get("run_name", run["name"]))
    best[name] = max(best.get(name, 0.0), run["items_per_second"])

def rate(name):
    return best.get(name)

def mpx(v):
    return "%9.1f" % (v / 1e6) if v else "        -"

def ratio(a, b):
    return "%6.2fx" % (a / b) if a and b else "      -"

inputs = []
for name in best:
    parts = name.split("/")
    if len(parts) >= 3 and parts[1] not in inputs:
        inputs.append(parts[1])

print()
print("Pixels per second in millions (best of the repetitions); ratio = ours / giflib")
print()
print("%-16s %-12s %9s %9s %9s %9s %8s" % ("input", "file", "ours", "slurp", "getline", "giflib", "ratio"))
decode_ratios = {}
for inp in inputs:
    for whose in ("our_file", "giflib_file"):
        ours = rate("decode/%s/ours/%s" % (inp, whose))
        slurp = rate("decode/%s/giflib_slurp/%s" % (inp, whose))
        lines = rate("decode/%s/giflib_lines/%s" % (inp, whose))
        peer = max([v for v in (slurp, lines) if v] or [0.0])
        if not ours and not peer:
            continue
        print("%-16s %-12s %s %s %s %s %s" % (inp, "decode " + whose.split("_")[0], mpx(ours), mpx(slurp),
                                                mpx(lines), mpx(peer), ratio(ours, peer)))
        if whose == "our_file" and ours and peer:
            decode_ratios[inp] = ours / peer
print()
print("%-16s %-12s %9s %9s %8s" % ("input", "", "ours", "giflib", "ratio"))
encode_ratios = {}
for inp in inputs:
    ours = rate("encode/%s/ours" % inp)
    peer = rate("encode/%s/giflib" % inp)
    if not ours and not peer:
        continue
    print("%-16s %-12s %s %s %s" % (inp, "encode", mpx(ours), mpx(peer), ratio(ours, peer)))
    if ours and peer:
        encode_ratios[inp] = ours / peer

print()
for inp in inputs:
    d = decode_ratios.get(inp)
    e = encode_ratios.get(inp)
    notes = []
    if d is not None:
        notes.append("decode %.2fx (goal 3x: %s)" % (d, "met" if d >= 3 else "BELOW"))
    if e is not None:
        notes.append("encode %.2fx (goal 1.5x: %s)" % (e, "met" if e >= 1.5 else "BELOW"))
    print("%-16s %s" % (inp, "; ".join(notes)))
PY

echo
echo "Peak memory of opening an animation (fresh process per input; goal: growth <= 1.3 x pixels + 32 MiB)"
"$build/bench/bench_open_memory" || echo "bench_open_memory: goal missed or failed (exit $?)"
