#!/bin/sh
# Prepares the Wine prefix of a test run: created on first use, with Wine's
# virtual desktop (hiding windows under a bare X server was seen to stall),
# and one wineserver kept alive for the run.
set -e
WINEPREFIX=$(sh "$(dirname "$0")/absolute-prefix.sh" "${1:-}") || exit 1
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.fenlop-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
  # No crash dialog: a crashing test must end, not wait for a click.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.fenlop-ready"
fi
# Wine's own fonts (Debian's fonts-wine): Marlett draws the caption buttons,
# Tahoma and MS Sans Serif the system's texts. This Wine does not look in
# its data folder for them, so they go into the prefix's font folder, where
# it does; a prefix made before they were installed gets them too.
fonts=/usr/share/wine/fonts
if [ -d "$fonts" ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
  cp -n "$fonts"/*.ttf "$fonts"/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
# The kept server must not hold the caller's output open (CTest waits for it).
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
# Start Wine's services now, detached from the caller's output: a test that
# started them would leave them holding CTest's pipe after it ended.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
