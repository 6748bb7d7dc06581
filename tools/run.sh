#!/usr/bin/env bash
# Runs Fenlop on a fresh Debian 12 machine (as root): installs what is
# missing, builds, and shows the sample phrase library through flp, the
# command-line companion: its label tree, a label's phrases, a search.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-machine.sh
cmake --preset native >/dev/null
cmake --build --preset native --target flp >/dev/null

flp=build/native/tools/flp
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp tests/sample/library.htm "$work/library.htm"
lib="$work/library.htm"
# The library is Shift-JIS; the terminal is shown UTF-8.
sjis() { iconv -f CP932 -t UTF-8; }
utf() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

echo "--- flp check"
"$flp" check "$lib"
echo "--- flp tree"
"$flp" tree "$lib" | sjis
first=$("$flp" tree "$lib" | head -n 1)
echo "--- flp list (the first label's phrases, one per paragraph)"
"$flp" list -0 "$lib" "$first" | tr '\0' '\n' | sed 's/\r$//' | sjis
echo "--- flp new --below, then the tree again"
"$flp" new "$lib" --below "$first" | sjis
"$flp" tree "$lib" | sjis
