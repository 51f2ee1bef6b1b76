#!/usr/bin/env bash
# Runs the controller in a fresh run folder so that Robot.m and the console lines stay together,
# then shows the world's run summary and where the files are.
#   make run                               the default world
#   ROBOT_WORLD=worlds/figure_eight.yaml make run
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# The run happens in its own folder, so a relative world path is made absolute first.
if [ -n "${ROBOT_WORLD:-}" ]; then
  case "$ROBOT_WORLD" in
    /*) ;;
    *) ROBOT_WORLD="$PWD/$ROBOT_WORLD" ;;
  esac
  export ROBOT_WORLD
fi
mkdir -p "$top/run"
run_dir=$(mktemp -d "$top/run/$(date +%Y%m%d-%H%M%S)-XXXX")
cd "$run_dir"
status=0
"$top/build/line_follower" > console.txt 2> summary.txt || status=$?
cat summary.txt
if [ "$status" -ne 0 ]; then
  echo "run: failed with exit status $status (the reason is above); its files are in $run_dir"
  exit $status
fi
ln -sfn "$run_dir" "$top/run/latest"
echo "run: console lines in $run_dir/console.txt"
echo "run: trajectory script in $run_dir/Robot.m (plot it with: octave --persist Robot.m)"
echo "run: summary in $run_dir/summary.txt; run/latest points here"
