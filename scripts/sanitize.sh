#!/usr/bin/env bash
# Builds the program and the whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (GCC) into ./build-sanitize (or $SANITIZE_BUILD) and runs the suite
# there. Any report of either fails the test that caused it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${SANITIZE_BUILD:-$root/build-sanitize}"
"$root/scripts/install-deps.sh"
# Tools run during the build are instrumented too; leaks at their exit are not the question.
ASAN_OPTIONS=detect_leaks=0 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DFOLIOSET_SANITIZE=ON -DFOLIOSET_BENCH=OFF >/dev/null
ASAN_OPTIONS=detect_leaks=0 cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Qt's D-Bus connection keeps a few objects to the end of a process that had a session bus (the
# keyring tests give theirs one): Qt's, not ours.
export LSAN_OPTIONS="suppressions=$root/tests/lsan-suppressions.txt"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 1500
