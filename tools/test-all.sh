#!/usr/bin/env bash
# Builds every configuration of Fenlop and runs every test:
#   native  - the portable core's tests, flp's tests
#   mingw   - the same core tests and the Win32 and end-to-end tests under
#             Wine, with code page 932 and an X server (Xvfb)
#   i686    - compile check of the 32-bit build
#   fuzz    - each fuzz target for a short fixed time on its seed corpus
# Run as root on Debian 12: installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fuzz_seconds=${FENLOP_FUZZ_SECONDS:-20}

bash tools/setup-machine.sh

export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$root/build/mingw/wineprefix"

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

status=0
step() { echo; echo "=== $*"; }

step "native: build and test"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --test-dir build/native --output-on-failure || status=1

step "mingw x86_64: build"
cmake --preset mingw >/dev/null
cmake --build --preset mingw

step "mingw i686: compile check"
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686

step "mingw x86_64: test under Wine"
# One X server for the whole run.
. tests/wine/start-xvfb.sh
start_xvfb || exit 1
export DISPLAY="$display"
ctest --test-dir build/mingw --output-on-failure || status=1

step "fuzz: ${fuzz_seconds}s per target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bash tests/fuzz/run-fuzzers.sh build/fuzz "$fuzz_seconds" || status=1

echo
if [ "$status" -eq 0 ]; then echo "All tests passed."; else echo "Some tests FAILED."; fi
exit "$status"
