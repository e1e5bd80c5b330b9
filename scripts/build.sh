#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [DIR] [extra cmake arguments...]
set -euo pipefail
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd "$(dirname "$0")/.." && pwd)}" CCACHE_NOHASHDIR=1
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir"
