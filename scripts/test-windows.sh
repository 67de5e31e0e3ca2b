#!/usr/bin/env bash
# The Windows step of scripts/test.sh, on its own:
#
#   scripts/test-windows.sh [LINUX_BUILD]
#
# LINUX_BUILD (default build) holds the Linux kalvi7-sim and kalvi7-ctl the
# Windows programs are proven against. Builds Qt for Windows if this
# machine has none yet (scripts/windows-qt.sh; test.sh starts that at its
# beginning, and this waits for it), then:
#   1. the Windows programs and their tests (preset windows-tests), the
#      tests run under Wine in a prefix made afresh;
#   2. the window and kalvi7-ctl.exe against the simulator on a COM port;
#   3. the zip and the installer (scripts/windows.sh), each installed into
#      a fresh prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=${1:-build}
source scripts/deps.sh
kalvi7_ensure_packages "${KALVI7_WINDOWS_PACKAGES[@]}" "${KALVI7_WINE_PACKAGES[@]}" \
    "${KALVI7_SCREENSHOT_PACKAGES[@]}" googletest
jobs=$(nproc)
step() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }

step "Windows: Qt for MinGW (built once per machine, then taken from its cache)"
KALVI7_QT_WINDOWS=$(scripts/windows-qt.sh | tail -n 1)
export KALVI7_QT_WINDOWS

step "Windows: the programs and the tests under Wine"
# The tests' own Wine prefix, made afresh for each run.
export KALVI7_WINEPREFIX="$PWD/build-windows-tests/wine-prefix"
rm -rf "$KALVI7_WINEPREFIX"
cmake --preset windows-tests -DKALVI7_WERROR=ON -DKALVI7_LINUX_BUILD="$(cd "$linux_build" && pwd)" >/dev/null
cmake --build --preset windows-tests -j"$jobs"
ctest --test-dir build-windows-tests --output-on-failure -j"$jobs" --timeout 600
tests/wine/window_under_wine.sh "$linux_build" build-windows-tests/kalvi7.exe
tests/wine/ctl_under_wine.sh "$linux_build" build-windows-tests/kalvi7-ctl.exe

step "Windows: the zip and the installer, installed under Wine"
scripts/windows.sh
tests/wine/package_under_wine.sh
