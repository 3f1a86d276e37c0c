#!/usr/bin/env bash
# A long run on many mixed inputs, a tenth of them damaged, in each of the three modes. For each
# it prints the time, the peak memory, the most descriptors open at once, and checks from the
# run's JSON report and the PDFs themselves that every good input became a page and that
# exactly the damaged ones were refused.
#
# Environment:
#   BENCH_DIR      corpus and outputs (default /tmp/folioset-bench); the corpus is reused
#   FOLIOSET_BUILD build folder (default <repo>/build-bench, Release when it is new)
#   COUNT          inputs (default 10000)
#   GROUP_SIZE     images per PDF in group mode (default 25)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bench_dir=${BENCH_DIR:-/tmp/folioset-bench}
build=${FOLIOSET_BUILD:-$repo/build-bench}
count=${COUNT:-10000}
group_size=${GROUP_SIZE:-25}

# shellcheck source=bench/timing.sh
source "$repo/bench/timing.sh"

missing=()
[ -x /usr/bin/time ] || missing+=(time)
command -v qpdf >/dev/null || missing+=(qpdf)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}" >/dev/null
fi
[ -f "$build/CMakeCache.txt" ] || cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target folioset-cli folioset_makecorpus -j"$(nproc)" >/dev/null

corpus=$bench_dir/corpus/mixed
echo "making $count mixed inputs in $corpus (kept for the next run)" >&2
"$build/bench/folioset_makecorpus" mixed "$corpus" "$count"
list=$bench_dir/soak-inputs.txt
find "$corpus" -maxdepth 1 -type f ! -name '.*' | sort | head -n "$count" >"$list"
bad=$(grep -c -- '-bad\.' "$list" || true)

# Starts the command in the background and watches its descriptors until it ends; sets wall,
# rss (MB), fds (highest count seen) and status.
watch_run() {
    local timing=$bench_dir/soak-time.txt
    sync
    /usr/bin/time -v -o "$timing" "$@" >/dev/null 2>"$bench_dir/soak.err" &
    local timer=$! child="" n
    fds=0
    while kill -0 "$timer" 2>/dev/null; do
        [ -z "$child" ] && child=$(pgrep -P "$timer" || true)
        if [ -n "$child" ] && n=$(ls "/proc/$child/fd" 2>/dev/null | wc -l) && [ "$n" -gt "$fds" ]; then
            fds=$n
        fi
        sleep 0.01
    done
    status=0
    wait "$timer" || status=$?
    read_timing "$timing"
}

# Reads the report (of a run in mode $2) and the PDFs it names: prints "pages, PDFs, refused,
# verdict".
check() {
    python3 - "$1" "$list" "$2" <<'EOF'
import json, subprocess, sys
report, inputs, mode = sys.argv[1], sys.argv[2], sys.argv[3]
paths = [line.rstrip("\n") for line in open(inputs, encoding="utf-8", errors="surrogateescape")]
bad = {p for p in paths if "-bad." in p}
good = len(paths) - len(bad)
refused, pages, pdfs, unwritten, problems = set(), 0, 0, 0, []
for line in open(report, encoding="utf-8"):
    entry = json.loads(line)
    if entry["kind"] == "input":
        refused.add(entry["path"])
    elif entry["kind"] == "output" and entry["status"] == "written":
        pdfs += 1
        pages += entry["pages"]
        found = subprocess.run(["qpdf", "--show-npages", entry["path"]], capture_output=True,
                               text=True).stdout.strip()
        if found != str(entry["pages"]):
            problems.append(f"{entry['path']}: {found or 'unreadable'} pages, report says {entry['pages']}")
    elif entry["kind"] == "output":
        unwritten += 1
# One PDF per input: the damaged ones have none; otherwise every PDF has good pages in it.
if unwritten != (len(bad) if mode == "single" else 0):
    problems.append(f"{unwritten} PDFs not written")
if refused != bad:
    problems.append(f"refused {len(refused)} inputs, {len(refused & bad)} of them damaged")
if pages != good:
    problems.append(f"{pages} pages for {good} good inputs")
print(pages, pdfs, len(refused), "; ".join(problems[:3]) or "every good input is a page")
EOF
}

echo "folioset-cli on $count inputs ($bad damaged), $(nproc) cores"
printf '%-7s %8s %8s %7s %6s %7s %5s %8s  %s\n' mode "time s" "RSS MB" "max fd" exit pages PDFs refused check
for mode in merge single group; do
    out=$bench_dir/out/soak-$mode
    rm -rf "$out" && mkdir -p "$out"
    report=$out/report.jsonl
    args=(--mode "$mode" -q --report "$report" -o "$out/pdf" --log-dir "$out/logs" --from-file "$list")
    [ "$mode" = single ] || args+=(--name soak)
    [ "$mode" = group ] && args+=(--group-size "$group_size")
    watch_run "$build/cli/folioset-cli" "${args[@]}"
    read -r pages pdfs refused verdict < <(check "$report" "$mode")
    printf '%-7s %8s %8s %7s %6s %7s %5s %8s  %s\n' "$mode" "$wall" "$rss" "$fds" "$status" \
        "$pages" "$pdfs" "$refused" "$verdict"
    rm -rf "$out"
done
