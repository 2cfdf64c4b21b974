#!/usr/bin/env bash
# The desktop entry, the AppStream metadata and the MIME package pass the tools the desktops read them with.
# usage: validate_desktop_files.sh <desktop entry> <metainfo> <mime package> <work folder>
set -euo pipefail
desktop=$1 metainfo=$2 mime=$3 work=$4

desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"

# update-mime-database refuses a package that breaks its schema; the globs it writes show what the desktop
# will make of the files.
rm -rf "$work" && mkdir -p "$work/packages"
cp "$mime" "$work/packages/"
update-mime-database "$work"
for glob in 'image/x-text-picture:\*.tep' 'image/jpeg:\*.jif'; do
  grep -q ":$glob\$" "$work/globs2" || { echo "missing glob $glob in $work/globs2" >&2; exit 1; }
done
echo "desktop entry, AppStream metadata and MIME package are valid"
