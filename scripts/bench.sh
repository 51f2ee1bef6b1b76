#!/usr/bin/env bash
# Runs every benchmark binary that the release build produced.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
found=0
for b in "$top"/build/bench_*; do
  [ -x "$b" ] || continue
  found=1
  "$b" "$@"
done
[ $found -eq 1 ] || echo "bench: no benchmarks built yet"
