#!/usr/bin/env bash
# Runs the controller in a fresh run folder so that Robot.m and the console lines stay together.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
run_dir="$top/run"
mkdir -p "$run_dir"
cd "$run_dir"
status=0
"$top/build/line_follower" > console.txt || status=$?
echo "run: exit status $status; console lines in $run_dir/console.txt, trajectory script in $run_dir/Robot.m"
exit $status
