#!/usr/bin/env bash
# Peak memory of folioset-cli on single large pages: a 20,000 x 20,000 8-bit gray text scan
# (LZW in strips of 64 rows), the same page bilevel (Group 4 in one strip, as scanners write it)
# and a 12,000 x 9,000 RGB photo (LZW). Each page is converted on its own; the table gives the
# peak resident set size (/usr/bin/time -v), the wall time and the sizes in and out.
#
# Environment:
#   BENCH_DIR      where the pages and outputs go (default /tmp/folioset-bench); pages are reused
#   FOLIOSET_BUILD build folder for folioset-cli and the page generator (default
#                  <repo>/build-bench, configured in Release mode when it is new)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
bench_dir=${BENCH_DIR:-/tmp/folioset-bench}
build=${FOLIOSET_BUILD:-$repo/build-bench}

if [ ! -x /usr/bin/time ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q time >/dev/null
fi
[ -f "$build/CMakeCache.txt" ] || cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target folioset-cli folioset_makecorpus -j"$(nproc)" >/dev/null

megabytes() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }

printf '%-10s %-22s %9s %8s %9s %10s  %s\n' page pixels "input MB" "wall s" "RSS MB" \
    "output MB" ""
for entry in "largegray 20000x20000-gray" "largeg4 20000x20000-G4" "largergb 12000x9000-RGB"; do
    read -r set pixels <<<"$entry"
    "$build/bench/folioset_makecorpus" "$set" "$bench_dir/corpus/$set" 1
    input=$(find "$bench_dir/corpus/$set" -maxdepth 1 -type f -name '*.tif' | sort | head -n 1)
    out=$bench_dir/out/large-$set
    rm -rf "$out" && mkdir -p "$out"
    cat "$input" >/dev/null # from the page cache, like the other benchmarks
    status=0
    /usr/bin/time -v -o "$out/time.txt" "$build/cli/folioset-cli" -q --mode merge --name "$set" \
        -o "$out/pdf" --log-dir "$out/logs" "$input" >"$out/stdout" 2>"$out/stderr" || status=$?
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, p, ":"); s = 0
        for (i = 1; i <= n; i++) s = s * 60 + p[i]
        printf "%.2f", s }' "$out/time.txt")
    rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$out/time.txt")
    pdf=$out/pdf/$set.pdf
    if [ "$status" -ne 0 ] || [ ! -s "$pdf" ]; then
        printf '%-10s %-22s %9s %8s %9s %10s  %s\n' "$set" "$pixels" "$(megabytes "$input")" \
            "$wall" "$rss" "-" "failed (exit $status): $(head -c 70 "$out/stderr")"
    else
        printf '%-10s %-22s %9s %8s %9s %10s\n' "$set" "$pixels" "$(megabytes "$input")" \
            "$wall" "$rss" "$(megabytes "$pdf")"
    fi
    rm -rf "$out/pdf"
done
