#!/usr/bin/env bash
# Builds the Debian package from this build folder (the test build: sanitizers add their libraries to Depends,
# which is why the checks below look for the program's own libraries, not for an exact list) and checks what
# apt would see: the file name, the control fields and the files it puts in place.
# usage: check_package.sh <build folder> <work folder> <version> <app id> <icon name> <icon sizes...>
set -euo pipefail
build=$1 work=$2 version=$3 app_id=$4 icon=$5
shift 5
sizes=("$@")

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/pictavo_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb; made: $(ls "$work")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = pictavo ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
for lib in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libjpeg62-turbo libuemf0; do
  [[ ",$depends," =~ [,\ ]$lib[\ ,] ]] || fail "Depends lacks $lib: $depends"
done

dpkg-deb --contents "$deb" | awk '{print $6}' >"$work/files"
outside=$(grep -v '^\./usr/' "$work/files" | grep -v '^\./$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
expected=(
  ./usr/bin/pictavo
  "./usr/share/applications/$app_id.desktop"
  "./usr/share/metainfo/$app_id.metainfo.xml"
  "./usr/share/mime/packages/$app_id.xml"
  "./usr/share/icons/hicolor/scalable/apps/$icon.svg"
)
for size in "${sizes[@]}"; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$icon.png")
done
[ -x "$build/pictavo-language" ] && expected+=(./usr/bin/pictavo-language)
[ -f "$(dirname "$0")/../../docs/pictavo.1" ] && expected+=(./usr/share/man/man1/pictavo.1.gz)
for file in "${expected[@]}"; do
  grep -qxF "$file" "$work/files" || fail "package lacks $file"
done
echo "$(basename "$deb"): control fields and ${#expected[@]} files as expected"
