#!/usr/bin/env bash
# Soak run: the window (offscreen) against two simulated radiosondes with
# bad CRCs, noise, silences and hang-ups, changing port every few seconds,
# for MINUTES minutes (default 10). Fails when a good telemetry frame is
# lost without a fault or port change to explain it, when the telemetry
# stops, when resident memory grows by 1 MB or more after the warm-up, when
# the descriptors change, or on a crash. Further arguments go to the
# harness (--change-every S, --seed N, --flood).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
kalvi7_ensure_packages "${KALVI7_RUN_PACKAGES[@]}" "${KALVI7_TEST_PACKAGES[@]}"

minutes=${1:-10}
shift || true
build=${BUILD_DIR:-build-bench}

if [ -f "$build/CMakeCache.txt" ]; then
    cmake -B "$build" -DKALVI7_BENCH=ON >/dev/null
else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVI7_BENCH=ON >/dev/null
fi
cmake --build "$build" --target kalvi7-soak kalvi7-sim

# One soak at a time: a simulator that hangs up gets a new pseudo-terminal
# and moves its link, and until it has, the old link may name a terminal
# that another soak's simulator has just been given.
exec 9>"${TMPDIR:-/tmp}/kalvi7-soak.lock"
flock -n 9 || { echo "soak: another soak is running on this machine" >&2; exit 2; }

echo "soak: $minutes minutes on $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u '+%Y-%m-%d %H:%M UTC')"
QT_QPA_PLATFORM=offscreen "$build/kalvi7-soak" --minutes "$minutes" "$@" 9>&-
