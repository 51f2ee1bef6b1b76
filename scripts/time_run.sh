#!/usr/bin/env bash
# Times the whole line_follower process, the way a user runs it: start-up, world load, every
# step, the console lines going to a file and Robot.m, shutdown. Runs it N times (default 20)
# in a scratch folder and prints the fastest and the median wall time, the real-time factor of
# the median, and the peak resident size.
#   scripts/time_run.sh                          the default world, 20 runs
#   RUNS=50 ROBOT_WORLD=worlds/figure_eight.yaml scripts/time_run.sh
#   LINE_FOLLOWER=/path/to/other/line_follower scripts/time_run.sh   another build, to compare
# (make time-run does the same after building.) The world's duration sets the robot time; the
# factor divides it by the median.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-20}
bin=$(realpath "${LINE_FOLLOWER:-$top/build/line_follower}")
if [ -n "${ROBOT_WORLD:-}" ]; then
  case "$ROBOT_WORLD" in
    /*) ;;
    *) ROBOT_WORLD="$PWD/$ROBOT_WORLD" ;;
  esac
  export ROBOT_WORLD
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
# The peak resident size from one run under /usr/bin/time, then the timed runs on their own.
/usr/bin/time -f "%M" -o rss.txt "$bin" > console.txt 2> summary.txt
peak=$(tail -n 1 rss.txt)
robot_s=$(sed -n 's/.*robot time \([0-9.]*\) s.*/\1/p' summary.txt)
walls=()
for _ in $(seq "$runs"); do
  # EPOCHREALTIME (bash 5) reads the clock without starting a process: microseconds.
  start=${EPOCHREALTIME/./}
  "$bin" > console.txt 2> summary.txt
  end=${EPOCHREALTIME/./}
  walls+=($((end - start)))
done
sorted=($(printf '%s\n' "${walls[@]}" | sort -n))
min_us=${sorted[0]}
median_us=${sorted[$((runs / 2))]}
awk -v min="$min_us" -v med="$median_us" -v robot="$robot_s" -v peak="$peak" -v n="$runs" \
  'BEGIN {
     printf "whole process, %d runs: fastest %.1f ms, median %.1f ms", n, min / 1000, med / 1000
     if (robot != "") printf ", %.0fx real time (%s s of robot time)", robot * 1e6 / med, robot
     printf "; peak resident %d KB\n", peak
   }'
