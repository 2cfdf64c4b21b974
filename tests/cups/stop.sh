#!/usr/bin/env bash
# Stops the private CUPS scheduler that start.sh started in the folder given as argument 1.
dir=${1:?usage: stop.sh <folder>}
[ -f "$dir/pid" ] || exit 0
pid=$(cat "$dir/pid")
kill "$pid" 2>/dev/null
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -9 "$pid" 2>/dev/null
rm -f "$dir/pid"
exit 0
