#!/usr/bin/env bash
# Every performance figure of docs/performance.md, measured afresh on this
# machine: the checksum, the receiver and the decoders (Google Benchmark),
# the whole path from the simulator to the widgets, and the program's
# processor share and wake-ups at line rate and on an idle line.
#   scripts/bench.sh            full run (about 8 minutes)
#   CPU_SECONDS=20 scripts/bench.sh   shorter processor-share windows
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# Xvfb for the measurement with a shown (inactive) window; xdotool sends it
# the service key chord for the service page.
kalvi7_ensure_packages "${KALVI7_RUN_PACKAGES[@]}" "${KALVI7_TEST_PACKAGES[@]}" xvfb xdotool

build=${BUILD_DIR:-build-bench}
cpu_seconds=${CPU_SECONDS:-60}
idle_seconds=${IDLE_SECONDS:-20}

if [ -f "$build/CMakeCache.txt" ]; then
    cmake -B "$build" -DKALVI7_BENCH=ON >/dev/null
else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVI7_BENCH=ON >/dev/null
fi
cmake --build "$build" --target bench_protocol bench_decoders whole_path line_feeder kalvi7 kalvi7-sim

echo "== $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
     "$(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== checksum and receiver"
"$build/bench/bench_protocol" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
echo "== decoders, on a form without widgets"
"$build/bench/bench_decoders" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

echo "== whole path: simulator -> pty -> reader thread -> byte messages -> window (offscreen)"
QT_QPA_PLATFORM=offscreen "$build/bench/whole_path" 2> >(grep -v 'XDG_RUNTIME_DIR\|propagateSizeHints' >&2)

cpu() { bench/program_cpu.sh "$build" "$@"; }
echo "== the program (build/kalvi7) at line rate: telemetry back to back at 38 400 baud in 5 ms slices, ${cpu_seconds} s"
echo " a radiosonde in flight, every field changing every frame; Xvfb (window shown, inactive):"
echo "  operator page:";            PLATFORM=xvfb cpu "$cpu_seconds" "$build/bench/line_feeder"
echo "  service page:";             PAGE=1 PLATFORM=xvfb cpu "$cpu_seconds" "$build/bench/line_feeder"
echo " a radiosonde standing still, only the packet number changing:"
echo "  Xvfb (window shown, inactive):"; PLATFORM=xvfb cpu "$cpu_seconds" "$build/bench/line_feeder" --still
echo "  offscreen (window active):";     PLATFORM=offscreen cpu "$cpu_seconds" "$build/bench/line_feeder" --still
echo "  offscreen, bytes in 16 ms slices as from a USB adapter:"
PLATFORM=offscreen cpu "$cpu_seconds" "$build/bench/line_feeder" --still --slice-ms 16
echo "== the program with the simulator paced at 38 400 baud, cyclic telemetry once a second, ${cpu_seconds} s"
PLATFORM=xvfb cpu "$cpu_seconds" "$build/kalvi7-sim" --warmup 0
echo "== the program on a silent line (watchdog requests every 3 s), ${idle_seconds} s"
echo " offscreen (window active):";   PLATFORM=offscreen cpu "$idle_seconds" "$build/kalvi7-sim" --silence 3600,3601
echo " Xvfb (window inactive):";      PLATFORM=xvfb cpu "$idle_seconds" "$build/kalvi7-sim" --silence 3600,3601
