#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window.
#
#   scripts/run.sh                the simulated radiosonde on a pseudo-terminal
#   scripts/run.sh /dev/ttyUSB0   a radiosonde on that serial port
#
# Without a device the simulator (build/kalvi7-sim) runs in the background,
# the window runs in a scratch directory whose settings.INI names the
# simulator's line with cyclic telemetry on, and closing the window ends the
# simulator and removes the directory. KALVI7_SIM_OPTS passes options to the
# simulator, e.g. KALVI7_SIM_OPTS="--noise --bad-crc 10" (see kalvi7-sim --help).
#
# With a device the window runs in build/run-device, where its settings.INI
# stays between runs; only the port is set to the device named.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
source scripts/deps.sh

device=${1:-}
if [ $# -gt 1 ] || [ "$device" = "-h" ] || [ "$device" = "--help" ]; then
    sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
    [ $# -gt 1 ] && exit 2
    exit 0
fi
if [ -n "$device" ] && [ ! -e "$device" ]; then
    echo "run.sh: $device does not exist" >&2
    exit 2
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)" >&2
    exit 1
fi

kalvi7_ensure_packages "${KALVI7_RUN_PACKAGES[@]}"

generator=()
[ -f build/CMakeCache.txt ] || generator=(-G Ninja)
# Without the tests: the window and the simulator need no GoogleTest.
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build --target kalvi7 kalvi7-sim

# settings.INI in directory $1 with the port $2; other keys are kept when the
# file exists, and take the defaults below when it is new.
write_settings() {
    local file="$1/settings.INI" port="$2"
    if [ ! -f "$file" ]; then
        printf '[Port1 setting]\nPort=%s\nBaudRate=38400\n[Form setting]\nContinuedMode=1\nAmplSetEnable=0\n' \
            "$port" >"$file"
        return
    fi
    # Replace Port in [Port1 setting], or add it (and the section) if missing.
    awk -v port="$port" '
        function flush() { if (inPort && !done) { print "Port=" port; done = 1 } }
        /^[ \t]*\[/ { flush(); inPort = tolower($0) ~ /^[ \t]*\[port1 setting\]/ }
        inPort && tolower($0) ~ /^[ \t]*port[ \t]*=/ { if (!done) print "Port=" port; done = 1; next }
        { print }
        END { flush(); if (!done) { print "[Port1 setting]"; print "Port=" port } }
    ' "$file" >"$file.new" && mv "$file.new" "$file"
}

if [ -n "$device" ]; then
    work="$repo/build/run-device"
    mkdir -p "$work"
    write_settings "$work" "$device"
    cd "$work"
    exec "$repo/build/kalvi7"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvi7-run.XXXXXX")
sim_pid=""
finish() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

read -r -a sim_opts <<<"${KALVI7_SIM_OPTS:-}"
"$repo/build/kalvi7-sim" --link "$work/radiosonde" "${sim_opts[@]}" >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!

# The simulator prints its line's path once the link is in place.
for _ in $(seq 50); do
    [ -s "$work/sim.out" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -L "$work/radiosonde" ]; then
    echo "run.sh: the simulator did not start:" >&2
    cat "$work/sim.log" >&2
    exit 1
fi

# The window runs in $work, so the relative name opens the link and is what
# the port selector shows.
write_settings "$work" "radiosonde"
echo "Simulated radiosonde on $(head -n 1 "$work/sim.out"); the window works in $work"
cd "$work"
"$repo/build/kalvi7"
