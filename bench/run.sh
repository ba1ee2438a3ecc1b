#!/usr/bin/env bash
# Runs every benchmark of the build folder given as $1 (default: build).
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
for bench in "$build"/bin/bench_*; do
  echo "== $(basename "$bench")"
  "$bench"
done
echo "== download queue"
sh bench/queue_bench.sh "$build"
echo "== harvest from the command line"
sh bench/harvest_bench.sh "$build"
