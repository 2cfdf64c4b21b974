#!/usr/bin/env bash
# Whole process: printing a 24-megapixel JPEG into a page file against djpeg decoding the same JPEG, and the peak
# memory of the print. Build first with scripts/build bench (or release). Usage: bench/compare_print.sh [picture.jpg]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${PICTAVO:-}
for candidate in "$root/build/bench/pictavo" "$root/build/release/pictavo"; do
  [ -z "$exe" ] && [ -x "$candidate" ] && exe=$candidate
done
[ -n "$exe" ] || { echo "build pictavo first: scripts/build bench" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
picture=${1:-}
if [ -z "$picture" ]; then
  picture="$work/photo24mp.jpg"
  # 6000 x 4000 with detail everywhere, so the JPEG decodes like a photograph rather than a flat colour.
  convert -size 1500x1000 plasma:fractal -seed 7 -resize 6000x4000! -quality 90 "$picture"
fi
# A machine without a printer and without a display, as on a server.
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" CUPS_SERVER=${CUPS_SERVER:-127.0.0.1:9}
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
echo "picture: $picture ($(identify -format '%w x %h' "$picture"))"
hyperfine --warmup 1 --runs 5 \
  "djpeg -bmp -outfile $work/ref.bmp $picture" \
  "$exe $picture /PRINTTO=$work/page.png" \
  "$exe $picture /PRINTTO=$work/page.bmp" \
  "$exe $picture /PRINTTO=$work/high.png /QUALITY=High" \
  "$exe $picture /PRINTTO=$work/high.bmp /QUALITY=High"
# Without a settings file the quality is "Low"; "High" renders the whole 15,000,000-byte page bitmap.
for run in "page.png" "page.bmp" "high.png /QUALITY=High" "high.bmp /QUALITY=High"; do
  read -r target quality <<< "$run"
  rss=$(/usr/bin/time -v "$exe" "$picture" "/PRINTTO=$work/$target" $quality 2>&1 >/dev/null |
        awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}')
  echo "peak memory, /PRINTTO=$target $quality: ${rss} kB"
done
# A raw anymap printed at "Low" against netpbm scaling the same file to the same page bitmap and writing a PNG.
{ printf 'P6\n6000 4000\n255\n'; head -c $((6000 * 4000 * 3)) /dev/urandom; } > "$work/raw.ppm"
"$exe" "$work/raw.ppm" "/PRINTTO=$work/anymap.png"
read -r pw ph < <(identify -format '%w %h\n' "$work/anymap.png")
hyperfine --warmup 1 --runs 5 \
  "$exe $work/raw.ppm /PRINTTO=$work/anymap.png" \
  "sh -c 'pamscale -nomix -width $pw -height $ph $work/raw.ppm | pnmtopng > $work/netpbm.png'"
read -r w h < <(identify -format '%w %h\n' "$picture")
echo "budget: 24-bit picture $((w * h * 3)) bytes + 15,000,000 + 80 MB = $(( (w * h * 3 + 15000000) / 1024 + 80 * 1024 )) kB"
