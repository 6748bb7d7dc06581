#!/bin/sh
# Prints the Wine prefix PATH as an absolute path (Wine refuses a relative
# WINEPREFIX and ends at once without a word). A relative PATH is taken from
# the current folder; its parent folder is made when missing.
#   absolute-prefix.sh PATH
set -u
path=${1:-}
if [ -z "$path" ]; then
  echo "no Wine prefix given" >&2
  exit 1
fi
case $path in
  /*) ;;
  *) path="$(pwd)/$path" ;;
esac
parent=$(dirname "$path")
if ! mkdir -p "$parent" 2>/dev/null || ! parent=$(cd "$parent" 2>/dev/null && pwd -P); then
  echo "cannot make the Wine prefix $path: its folder cannot be made or entered" >&2
  exit 1
fi
echo "$parent/$(basename "$path")"
