#!/bin/sh
# Assembles Fenlop's install folder: setup.exe under the name its settings
# file goes with, the settings file, the program and the read-me, the texts
# in Shift-JIS with CR LF as Windows editors expect.
#   make-package.sh FOLDER SETUP_EXE FENLOP_EXE HELP_CHM
set -eu
out=$1
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out"
cp "$2" "$out/SETUP.EXE"
cp "$3" "$out/fenlop.exe"
cp "$4" "$out/flp.chm"
sed 's/$/\r/' "$here/SETUP.INF" >"$out/SETUP.INF"
iconv -f UTF-8 -t CP932 "$here/readme.txt" | sed 's/$/\r/' >"$out/readme.txt"
