#!/usr/bin/env bash
# Time and memory each reader spends on small hostile files (made at run time by
# hostile_inputs.py). The goal: no input under 1 MB costs more than 2 s of CPU or 256 MB
# before it is refused or loaded. Usage: bench/hostile_inputs.sh [PROGRAM]   (default
# build/framewright); each run is capped at 60 s.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/framewright}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$root/bench/hostile_inputs.py" "$work" > "$work/sizes.txt"
printf '%-26s %9s %8s %10s %6s\n' file bytes "cpu s" "max MB" exit
while read -r name bytes; do
  set +e
  FRAMEWRIGHT_CONFIG_DIR="$work" /usr/bin/time -f '%U %S %M' -o "$work/time.txt" \
    timeout 60 "$program" -i "$work/$name" -o "$work/out.gif" > /dev/null 2>&1
  status=$?
  set -e
  read -r user sys kb < <(tail -1 "$work/time.txt")
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}')
  printf '%-26s %9d %8.2f %10d %6d\n' "$name" "$bytes" "$cpu" $((kb / 1024)) "$status"
  rm -f "$work/out.gif"
done < "$work/sizes.txt"
