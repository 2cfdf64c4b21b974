#!/usr/bin/env bash
# Opening a 24-megapixel JPEG: the program's loading path (bench_open) against libjpeg-turbo's djpeg writing a
# BMP to /dev/null. Build first with scripts/build bench. The picture is made here, never committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench_open="$root/build/bench/bench/bench_open"
[ -x "$bench_open" ] || { echo "build bench_open first: scripts/build bench" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
picture="$work/photo24mp.jpg"
# A photo-like picture: smooth fractal colour with fine detail, at 6000 x 4000, quality 90.
convert -size 1500x1000 plasma:fractal -seed 11 -resize 6000x4000! -attenuate 0.4 +noise Gaussian \
    -quality 90 -sampling-factor 2x2 "$picture"
identify "$picture"
hyperfine --warmup 2 --runs "${RUNS:-10}" --export-markdown "$work/result.md" \
    -n djpeg "djpeg -bmp '$picture' > /dev/null" \
    -n pictavo "'$bench_open' '$picture'"
cat "$work/result.md"
