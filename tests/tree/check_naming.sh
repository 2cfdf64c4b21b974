#!/usr/bin/env bash
# Fails when a name in the program's own code breaks the naming style of .clang-tidy (types with T, private
# fields with F, constants with k, ...). Reads the compile commands of a configured build, so generated headers
# are where the compiler finds them. Usage: check_naming.sh <source root> <build folder>
set -euo pipefail
root=$1
build=$2
report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "^$root/(src|tests|tools|fuzz|bench)/" >"$report" 2>&1 || status=$?
# Each header is reported once for every file that includes it.
grep -E '\[readability-identifier-naming\]' "$report" | sed 's/\x1b\[[0-9;]*m//g' | sort -u || true
found=$(grep -cE '\[readability-identifier-naming\]' "$report" || true)
if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then
    cat "$report"
    echo "clang-tidy could not check the tree (status $status)"
    exit 1
fi
echo "$(grep -c '"file"' "$build/compile_commands.json") compile commands read, $found names break the style"
[ "$found" -eq 0 ]
