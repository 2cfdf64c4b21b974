#!/usr/bin/env bash
# Anymap decoding, whole process, against netpbm on the same generated files in the same run:
#   raw P6 of 24 megapixels:  pnm_load vs ppmtoppm
#   plain P3 of 6 megapixels: pnm_load vs ppmtoppm
# Usage: bench/compare_pnm.sh [build folder, default build/bench]. Needs hyperfine and netpbm.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
loader=$build/bench/pnm_load
[ -x "$loader" ] || { echo "build it first: scripts/build bench" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Noise, so neither side meets a run of equal samples it could take a short cut on.
{ printf 'P6\n6000 4000\n255\n'; head -c $((6000 * 4000 * 3)) /dev/urandom; } > "$work/raw.ppm"
{ printf 'P6\n3000 2000\n255\n'; head -c $((3000 * 2000 * 3)) /dev/urandom; } | pnmtoplainpnm > "$work/plain.ppm"

"$loader" "$work/raw.ppm" && "$loader" "$work/plain.ppm"   # both must load before they are timed
hyperfine --warmup 2 --runs 10 -N \
  "$loader $work/raw.ppm" \
  "sh -c 'ppmtoppm < $work/raw.ppm > /dev/null'"
hyperfine --warmup 1 --runs 5 -N \
  "$loader $work/plain.ppm" \
  "sh -c 'ppmtoppm < $work/plain.ppm > /dev/null'"
