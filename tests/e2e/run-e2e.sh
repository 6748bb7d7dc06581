#!/bin/sh
# Runs a Windows program of the end-to-end tests in a fresh Wine prefix on an
# X server of its own, so no other Wine desktop on a shared display can take
# the focus or the pointer from it.
#   run-e2e.sh PREFIX PROGRAM [ARGS...]
# Exit code: the program's. Everything started here is ended here.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# Wine refuses a relative WINEPREFIX; the prefix is made absolute here.
prefix=$(sh "$here/../wine/absolute-prefix.sh" "${1:-}") || exit 1
shift

. "$here/../wine/start-xvfb.sh"
xvfb=
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

finish() {
  wineserver -k </dev/null >/dev/null 2>&1
  [ -n "$xvfb" ] || return
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
}
trap finish EXIT
start_xvfb
started=$?
xvfb=$xvfb_pid
[ "$started" -eq 0 ] || exit 1
export DISPLAY="$display"
# Only a prefix of an earlier run (or an empty folder) is cleared: a
# mistyped path must not delete someone's files.
if [ -d "$prefix" ] && [ -n "$(ls -A "$prefix")" ] && [ ! -f "$prefix/.fenlop-ready" ] && [ ! -f "$prefix/system.reg" ]; then
  echo "run-e2e: $prefix is not a Wine prefix; not clearing it" >&2
  exit 1
fi
rm -rf "$prefix"
sh "$here/../wine/prepare-prefix.sh" "$prefix" || exit 1
# Dialog fonts: the program's resources ask for the Windows Japanese UI font.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f </dev/null >/dev/null 2>&1
wine "$@"
