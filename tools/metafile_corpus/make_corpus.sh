#!/usr/bin/env bash
# Makes real-world-like metafiles with the tools that write them (fig2dev, gnuplot, LibreOffice, Inkscape) and
# LibreOffice's rendering of each as the reference: trimmed to its ink, grey, at most 256 pixels.
# Usage: make_corpus.sh OUTDIR. Tools that are missing leave their files out.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
have() { command -v "$1" >/dev/null 2>&1; }

if have fig2dev; then fig2dev -L emf "$here/drawing.fig" "$out/fig2dev.emf"; fi
if have gnuplot; then gnuplot -e "set output '$out/gnuplot.emf'" "$here/plot.gp"; fi
if have inkscape; then inkscape "$here/signature.svg" --export-filename="$out/signature.emf" >/dev/null 2>&1; fi
if have soffice; then
  export HOME="$work"  # a private LibreOffice profile: no clash with a running instance
  soffice --headless --convert-to emf --outdir "$work" "$here/clipart.svg" >/dev/null 2>&1
  soffice --headless --convert-to wmf --outdir "$work" "$here/clipart.svg" >/dev/null 2>&1
  cp "$work/clipart.emf" "$out/office_clipart.emf"
  cp "$work/clipart.wmf" "$out/office_clipart.wmf"
  mkdir -p "$work/ref"
  for f in "$out"/*.emf "$out"/*.wmf; do
    [ -e "$f" ] || continue
    name=$(basename "$f"); stem=${name%.*}; ext=${name##*.}
    cp "$f" "$work/ref/${stem}_$ext.$ext"
  done
  (cd "$work/ref" && soffice --headless --convert-to png ./*.emf ./*.wmf >/dev/null 2>&1)
  for f in "$out"/*.emf "$out"/*.wmf; do
    [ -e "$f" ] || continue
    name=$(basename "$f"); stem=${name%.*}; ext=${name##*.}
    convert "$work/ref/${stem}_$ext.png" -background white -flatten -trim +repage -colorspace Gray \
      -resize '256x256>' "$out/$name.png"
  done
fi
