#!/usr/bin/env bash
# Runs Fenlop on a fresh Debian 12 machine (as root): installs what is
# missing, builds fenlop.exe and starts it under Wine with the sample phrase
# library beside it and both hot keys set (phrase window Ctrl+Alt+P,
# calculator Ctrl+Alt+C).
#   - With an X display: fenlop.exe and a small editor to type into run on it
#     until you choose "Fenlopの終了(&X)" in the icon's menu.
#   - Without one: a scripted tour under Xvfb types a phrase into that editor
#     through the hot key and Enter, prints what arrived, opens the list's
#     menu, the phrase editor and a search, types a sum from the calculator
#     pad, opens the help, and saves screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/setup-machine.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target fenlop fenlop_target_editor fenlop_tour >/dev/null

run=build/mingw/run
mkdir -p "$run"
cp build/mingw/shell/fenlop.exe build/mingw/shell/flp.chm "$run/"
# The library is the user's once it exists: kept from run to run.
[ -f "$run/fenlop.htm" ] || cp tests/sample/library.htm "$run/fenlop.htm"
tour=build/mingw/bench/fenlop_tour.exe

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  export WINEPREFIX="$root/build/mingw/run-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  sh tests/wine/prepare-prefix.sh "$WINEPREFIX"
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1
  wine "$tour" setup
  wine build/mingw/tests/e2e/fenlop_target_editor.exe </dev/null >/dev/null 2>&1 &
  editor=$!
  trap 'kill "$editor" 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
  echo "fenlop.exe runs with $run/fenlop.htm (Shift-JIS)."
  echo "Click into the target editor and press Ctrl+Alt+P; pick a phrase with the arrow keys and Enter."
  echo "To end it: right-click its icon in the Wine desktop's notification area, \"Fenlopの終了(X)\"."
  wine "$run/fenlop.exe"
else
  shots="$root/build/mingw/run/screenshots"
  mkdir -p "$shots"
  sh tests/e2e/run-e2e.sh "$root/build/mingw/tour-prefix" "$tour" tour "Z:$root/$run" "$shots"
fi
