#!/usr/bin/env bash
# Opening phone-sized photos through the registry (bench_open) against the reference decoders of the same files:
# a 12-megapixel HEIC against libheif's own heif-convert (writing raw Y4M, its cheapest output), and a
# 24-megapixel PNG against netpbm's pngtopnm. Build first with scripts/build bench. The pictures are made here,
# never committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench_open="$root/build/bench/bench/bench_open"
[ -x "$bench_open" ] || { echo "build bench_open first: scripts/build bench" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Photo-like pictures: smooth fractal colour with fine detail.
convert -size 1000x750 plasma:fractal -seed 7 -resize 4000x3000! -attenuate 0.4 +noise Gaussian \
    -quality 95 "$work/photo12mp.png"
heif-enc -q 85 "$work/photo12mp.png" -o "$work/photo12mp.heic" > /dev/null
convert -size 1500x1000 plasma:fractal -seed 11 -resize 6000x4000! -attenuate 0.4 +noise Gaussian \
    "$work/photo24mp.png"
identify "$work/photo12mp.heic" "$work/photo24mp.png" 2>/dev/null || true
hyperfine --warmup 1 --runs "${RUNS:-5}" --export-markdown "$work/heic.md" \
    -n heif-convert "heif-convert '$work/photo12mp.heic' '$work/out.y4m' > /dev/null" \
    -n pictavo "'$bench_open' '$work/photo12mp.heic'"
hyperfine --warmup 1 --runs "${RUNS:-5}" --export-markdown "$work/png.md" \
    -n pngtopnm "pngtopnm '$work/photo24mp.png' > /dev/null" \
    -n pictavo "'$bench_open' '$work/photo24mp.png'"
cat "$work/heic.md" "$work/png.md"
