#!/usr/bin/env bash
# Times `folioset-cli --mode merge` against the floor for a lossless tool that makes its output
# durable: cat of the same bytes followed by a flush of the result to disk (cat+sync), since
# folioset-cli flushes each PDF before it takes its name. Plain cat, img2pdf and ImageMagick's
# convert stand beside it, with the size of each one's PDF: folioset-cli's size and time are also
# given as a share of img2pdf's. Also checks that folioset-cli's memory stays flat as a set grows.
#
# The machine may be shared: each of cat, cat+sync and folioset-cli is timed RUNS times and the
# best time is kept; img2pdf and convert, far slower, are timed once. Every timed run starts
# with the page cache holding the inputs and nothing of an earlier run left to flush.
#
# Environment:
#   BENCH_DIR      corpus and outputs (default /tmp/folioset-bench); the corpus is reused
#   FOLIOSET_BUILD build folder for folioset-cli and the corpus generator (default
#                  <repo>/build-bench, configured in Release mode when it is new)
#   PHOTOS SMALL SCANS TIFFS BMPS GIFS   set sizes (default 200 2000 50 20 20 20)
#   RUNS           timed runs of cat, cat+sync and folioset-cli per set (default 3)
#   FLAT_LOW       smaller counts of the flat-memory check, as photos/small (default 50/500)
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
runs=${RUNS:-3}
flat_low=${FLAT_LOW:-50/500}

# shellcheck source=bench/timing.sh
source "$repo/bench/timing.sh"

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

# Runs a command under /usr/bin/time -v; sets wall (seconds), rss (MB) and status. Whatever an
# earlier run left to write is flushed first, untimed, so that it is not charged to this one.
measure() {
    local report=$bench_dir/time.txt
    sync
    status=0
    /usr/bin/time -v -o "$report" "$@" >"$bench_dir/last.out" 2>"$bench_dir/last.err" || status=$?
    read_timing "$report"
}

# measure, RUNS times, with CLEANUP (a command) before each; keeps the best wall time, the
# largest RSS and the first failing status.
best_of() {
    local cleanup=$1 best="" best_rss=0 first_status=0 i
    shift
    for ((i = 0; i < runs; i++)); do
        eval "$cleanup"
        measure "$@"
        [ "$status" -ne 0 ] && [ "$first_status" -eq 0 ] && first_status=$status
        if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$wall
        fi
        [ "$rss" -gt "$best_rss" ] && best_rss=$rss
    done
    wall=$best rss=$best_rss status=$first_status
}

ratio() { awk -v a="$1" -v b="$2" -v d="${3:-2}" 'BEGIN { if (b > 0) printf "%.*f", d, a / b; else print "-" }'; }

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

row() { printf '%-7s %6s %7s %6s %8s %9s %7s %6s %7s %6s %9s %7s %6s %7s %7s %7s  %s\n' "$@"; }

run_set() {
    local name=$1 count=$2
    local -a files
    mapfile -t files < <(set_files "$name" "$count")
    local out=$bench_dir/out/$name
    rm -rf "$out" && mkdir -p "$out"
    cat "${files[@]}" >/dev/null # warm the page cache so every tool reads from memory
    local input_mb
    input_mb=$(cat "${files[@]}" | wc -c | awk '{ printf "%.1f", $1 / 1048576 }')

    best_of 'rm -f "$out/cat.bin"' sh -c 'cat "$@" >"$0"' "$out/cat.bin" "${files[@]}"
    local cat_wall=$wall
    # The file alone is flushed, as folioset-cli flushes its PDF: sync -f would also wait for
    # whatever else on the file system is dirty.
    best_of 'rm -f "$out/cat.bin"' sh -c 'cat "$@" >"$0" && sync "$0"' "$out/cat.bin" "${files[@]}"
    local floor=$wall
    rm -f "$out/cat.bin"

    local target=$out/folioset/$name.pdf
    best_of 'rm -rf "$out/folioset"' "$build/cli/folioset-cli" -q --mode merge --name "$name" \
        -o "$out/folioset" --log-dir "$out/logs" "${files[@]}"
    local fol_wall=$wall fol_rss=$rss fol_mb="-" fol_pages="-" fol_bytes=0
    if [ "$status" -ne 0 ] || [ ! -s "$target" ]; then
        fol_wall="failed"
        say "$name: folioset-cli failed (exit $status): $(grep -v '^$' "$bench_dir/last.err" | head -n 1)"
    else
        fol_mb=$(megabytes "$target")
        fol_bytes=$(stat -c %s "$target")
        fol_pages=$(pages "$target")
    fi
    rm -rf "$out/folioset"

    local img_wall="failed" img_rss="-" img_ratio="-" img_mb="-" size_ratio="-" time_ratio="-"
    target=$out/img2pdf.pdf
    rm -f "$target"
    measure img2pdf -o "$target" "${files[@]}"
    if [ "$status" -eq 0 ] && [ -s "$target" ]; then
        img_wall=$wall img_rss=$rss img_ratio=$(ratio "$wall" "$floor") img_mb=$(megabytes "$target")
        if [ "$fol_wall" != failed ]; then
            size_ratio=$(ratio "$fol_bytes" "$(stat -c %s "$target")" 3)
            time_ratio=$(ratio "$fol_wall" "$wall")
        fi
    else
        say "$name: img2pdf failed (exit $status): $(grep -v '^$' "$bench_dir/last.err" | head -n 1)"
    fi
    rm -f "$target"

    local convert_note
    if [ "$im_state" = policy ]; then
        convert_note="convert: refused by ImageMagick's policy"
    elif [ "$im_state" != ok ]; then
        convert_note="convert: $im_state"
    else
        target=$out/convert.pdf
        measure /usr/bin/convert "${files[@]}" "$target"
        convert_note="convert: $wall s, $rss MB"
        [ "$status" -eq 0 ] && [ -s "$target" ] || convert_note="convert: failed (exit $status)"
        rm -f "$target"
    fi

    row "$name" "${#files[@]}" "$input_mb" "$cat_wall" "$floor" "$fol_wall" \
        "$(ratio "$fol_wall" "$floor")" "$fol_rss" "$fol_mb" "$fol_pages" "$img_wall" "$img_ratio" \
        "$img_rss" "$img_mb" "$size_ratio" "$time_ratio" "$convert_note"
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
    "$(/usr/bin/convert -version | head -n 1 | cut -d' ' -f2-3), $(nproc) cores, best of $runs runs"
echo "floor = cat+sync; x floor = wall time / floor; times in s, sizes in MB (RSS: peak);" \
    "size x, time x: folioset-cli's output size and wall time / img2pdf's"
row set files "in MB" cat floor folioset "x floor" RSS "out MB" pages img2pdf "x floor" RSS "out MB" \
    "size x" "time x" ""
for entry in "photos $photos" "small $small" "scans $scans" "tiffs $tiffs" "bmps $bmps" "gifs $gifs"; do
    read -r name count <<<"$entry"
    run_set "$name" "$count"
done

echo
echo "flat memory: folioset-cli --mode merge, peak RSS as a set grows"
for entry in "photos ${flat_low%/*} $photos" "small ${flat_low#*/} $small"; do
    read -r name low high <<<"$entry"
    for count in "$low" "$high"; do
        mapfile -t files < <(set_files "$name" "$count")
        out=$bench_dir/out/flat
        rm -rf "$out"
        measure "$build/cli/folioset-cli" -q --mode merge --name flat -o "$out" --log-dir "$out/logs" "${files[@]}"
        printf '%-7s %5d files: peak RSS %s MB, %s s, exit %s\n' "$name" "${#files[@]}" "$rss" "$wall" "$status"
        rm -rf "$out"
    done
done
