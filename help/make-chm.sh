#!/bin/sh
# Compiles the help into flp.chm. The sources are UTF-8; the compiled help
# is Shift-JIS throughout, because the viewer reads the title, the contents
# and the index of a Japanese help file (Language=0x411) in code page 932.
#   make-chm.sh SOURCE_FOLDER OUTPUT_CHM
set -eu
src=$(cd "$1" && pwd)
out=$2
work=$out.d
rm -rf "$work"
mkdir -p "$work"
for f in "$src"/*; do
  name=$(basename "$f")
  case $name in
    *.htm | *.hhc | *.hhk | *.hhp | *.css)
      # iconv fails on a character Shift-JIS lacks: better no help than
      # a page with holes.
      iconv -f UTF-8 -t CP932 "$f" >"$work/$name.sjis"
      sed -e 's/charset=UTF-8/charset=Shift_JIS/' -e 's/$/\r/' "$work/$name.sjis" >"$work/$name"
      rm "$work/$name.sjis" ;;
    *.png) cp "$f" "$work/" ;;
  esac
done
cd "$work"
chmcmd --no-html-scan flp.hhp >chmcmd.log 2>&1 || { cat chmcmd.log >&2; exit 1; }
[ -s flp.chm ] || { cat chmcmd.log >&2; exit 1; }
mv flp.chm "$out"
