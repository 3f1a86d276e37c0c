#!/usr/bin/env bash
# Times `folioset-cli --mode merge` against cat (the floor for a lossless tool: the same bytes
# read and written once), img2pdf and ImageMagick's convert on the same image sets, and checks
# that folioset-cli's memory stays flat as a JPEG set grows.
#
# Environment:
#   BENCH_DIR      corpus and outputs (default /tmp/folioset-bench); the corpus is reused
#   FOLIOSET_BUILD build folder for folioset-cli and the corpus generator (default
#                  <repo>/build-bench, configured in Release mode when it is new)
#   PHOTOS SMALL SCANS TIFFS BMPS GIFS   set sizes (default 200 2000 50 20 20 20)
#   FLAT_LOW       smaller JPEG count of the flat-memory check (default 50)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
bench_dir=${BENCH_DIR:-/tmp/folioset-bench}
build=${FOLIOSET_BUILD:-$repo/build-bench}
photos=${PHOTOS:-200}
small=${SMALL:-2000}
scans=${SCANS:-50}
tiffs=${TIFFS:-20}
bmps=${BMPS:-20}
gifs=${GIFS:-20}
flat_low=${FLAT_LOW:-50}

say() { printf '%s\n' "$*" >&2; }

install_missing() {
    local missing=()
    command -v img2pdf >/dev/null || missing+=(img2pdf)
    [ -x /usr/bin/convert ] || missing+=(imagemagick)
    [ -x /usr/bin/time ] || missing+=(time)
    command -v qpdf >/dev/null || missing+=(qpdf)
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    say "installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}" >/dev/null
}

build_tools() {
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target folioset-cli folioset_makecorpus -j"$(nproc)" >/dev/null
}

# The first N files of a set, in name order.
set_files() {
    find "$bench_dir/corpus/$1" -maxdepth 1 -type f ! -name '.*' | sort | head -n "$2"
}

# Runs a command under /usr/bin/time -v; sets wall (seconds), rss (MB) and status.
measure() {
    local report=$bench_dir/time.txt
    status=0
    /usr/bin/time -v -o "$report" "$@" >"$bench_dir/last.out" 2>"$bench_dir/last.err" || status=$?
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, p, ":"); s = 0
        for (i = 1; i <= n; i++) s = s * 60 + p[i]
        printf "%.2f", s }' "$report")
    rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$report")
}

megabytes() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }
pages() { qpdf --show-npages "$1" 2>/dev/null || echo "?"; }

# Debian ships a policy that forbids ImageMagick to write PDF; say so instead of timing errors.
imagemagick_state() {
    local probe=$bench_dir/probe.pdf err
    if err=$(/usr/bin/convert -size 8x8 xc:white "$probe" 2>&1); then
        echo ok
    elif grep -q 'security policy' <<<"$err"; then
        echo policy
    else
        echo "broken: $(head -n 1 <<<"$err")"
    fi
    rm -f "$probe"
}

row() { printf '%-8s %-12s %9s %8s %9s %10s %6s  %s\n' "$@"; }

run_set() {
    local name=$1 count=$2
    local -a files
    mapfile -t files < <(set_files "$name" "$count")
    local out=$bench_dir/out/$name
    rm -rf "$out" && mkdir -p "$out"
    cat "${files[@]}" >/dev/null # warm the page cache so every tool reads from memory

    measure sh -c 'cat "$@" >"$0"' "$out/cat.bin" "${files[@]}"
    local cat_wall=$wall
    row "$name" cat "$wall" "1.00" "$rss" "$(megabytes "$out/cat.bin")" "-" "${#files[@]} files"
    rm -f "$out/cat.bin"
    # folioset-cli flushes each PDF to disk before renaming it into place; this is the floor
    # for a tool that does the same.
    measure sh -c 'cat "$@" >"$0" && sync -f "$0"' "$out/cat.bin" "${files[@]}"
    row "$name" "cat+sync" "$wall" "$(awk -v a="$wall" -v b="$cat_wall" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }')" "$rss" "$(megabytes "$out/cat.bin")" "-" ""
    rm -f "$out/cat.bin"

    local tool target
    for tool in folioset-cli img2pdf convert; do
        case $tool in
        folioset-cli)
            target=$out/folioset/$name.pdf
            measure "$build/cli/folioset-cli" -q --mode merge --name "$name" -o "$out/folioset" \
                --log-dir "$out/logs" "${files[@]}" ;;
        img2pdf)
            target=$out/img2pdf.pdf
            measure img2pdf -o "$target" "${files[@]}" ;;
        convert)
            target=$out/convert.pdf
            if [ "$im_state" = policy ]; then
                row "$name" convert "-" "-" "-" "-" "-" "refused: ImageMagick's security policy forbids writing PDF"
                continue
            elif [ "$im_state" != ok ]; then
                row "$name" convert "-" "-" "-" "-" "-" "$im_state"
                continue
            fi
            measure /usr/bin/convert "${files[@]}" "$target" ;;
        esac
        local ratio note=""
        ratio=$(awk -v a="$wall" -v b="$cat_wall" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }')
        if [ "$status" -ne 0 ] || [ ! -s "$target" ]; then
            note="failed (exit $status): $(grep -v '^$' "$bench_dir/last.err" | head -n 1 | cut -c1-70)"
            row "$name" "$tool" "$wall" "$ratio" "$rss" "-" "-" "$note"
        else
            row "$name" "$tool" "$wall" "$ratio" "$rss" "$(megabytes "$target")" "$(pages "$target")"
        fi
        rm -rf "$target" "$out/folioset"
    done
}

install_missing
build_tools
mkdir -p "$bench_dir/corpus"
say "making the corpus in $bench_dir/corpus (kept for the next run)"
for entry in "photos $photos" "small $small" "scans $scans" "tiffs $tiffs" "bmps $bmps" "gifs $gifs"; do
    read -r name count <<<"$entry"
    "$build/bench/folioset_makecorpus" "$name" "$bench_dir/corpus/$name" "$count"
done

im_state=$(imagemagick_state)
[ "$im_state" = policy ] &&
    say "ImageMagick: its security policy (/etc/ImageMagick-6/policy.xml) forbids writing PDF; convert is not timed."

echo "folioset-cli $("$build/cli/folioset-cli" --version | awk '{print $2}'), $(img2pdf --version 2>&1 | head -n 1)," \
    "$(/usr/bin/convert -version | head -n 1 | cut -d' ' -f2-3), $(nproc) cores"
row set tool "wall s" "x cat" "RSS MB" "output MB" pages ""
for entry in "photos $photos" "small $small" "scans $scans" "tiffs $tiffs" "bmps $bmps" "gifs $gifs"; do
    read -r name count <<<"$entry"
    run_set "$name" "$count"
done

echo
echo "flat memory: folioset-cli --mode merge on the 4000x3000 JPEG set"
for count in "$flat_low" "$photos"; do
    mapfile -t files < <(set_files photos "$count")
    out=$bench_dir/out/flat
    rm -rf "$out"
    measure "$build/cli/folioset-cli" -q --mode merge --name flat -o "$out" --log-dir "$out/logs" "${files[@]}"
    printf '%5d files: peak RSS %s MB, %s s, exit %s\n' "${#files[@]}" "$rss" "$wall" "$status"
    rm -rf "$out"
done
