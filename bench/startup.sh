#!/usr/bin/env bash
# How long an edition takes from being started to its first painted window, offscreen, over
# several runs: the time from exec to the first paint (program loading included) and the time
# from main() to the first paint. Uses its own empty home so no user's settings are read.
#
#   bench/startup.sh [folioset2|folioset1]     (folioset2 when not given)
#
# Environment: FOLIOSET_BUILD (default <repo>/build), RUNS (default 15).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${FOLIOSET_BUILD:-$repo/build}
runs=${RUNS:-15}
edition=${1:-folioset2}
program="$build/bench/folioset_windowstartup"
[ -x "$program" ] || cmake --build "$build" --target folioset_windowstartup >/dev/null
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home"

"$program" "$edition" >/dev/null 2>&1 || true # a first, cold start fills the caches; not counted
totals=()
mains=()
for _ in $(seq "$runs"); do
    started=$(date +%s%N)
    output=$("$program" "$edition" 2>/dev/null)
    painted=$(sed -n 's/^painted_at_ns //p' <<<"$output")
    totals+=("$(( (painted - started) / 1000 ))")
    mains+=("$(sed -n 's/^since_main_ms //p' <<<"$output")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
max() { printf '%s\n' "$@" | sort -n | tail -1; }
printf '%s, runs: %d\n' "$edition" "$runs"
printf 'start to first paint: median %.1f ms, slowest %.1f ms\n' \
    "$(awk "BEGIN {print $(median "${totals[@]}")/1000}")" \
    "$(awk "BEGIN {print $(max "${totals[@]}")/1000}")"
printf 'main() to first paint: median %s ms, slowest %s ms\n' "$(median "${mains[@]}")" \
    "$(max "${mains[@]}")"
