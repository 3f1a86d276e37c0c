#!/usr/bin/env bash
# Loads a folder of COUNT small images (default 100000, made once under $BENCH_DIR, default
# /tmp/folioset-bench/list) into the folioset2 window offscreen and sorts the list by each
# column. The images are hard links of one small JPEG: the load still opens and probes each.
#
# Environment: FOLIOSET_BUILD (default <repo>/build), COUNT, BENCH_DIR.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${FOLIOSET_BUILD:-$repo/build}
count=${COUNT:-100000}
folder=${BENCH_DIR:-/tmp/folioset-bench}/list-$count
program="$build/bench/folioset_listload"
[ -x "$program" ] || cmake --build "$build" --target folioset_listload >/dev/null
if [ ! -d "$folder" ]; then
    mkdir -p "$folder"
    "$build/bench/folioset_makecorpus" small "$folder/seed" 1 >/dev/null
    seed=$(find "$folder/seed" -type f | head -1)
    for ((i = 0; i < count; i++)); do
        sub=$((i / 1000))
        [ $((i % 1000)) -eq 0 ] && mkdir -p "$folder/$sub"
        ln "$seed" "$folder/$sub/img$i.jpg"
    done
    rm -rf "$folder/seed"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME="$home" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home" "$program" "$folder"
