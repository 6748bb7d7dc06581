#!/bin/sh
# Runs every fuzz target for SECONDS on a scratch copy of its seed corpus
# (the checked-in corpus is never written to). Fails when a target finds a
# crash, a leak or a broken invariant; the input that did it is kept under
# BUILD_DIR/fuzz-artifacts/.
#
# usage: run-fuzzers.sh BUILD_DIR SECONDS
set -u
if [ $# -ne 2 ]; then
    echo "usage: run-fuzzers.sh BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
# On tmpfs when there is one: the rewrites flush every file they write.
base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    base=/dev/shm
fi
scratch=$(mktemp -d "$base/fenlop-fuzz-run.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT INT TERM
# The targets' own files, also those of a target that crashed.
mkdir -p "$scratch/tmp"
export TMPDIR="$scratch/tmp"
artifacts="$build/fuzz-artifacts"
# The address sanitizer keeps freed memory aside before it is used again,
# 256 MB of it by default: every run's buffers then land on fresh pages, and
# the page faults took most of a run's time. 16 MB still holds what the
# last dozens of runs freed, so a use after a free is still caught.
export ASAN_OPTIONS="quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
mkdir -p "$artifacts"

failed=0
for corpus in "$here"/corpus/*/; do
    name=$(basename "$corpus")
    binary="$build/tests/fuzz/fuzz_$name"
    if [ ! -x "$binary" ]; then
        echo "run-fuzzers: $binary is missing" >&2
        failed=1
        continue
    fi
    mkdir -p "$scratch/$name"
    cp "$corpus"/* "$scratch/$name/"
    # The reader's and the rewrite's inputs are held to 2 KB: every limit
    # of the mark-up below 64 KB (a name, a name path, a line, the depth of
    # 256) is passed within that, and short inputs run many times as fast.
    # Longer seeds are cut to that length when read: deep-short and
    # cut-deep-short nest past 256 levels in under 2 KB. Not reached here
    # (the core tests hold them): a phrase or a read-ahead of 64 KB, and a
    # file that nests exactly 256 levels and closes them (2.8 KB at least).
    limit=
    case $name in
        reader | rewrite) limit=-max_len=2048 ;;
    esac
    echo "fuzz_$name: $seconds s"
    if ! "$binary" $limit -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
            -print_final_stats=0 -artifact_prefix="$artifacts/$name-" \
            "$scratch/$name" >"$scratch/$name.log" 2>&1; then
        echo "run-fuzzers: fuzz_$name failed:" >&2
        grep -E 'ERROR|SUMMARY|check failed|Test unit written|==[0-9]+==' "$scratch/$name.log" | head -20 >&2
        failed=1
    else
        grep -E '^#[0-9]+.*DONE' "$scratch/$name.log" | tail -1
    fi
done
exit $failed
