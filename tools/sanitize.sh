#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite.
# Leaks are reported too; tests/lsan.supp names the third-party ones that are not ours. The
# speech and sound tests run with whole stacks (slow, but the fast unwinder stops inside the media
# libraries' failure paths, where a suppression by library name cannot see whose leak it is).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BANDHOPPER_SANITIZE_DIR:-build-san}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBANDHOPPER_SANITIZE=ON \
    -DBANDHOPPER_BUILD_APP=OFF -DBANDHOPPER_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)"
cd "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/../tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 300 -E '^(QueuedSpeech|ResourceSounds)'
ASAN_OPTIONS=$ASAN_OPTIONS:fast_unwind_on_malloc=0 QT_QPA_PLATFORM=offscreen \
    ctest --output-on-failure -j "$(nproc)" --timeout 300 -R '^(QueuedSpeech|ResourceSounds)'

