#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for a bounded time from seed corpora made by the build itself. Not part of the
# test suite.
#
#   bash scripts/fuzz.sh [TARGET...]      (default: every target; names as in fuzz/, e.g. png)
#
# Environment:
#   FUZZ_SECONDS  time per target (default 60)
#   FUZZ_BUILD    build folder (default <repo>/build-fuzz)
#   FUZZ_DIR      seeds, the growing corpora, crash inputs and logs (default $FUZZ_BUILD/runs)
# Exits 1 when any target found a crash, a hang or a leak; its input is under
# $FUZZ_DIR/artifacts/<target>/, to be reproduced with: $FUZZ_BUILD/fuzz/fuzz_<target> <file>.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$root/build-fuzz}"
runs="${FUZZ_DIR:-$build/runs}"
seconds="${FUZZ_SECONDS:-60}"
all=(jpeg png bmp gif tiff exif icc pageranges pathlist usagerecord settings)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

# clang and its sanitizer and fuzzer runtimes, for this script only.
missing=()
for p in clang libclang-rt-14-dev llvm; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
"$root/scripts/install-deps.sh"

# Tools that run during the build (the manual's layout) are instrumented too; their leaks at
# exit are not what is being looked for.
export ASAN_OPTIONS=detect_leaks=0
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFOLIOSET_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target folioset_fuzzseeds "${targets[@]/#/fuzz_}"
rm -rf "$runs/seeds"
QT_QPA_PLATFORM=offscreen "$build/fuzz/folioset_fuzzseeds" "$runs/seeds"
unset ASAN_OPTIONS

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
symbolizer=$(command -v llvm-symbolizer || ls /usr/lib/llvm-*/bin/llvm-symbolizer 2>/dev/null | head -n1)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"

status=0
printf '%-12s %12s %10s %8s  %s\n' target executions "per sec" corpus result
for target in "${targets[@]}"; do
    corpus="$runs/corpus/$target"
    artifacts="$runs/artifacts/$target/"
    log="$runs/logs/$target.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    result=clean
    # Scratch files of the image readers go to a folder of this run's own.
    scratch=$(mktemp -d)
    if ! TMPDIR="$scratch" "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=25 \
        -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$corpus" "$runs/seeds/$target" >"$log" 2>&1; then
        result="FOUND: $(ls -t "$artifacts" | head -n1) (see $log)"
        status=1
    fi
    rm -rf "$scratch"
    executions=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log" | tail -n1)
    rate=$(awk '/stat::average_exec_per_sec/ { print $2 }' "$log" | tail -n1)
    size=$(find "$corpus" -type f | wc -l)
    printf '%-12s %12s %10s %8s  %s\n' "$target" "${executions:-?}" "${rate:-?}" "$size" "$result"
done
exit $status
