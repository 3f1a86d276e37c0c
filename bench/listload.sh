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
if [ ! -f "$folder/.complete" ]; then
    rm -rf "$folder"
    mkdir -p "$folder"
    "$build/bench/folioset_makecorpus" small "$folder/seeds" 20 >/dev/null
    # Hard links of a few seeds (a file system allows only so many links to one file): the load
    # still finds, opens and probes every one of them.
    python3 - "$folder" "$count" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
seeds = sorted(os.path.join(folder, "seeds", f) for f in os.listdir(os.path.join(folder, "seeds")))
for i in range(count):
    sub = os.path.join(folder, str(i // 1000))
    if i % 1000 == 0:
        os.makedirs(sub, exist_ok=True)
    os.link(seeds[i % len(seeds)], os.path.join(sub, "img%d.jpg" % i))
PY
    rm -rf "$folder/seeds"
    touch "$folder/.complete"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME="$home" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home" "$program" "$folder"
