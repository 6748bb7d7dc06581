#!/usr/bin/env bash
# Installs what building and testing Fenlop needs on Debian 12 (run as root):
# the MinGW-w64 cross compilers, Wine, an X server for the windows, clang
# with libFuzzer for the fuzz targets, and the Japanese locale that gives Wine
# code page 932. Installs only what is missing.
set -euo pipefail

packages=(cmake ninja-build g++ googletest
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64
          # Reserves Wine's fixed low addresses before the kernel places
          # anything at random there; without it about one start in five
          # thousand dies before main with exit code 1 and no message.
          wine64-preloader
          xvfb xdotool x11-apps x11-utils imagemagick locales fonts-ipafont-gothic
          # Wine's own fonts: Marlett draws the caption buttons, Tahoma and
          # MS Sans Serif the system's texts, as on Windows.
          fonts-wine
          clang libclang-rt-14-dev nlohmann-json3-dev
          # chmcmd, which compiles the help file, and python3 for its check
          fp-utils python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
