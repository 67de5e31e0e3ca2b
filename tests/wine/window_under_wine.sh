#!/usr/bin/env bash
# The Windows window as an operator runs it, under Wine on a virtual display,
# against the simulated radiosonde on a COM port:
#
#   tests/wine/window_under_wine.sh LINUX_BUILD KALVI7_EXE [SCREENSHOT_DIR]
#
# LINUX_BUILD holds kalvi7-sim; KALVI7_EXE is the cross-built window. Checks,
# each failing the run with what went wrong:
#   1. the window comes up, opens COM7 (a link in the Wine prefix to the
#      simulator's pseudo-terminal) and runs the request chain: the simulator
#      receives 01 01 00 02 00 04 00 08 00 and sends every packet, which
#      only happens when the Win32 reader delivers the answers;
#   2. the key chord turns to the service page (the window takes its size);
#   3. closed as Windows closes a window (WM_CLOSE, by taskkill), it writes
#      settings.INI in its working folder with Windows line ends and exits 0,
#      and the simulator sees the port closed;
#   4. started on a COM port no device stands behind, it shows the open
#      error's box and still closes cleanly.
# With SCREENSHOT_DIR, the two pages go there as windows-operator.png and
# windows-service.png. KALVI7_WINEPREFIX chooses the prefix (see
# wine-run.sh); KALVI7_DISPLAY a display number for the virtual X server
# (default: any free one).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
linux_build=$(cd "$1" && pwd)
exe=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
shots=${3:-}
[ -z "$shots" ] || { mkdir -p "$shots"; shots=$(cd "$shots" && pwd); }
run="$here/wine-run.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvi7-wine-window.XXXXXX")
pids=()
finish() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

fail() {
    echo "window_under_wine: $*" >&2
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $log" >&2; tail -n 30 "$log" >&2; }
    done
    exit 1
}

# Waits up to $2 tenths of a second for the command in $1 to succeed.
wait_for() {
    local i
    for ((i = 0; i < $2; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

if [ -n "${KALVI7_DISPLAY:-}" ]; then
    Xvfb ":$KALVI7_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp 2>"$work/xvfb.log" &
    pids+=($!)
    wait_for '[ -S "/tmp/.X11-unix/X$KALVI7_DISPLAY" ]' 50 || fail "Xvfb did not start"
    export DISPLAY=":$KALVI7_DISPLAY"
else
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    wait_for '[ -s "$work/display" ]' 50 || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/display")"
fi
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

prefix=$("$run" --prefix)
# A Wine server left from a run without a display (the cross-built tests)
# would serve these windows without one: no WM_CLOSE reaches them then.
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
rm -f "$prefix/dosdevices/com7" "$prefix/dosdevices/com9"

# The main window's caption names the program and its version; an error
# box's caption is the application title alone.
window_id() { xdotool search --onlyvisible --name 'подготовки КАЛВИ-7' 2>/dev/null | head -n 1; }
box_id() {
    local id
    for id in $(xdotool search --onlyvisible --name 'КАЛВИ-7' 2>/dev/null); do
        [ "$id" = "$(window_id)" ] || { echo "$id"; return; }
    done
}

grab() {
    local id=$1 file=$2 geometry x y w h
    geometry=$(xdotool getwindowgeometry --shell "$id")
    x=$(sed -n 's/^X=//p' <<<"$geometry")
    y=$(sed -n 's/^Y=//p' <<<"$geometry")
    w=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
    h=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$file"
}

# Closes the window as Windows does and waits for the program's exit code.
close_window() {
    local pid=$1
    "$run" taskkill /im "$(basename "$exe")" >"$work/taskkill.log" 2>&1 || true
    wait_for '! kill -0 '"$pid"' 2>/dev/null' 150 || fail "the window did not end within 15 s of WM_CLOSE"
    local status=0
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "the window exited with $status, not 0"
}

# --- 1-3: live data, the service page, closing -------------------------------
"$linux_build/kalvi7-sim" --warmup 0 --seed 1 --verbose --link "$prefix/dosdevices/com7" \
    >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
pids+=($sim_pid)
wait_for '[ -L "$prefix/dosdevices/com7" ]' 50 || fail "the simulator made no COM7"
mkdir "$work/station"
# As an operator writes it in Notepad: the port only, Windows line ends.
printf '[Port1 setting]\r\nPort=COM7\r\n' >"$work/station/settings.INI"
started=$(date +%s%N)
(cd "$work/station" && exec "$run" "$exe") >"$work/window.log" 2>&1 &
window_pid=$!
pids+=($window_pid)
wait_for '[ -n "$(window_id)" ]' 300 || fail "no main window within 30 s"
echo "window up in $((($(date +%s%N) - started) / 1000000)) ms"

# The chain runs 3 s after start: telemetry, calibration, settings, state.
wait_for 'grep -q -- "-> 0x84" "$work/sim.log"' 300 || fail "the request chain did not reach the state packet"
requests=$(grep -o -- '<- request 0x[0-9A-F]*' "$work/sim.log" | head -n 9 | sed 's/.*0x//' | tr '\n' ' ')
[ "$requests" = "01 01 00 02 00 04 00 08 00 " ] ||
    fail "the simulator received the requests $requests, not 01 01 00 02 00 04 00 08 00"
sleep 0.5  # let the last packet paint
id=$(window_id)
[ -z "$shots" ] || grab "$id" "$shots/windows-operator.png"

before=$(xdotool getwindowgeometry --shell "$id" | grep WIDTH)
xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
xdotool key --clearmodifiers ctrl+alt+shift+k
wait_for '[ "$(xdotool getwindowgeometry --shell '"$id"' | grep WIDTH)" != "$before" ]' 50 ||
    fail "the key chord did not turn to the service page"
sleep 0.5
[ -z "$shots" ] || grab "$id" "$shots/windows-service.png"

close_window "$window_pid"
settings="$work/station/settings.INI"
[ -s "$settings" ] || fail "no settings.INI after closing"
grep -q $'^Port=COM7\r$' "$settings" || fail "settings.INI does not keep Port=COM7 with a Windows line end: $(od -c "$settings" | head)"
grep -q $'^ContinuedMode=0\r$' "$settings" || fail "settings.INI has no ContinuedMode line of its own"
if grep -q $'[^\r]$' "$settings"; then fail "settings.INI has a line without a Windows line end"; fi
kill -TERM "$sim_pid"
wait "$sim_pid" || true

# --- 4: a COM port with nothing behind it -------------------------------------
printf '[Port1 setting]\r\nPort=COM9\r\n' >"$settings"
(cd "$work/station" && exec "$run" "$exe") >"$work/window-missing.log" 2>&1 &
window_pid=$!
pids+=($window_pid)
# The error box comes before the window, with the application's title;
# once it is answered the window opens, on no port.
wait_for '[ -n "$(box_id)" ]' 300 || fail "no error box for COM9 within 30 s"
sleep 0.5
box=$(box_id)
[ -z "$shots" ] || grab "$box" "$shots/windows-no-port.png"
xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box"
xdotool key Return
wait_for '[ -z "$(box_id)" ] && [ -n "$(window_id)" ]' 100 || fail "the error box did not give way to the window"
close_window "$window_pid"
grep -q $'^Port=COM9\r$' "$settings" || fail "settings.INI lost Port=COM9"
echo "window_under_wine: all checks passed"
