#!/bin/bash
# The program's processor time and wake-ups while a line source feeds it.
#   program_cpu.sh BUILD_DIR SECONDS SOURCE_COMMAND...
# SOURCE_COMMAND prints the pty to open as its first line (the simulator, the
# line feeder). The program runs offscreen in a scratch directory with
# cyclic telemetry on; after a warm-up of 8 s (past the watchdog's first
# request) its /proc figures are taken over SECONDS.
#
# PLATFORM=offscreen (the default) shows the window as the active one, so
# its focused field's caret blinks; PLATFORM=xvfb runs it on a private X
# server without a window manager, where it is shown and drawn but stays
# inactive, as a window behind another one on the desktop. XVFB_DISPLAY=:N
# takes that display number instead of the first free one. PAGE=1 shows
# the service page (the key chord sent with xdotool; Xvfb only) instead of
# the operator page. PROGRAM=path measures another build of the program.
set -euo pipefail
platform=${PLATFORM:-offscreen}
page=${PAGE:-0}
build=$(realpath "$1") seconds=$2
shift 2
program=$(realpath "${PROGRAM:-$build/kalvi7}")

scratch=$(mktemp -d)
source_pid= program_pid= xvfb_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null || true
  [ -n "$source_pid" ] && kill "$source_pid" 2>/dev/null && wait "$source_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

"$@" >"$scratch/source.out" 2>"$scratch/source.err" &
source_pid=$!
for _ in $(seq 50); do [ -s "$scratch/source.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$scratch/source.out")
[ -n "$pty" ] || { echo "program_cpu: the line source printed no pty" >&2; exit 1; }
printf '[Port1 setting]\nPort=%s\nBaudRate=38400\n[Form setting]\nContinuedMode=1\n' "$pty" >"$scratch/settings.INI"

if [ "$platform" = xvfb ]; then
  if [ -n "${XVFB_DISPLAY:-}" ]; then
    Xvfb "$XVFB_DISPLAY" -nolisten tcp 2>/dev/null &
    xvfb_pid=$!
    display=$XVFB_DISPLAY
    for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  else
    Xvfb -displayfd 3 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
    display=:$(head -n1 "$scratch/display")
  fi
  (cd "$scratch" && DISPLAY=$display QT_QPA_PLATFORM=xcb exec "$program") >"$scratch/program.log" 2>&1 &
else
  (cd "$scratch" && QT_QPA_PLATFORM=offscreen exec "$program") >"$scratch/program.log" 2>&1 &
fi
program_pid=$!
sleep 8
if [ "$page" = 1 ]; then
  [ "$platform" = xvfb ] || { echo "program_cpu: PAGE=1 needs PLATFORM=xvfb" >&2; exit 1; }
  window=$(DISPLAY=$display xdotool search --pid "$program_pid" --onlyvisible | head -n1)
  DISPLAY=$display xdotool windowfocus --sync "$window" key --window "$window" ctrl+alt+shift+k
  sleep 2
fi
kill -0 "$program_pid" 2>/dev/null || { echo "program_cpu: the program has ended" >&2; exit 1; }

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$program_pid/stat"; }
# Voluntary switches of every thread: each is a wake-up after a wait.
wakeups() { cat /proc/"$program_pid"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'; }

cpu0=$(cpu_ticks) wake0=$(wakeups) t0=$(date +%s.%N)
sleep "$seconds"
cpu1=$(cpu_ticks) wake1=$(wakeups) t1=$(date +%s.%N)
kill -0 "$program_pid" 2>/dev/null || { echo "program_cpu: the program has ended" >&2; exit 1; }

awk -v c="$((cpu1 - cpu0))" -v hz="$ticks" -v w="$((wake1 - wake0))" -v t0="$t0" -v t1="$t1" \
    -v threads="$(ls /proc/$program_pid/task | wc -l)" 'BEGIN {
  wall = t1 - t0
  printf "  over %.1f s: processor %.2f s = %.3f %% of one core; %d wake-ups (%.2f a second) in %d threads\n",
         wall, c / hz, 100 * c / hz / wall, w, w / wall, threads
}'
