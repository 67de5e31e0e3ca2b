#!/usr/bin/env bash
# Makes the screenshots in docs/screenshots/ on a virtual X display:
#
#   operator-live.png, service-live.png     the program against the simulated
#                                           radiosonde, after a full request chain
#   operator-widest.png, service-widest.png kalvi7-showcase: every field with
#                                           the widest text its decoder writes
#   *-dark.png                              the same on a dark desktop theme
#                                           (GTK's Adwaita dark through Qt's GTK
#                                           platform theme); service-live-dark
#                                           is taken just after a frame with a
#                                           bad CRC, so the packet number shows
#                                           the red verdict
#
# Each picture is the window cropped from the screen; the service page is
# reached with the key chord Ctrl+Alt+Shift+K, as an operator does.
# KALVI7_BUILD_DIR names the build directory (default build);
# KALVI7_DISPLAY a display number for the virtual X server (default: any
# free one).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
source scripts/deps.sh

build=${KALVI7_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$repo/$build" ;; esac
out="$repo/docs/screenshots"

kalvi7_ensure_packages "${KALVI7_RUN_PACKAGES[@]}" libgtest-dev "${KALVI7_SCREENSHOT_PACKAGES[@]}"

generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" >/dev/null
cmake --build "$build" --target kalvi7 kalvi7-sim kalvi7-showcase

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvi7-shots.XXXXXX")
pids=()
finish() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits up to $2 tenths of a second for the command in $1 to succeed.
wait_for() {
    local i
    for ((i = 0; i < $2; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    echo "screenshots.sh: timed out waiting for: $1" >&2
    return 1
}

# A display of its own: Xvfb picks a free number and writes it to fd 3,
# unless one is given.
if [ -n "${KALVI7_DISPLAY:-}" ]; then
    Xvfb ":$KALVI7_DISPLAY" -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log" &
    pids+=($!)
    wait_for '[ -S "/tmp/.X11-unix/X$KALVI7_DISPLAY" ]' 50
    export DISPLAY=":$KALVI7_DISPLAY"
else
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    wait_for '[ -s "$work/display" ]' 50
    export DISPLAY=":$(head -n 1 "$work/display")"
fi
# The light pictures show the toolkit's own palette, whatever the caller's
# desktop settings.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE GTK_THEME

# The id of the visible window whose caption is the program's title.
window_id() {
    xdotool search --onlyvisible --name 'КАЛВИ-7' 2>/dev/null | head -n 1
}

# Crops the screen to window $1 into $2.
grab() {
    local id=$1 file=$2 geometry x y w h
    geometry=$(xdotool getwindowgeometry --shell "$id")
    x=$(sed -n 's/^X=//p' <<<"$geometry")
    y=$(sed -n 's/^Y=//p' <<<"$geometry")
    w=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
    h=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$file"
    echo "$file: ${w}x${h}"
}

# Turns to the service page and waits for the window to take its size.
service_page() {
    local id=$1 before
    before=$(xdotool getwindowgeometry --shell "$id" | grep WIDTH)
    xdotool windowfocus --sync "$id"
    xdotool key --clearmodifiers ctrl+alt+shift+k
    wait_for '[ "$(xdotool getwindowgeometry --shell '"$id"' | grep WIDTH)" != "$before" ]' 30
    sleep 0.5  # let the page paint
}

# Ends the window and the processes started for it.
stop() {
    local pid
    for pid in "$@"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    wait_for '[ -z "$(window_id)" ]' 50
}

mkdir -p "$out"

# --- The program against the simulator --------------------------------------
# The window is given the pseudo-terminal's own path, short enough for the
# port selector to show whole. $1 is the suffix of the pictures' names, the
# rest the environment the window runs in. With a suffix the simulator
# corrupts the CRC of every twelfth frame it sends, which first hits a
# cyclic telemetry frame after the request chain.
live() {
    local suffix=$1 bad faults=()
    shift
    if [ -n "$suffix" ]; then faults=(--bad-crc 12); fi
    rm -rf "$work/live"
    mkdir "$work/live"
    "$build/kalvi7-sim" --warmup 0 --seed 1 "${faults[@]}" --verbose >"$work/sim.out" 2>"$work/sim.log" &
    sim_pid=$!
    pids+=($sim_pid)
    wait_for '[ -s "$work/sim.out" ]' 50
    printf '[Port1 setting]\nPort=%s\nBaudRate=38400\n[Form setting]\nContinuedMode=1\nAmplSetEnable=0\n' \
        "$(head -n 1 "$work/sim.out")" >"$work/live/settings.INI"
    (cd "$work/live" && exec env "$@" "$build/kalvi7") 2>"$work/kalvi7.log" &
    app_pid=$!
    pids+=($app_pid)
    # A whole request chain has run once the state packet has gone out; the
    # second telemetry after it shows the fields settled.
    wait_for 'grep -q -- "-> 0x84" "$work/sim.log"' 150
    wait_for '[ "$(grep -c -- "-> 0x81" "$work/sim.log")" -ge 3 ]' 50
    sleep 0.3
    id=$(window_id)
    grab "$id" "$out/operator-live$suffix.png"
    service_page "$id"
    if [ -n "$suffix" ]; then
        # The red verdict: the picture is taken just after a bad frame has
        # arrived, before the next good one a second later.
        bad=$(grep -c "bad CRC" "$work/sim.log" || true)
        wait_for '[ "$(grep -c "bad CRC" "$work/sim.log" || true)" -gt "$bad" ]' 150
        sleep 0.3
    fi
    grab "$id" "$out/service-live$suffix.png"
    stop "$app_pid" "$sim_pid"
}

# --- The widest texts -------------------------------------------------------
widest() {
    local suffix=$1
    shift
    env "$@" "$build/kalvi7-showcase" >"$work/showcase.out" 2>"$work/showcase.log" &
    show_pid=$!
    pids+=($show_pid)
    wait_for 'grep -q ready "$work/showcase.out"' 100
    wait_for '[ -n "$(window_id)" ]' 50
    sleep 0.5
    id=$(window_id)
    grab "$id" "$out/operator-widest$suffix.png"
    service_page "$id"
    grab "$id" "$out/service-widest$suffix.png"
    stop "$show_pid"
}

dark=(QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark)
live ""
live -dark "${dark[@]}"
widest ""
widest -dark "${dark[@]}"
