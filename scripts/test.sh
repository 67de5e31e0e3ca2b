#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the whole suite (unit, pseudo-terminal, window offscreen, end-to-end);
#   2. the same suite built with AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the Windows cross-compile check of the serial driver and the core;
#   4. each fuzz target for FUZZ_SECONDS (default 60).
# Any failure or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
kalvi7_ensure_packages "${KALVI7_RUN_PACKAGES[@]}" "${KALVI7_TEST_PACKAGES[@]}"

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

step() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }
# Every build here treats a warning in the project's code as an error (a
# user's build does not); BUILD_TESTING is named since run.sh turns it off
# in build/.
werror=(-DKALVI7_WERROR=ON)

step "build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "${werror[@]}" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

step "sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVI7_SANITIZE=ON "${werror[@]}" >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600

if [ -x scripts/check-windows.sh ]; then
    step "Windows cross-compile"
    scripts/check-windows.sh --strict
fi

if [ -x scripts/fuzz.sh ]; then
    step "fuzzing"
    KALVI7_WERROR=ON scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
fi

step "all green"
