#!/usr/bin/env bash
# Runs a Linux program for a Windows test under Wine, which can start one
# (Wine runs a non-Windows file as a Unix program) but gets no handle to it:
# no waiting, no ending. The two sides meet in a folder instead:
#
#   unix-child.sh DIR PROGRAM [ARGUMENTS...]
#
#   DIR/out, DIR/err   the program's standard output and error
#   DIR/pid            its process id, once it runs
#   DIR/stop           made by the test: the program gets SIGTERM (SIGKILL
#                      3 s later)
#   DIR/status         written when it has ended: its exit code, or 128 +
#                      the signal that ended it
#
# A test that dies without asking for the stop (a Wine process killed by a
# time-out) would leave the program running: it is ended after
# KALVI7_UNIX_CHILD_LIFETIME seconds (15 minutes) in any case.
set -u
dir=$1
shift
"$@" >"$dir/out" 2>"$dir/err" </dev/null &
child=$!
echo "$child" >"$dir/pid.tmp" && mv -f "$dir/pid.tmp" "$dir/pid"
deadline=$((SECONDS + ${KALVI7_UNIX_CHILD_LIFETIME:-900}))
while kill -0 "$child" 2>/dev/null; do
    if [ -e "$dir/stop" ] || [ "$SECONDS" -ge "$deadline" ]; then
        kill -TERM "$child" 2>/dev/null
        for _ in $(seq 60); do
            kill -0 "$child" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$child" 2>/dev/null
        break
    fi
    sleep 0.05
done
wait "$child"
status=$?
echo "$status" >"$dir/status.tmp" && mv -f "$dir/status.tmp" "$dir/status"
