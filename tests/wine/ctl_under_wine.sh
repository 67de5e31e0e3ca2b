#!/usr/bin/env bash
# kalvi7-ctl.exe under Wine against the simulated radiosonde on a COM port,
# compared with the Linux kalvi7-ctl against a simulator started the same
# way:
#
#   tests/wine/ctl_under_wine.sh LINUX_BUILD KALVI7_CTL_EXE
#
# LINUX_BUILD holds kalvi7-sim and kalvi7-ctl (build/); KALVI7_CTL_EXE is the
# cross-built program (build-mingw/kalvi7-ctl.exe, or the one of the full
# Windows build). Every check runs, and each difference is printed; the
# script exits 1 if there was any.
#
#   1. --help, --version and a refused command line: the same bytes and exit
#      status as on Linux.
#   2. status of a recorded chain (tests/e2e/data/preflight.capture played by
#      the simulator): the same bytes as on Linux, every value included.
#   3. status of a live simulator (--warmup 0 --seed 7 on both sides): the
#      same blocks and captions in the same order, the calibration, settings
#      and state values the same; the telemetry values by their shape only,
#      because the simulated readings move with the seconds since the
#      simulator started and Wine starts the program about 2 s later.
#   4. set frequency: exit 0, the acknowledgement's text as on Linux (its
#      clock by shape), the simulator logs the frame, and the settings
#      packet that follows shows the new frequency.
#   5. watch --json, Ctrl+C after 2.5 s (SIGINT, which Wine hands to the
#      program as CTRL_C_EVENT): exit 0 soon after; every line an object of
#      the same types with the same keys as on Linux; "time" in local ISO 8601
#      with the offset of TZ=Asia/Kathmandu (+05:45), close to the clock.
#      The port is the Port of a settings.INI with Windows line ends.
#   6. capture to a file with a Cyrillic name, ended by Ctrl+C: the file is
#      there under that name, with LF line ends, its start note in
#      TZ=America/St_Johns (-03:30 in winter, -02:30 in summer) time.
#   7. a held port: while the capture runs, COM8 leads to its file, which the
#      capture holds open; the open fails as Windows fails it for a port
#      another program holds: exit 4 with the "held" reason. (Wine enforces
#      sharing on files only, not on devices: two programs open one pty.)
#   8. a missing COM9: exit 4 with the open error and its reason line, in
#      the words Linux has for a missing path.
#   9. malformed names (COM0, COM256, COMX, LPT1, "COM 7", КОМ7): refused with
#      the open error and a reason line; each name also leads to a decoy
#      simulator in the prefix, which must not see the port opened. Then with
#      no port given and no settings.INI, COM1 (linked to the decoy) opens.
#  10. "\\.\COM7" and "com7" open COM7.
#  11. a capture file that cannot be made: the same words as on Linux, exit 2.
#  12. on a console (a pseudo-terminal, which Wine makes a console): the
#      Cyrillic texts arrive as letters.
# Outputs go through pipes into files, except in 12, and must hold no "\r".
#
# KALVI7_WINEPREFIX chooses the prefix (default: wine-prefix-ctl beside the
# program); the script links com7, com8, com0, com256, comx and lpt1 in it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# = 2 ] || { echo "usage: $0 LINUX_BUILD KALVI7_CTL_EXE" >&2; exit 2; }
linux_build=$(cd "$1" && pwd)
exe=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
sim="$linux_build/kalvi7-sim"
lctl="$linux_build/kalvi7-ctl"
run="$here/wine-run.sh"
for program in "$sim" "$lctl" "$exe"; do
    [ -x "$program" ] || [ -f "$program" ] || { echo "ctl_under_wine: $program not found" >&2; exit 2; }
done
started=$(date +%s%N)

export KALVI7_WINEPREFIX=${KALVI7_WINEPREFIX:-$(dirname "$exe")/wine-prefix-ctl}
export WINEPREFIX=$KALVI7_WINEPREFIX
# Wine takes the command line and file names in the locale's character set.
export LC_ALL=C.UTF-8
# libwinpthread-1.dll lives apart from the compiler's other DLLs.
winpthread=$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll 2>/dev/null || true)
if [ -n "$winpthread" ] && [ -f "$winpthread" ]; then
    winpthread_dir=$(cd "$(dirname "$winpthread")" && pwd)
    export WINEPATH="Z:${winpthread_dir//\//\\}${WINEPATH:+;$WINEPATH}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvi7-ctl-wine.XXXXXX")
pids=()
failures=0
finish() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    rm -f "$devices"/com1 "$devices"/com7 "$devices"/com8 "$devices"/com0 "$devices"/com256 "$devices"/comx "$devices"/lpt1
    rm -rf "$work"
}
trap finish EXIT

fail() {
    echo "ctl_under_wine: FAIL: $*" >&2
    failures=$((failures + 1))
}

# Prints what differs between two files after a heading.
differs() {
    echo "ctl_under_wine: FAIL: $1 (< Linux, > Windows):" >&2
    diff "$2" "$3" | head -n 40 >&2
    failures=$((failures + 1))
}

wait_for() {
    local i
    for ((i = 0; i < $2; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

prefix=$("$run" --prefix) || { echo "ctl_under_wine: no Wine prefix" >&2; exit 2; }
devices="$prefix/dosdevices"
rm -f "$devices"/com7 "$devices"/com8 "$devices"/com9 "$devices"/com1 "$devices"/com0 "$devices"/com256 \
    "$devices"/comx "$devices"/lpt1
# The prefix's server runs for the whole check, its own output in a log: a
# server started by the first program would write into that program's
# error output when it ends.
(wineserver -f -p >"$work/wineserver.log" 2>&1 &)

mkdir -p "$work/win" "$work/lin"

# win OUT ERR ARGS...: the Windows program in $work/win; its exit status.
win() {
    local out=$1 err=$2
    shift 2
    (cd "$work/win" && exec "$run" "$exe" "$@") >"$out" 2>"$err"
}
# lin OUT ERR ARGS...: the Linux program in $work/lin.
lin() {
    local out=$1 err=$2
    shift 2
    (cd "$work/lin" && exec "$lctl" "$@") >"$out" 2>"$err"
}

# start_sim NAME LINK OPTIONS...: a simulator with its log in $work/NAME.log;
# its pid in sim_pid.
start_sim() {
    local name=$1 link=$2
    shift 2
    "$sim" --verbose --link "$link" "$@" >"$work/$name.out" 2>"$work/$name.log" &
    sim_pid=$!
    pids+=($sim_pid)
    wait_for '[ -L "'"$link"'" ]' 50 || fail "the simulator $name made no link $link"
}
stop_sim() {
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

expect_status() {  # WHAT EXPECTED ACTUAL ERRFILE
    [ "$2" = "$3" ] || fail "$1: exit status $3, expected $2; error output: $(head -c 600 "$4")"
}

no_cr() {
    local file
    for file in "$@"; do
        if grep -q $'\r' "$file"; then fail "$(basename "$file") holds a carriage return"; fi
    done
}

# A telemetry value's shape: each number stands as N, a sign dropped.
shape_telemetry() {
    awk -F '\t' -v OFS='\t' '
        /^# / { block = $0; print; next }
        block == "# telemetry" && NF == 2 {
            gsub(/-?[0-9]+(,[0-9]+)?(E-?[0-9]+)?/, "N", $2); print; next
        }
        { print }' "$1"
}

# --- 1: help, version, a refused command line --------------------------------
for args in "--help" "--version" "set frequency 403010" "watch --json --raw" "capture"; do
    # shellcheck disable=SC2086
    lin "$work/lh.out" "$work/lh.err" $args
    lstatus=$?
    # shellcheck disable=SC2086
    win "$work/wh.out" "$work/wh.err" $args
    wstatus=$?
    [ "$lstatus" = "$wstatus" ] || fail "'$args': exit status $wstatus on Windows, $lstatus on Linux"
    cmp -s "$work/lh.out" "$work/wh.out" || differs "'$args': standard output" "$work/lh.out" "$work/wh.out"
    cmp -s "$work/lh.err" "$work/wh.err" || differs "'$args': error output" "$work/lh.err" "$work/wh.err"
done

# --- 2: a recorded chain, every value -----------------------------------------
capture="$root/tests/e2e/data/preflight.capture"
start_sim replay-lin "$work/replay-sonde" --replay "$capture"
replay_lin=$sim_pid
start_sim replay-win "$devices/com7" --replay "$capture"
replay_win=$sim_pid
lin "$work/replay-lin.txt" "$work/replay-lin.err" --port "$work/replay-sonde" status &
lin_job=$!
win "$work/replay-win.txt" "$work/replay-win.err" --port COM7 status
wstatus=$?
wait "$lin_job"
lstatus=$?
expect_status "status of the recorded chain on Linux" 0 "$lstatus" "$work/replay-lin.err"
expect_status "status of the recorded chain on Windows" 0 "$wstatus" "$work/replay-win.err"
cmp -s "$work/replay-lin.txt" "$work/replay-win.txt" ||
    differs "status of the recorded chain" "$work/replay-lin.txt" "$work/replay-win.txt"
[ "$(grep -c '^# ' "$work/replay-win.txt")" = 4 ] || fail "status of the recorded chain: not four blocks"
[ ! -s "$work/replay-win.err" ] || fail "status on Windows wrote to its error output: $(head -c 300 "$work/replay-win.err")"
stop_sim "$replay_lin"
stop_sim "$replay_win"

# --- 3: a live simulator, started the same way on both sides ------------------
start_sim live-lin "$work/sonde" --warmup 0 --seed 7
live_lin=$sim_pid
start_sim live-win "$devices/com7" --warmup 0 --seed 7
live_win=$sim_pid
lin "$work/status-lin.txt" "$work/status-lin.err" --port "$work/sonde" status &
lin_job=$!
win "$work/status-win.txt" "$work/status-win.err" --port COM7 status
wstatus=$?
wait "$lin_job"
lstatus=$?
expect_status "status on Linux" 0 "$lstatus" "$work/status-lin.err"
expect_status "status on Windows" 0 "$wstatus" "$work/status-win.err"
shape_telemetry "$work/status-lin.txt" >"$work/status-lin.shape"
shape_telemetry "$work/status-win.txt" >"$work/status-win.shape"
cmp -s "$work/status-lin.shape" "$work/status-win.shape" ||
    differs "status of a live simulator (telemetry values by shape)" "$work/status-lin.shape" \
        "$work/status-win.shape"

# --- 4: set frequency ---------------------------------------------------------
lin "$work/set-lin.txt" "$work/set-lin.err" --port "$work/sonde" set frequency 401500
lstatus=$?
win "$work/set-win.txt" "$work/set-win.err" --port COM7 set frequency 401500
wstatus=$?
expect_status "set frequency on Linux" 0 "$lstatus" "$work/set-lin.err"
expect_status "set frequency on Windows" 0 "$wstatus" "$work/set-win.err"
sed -E 's/[0-9]{2}:[0-9]{2}:[0-9]{2}$/HH:MM:SS/' "$work/set-lin.txt" >"$work/set-lin.shape"
sed -E 's/[0-9]{2}:[0-9]{2}:[0-9]{2}$/HH:MM:SS/' "$work/set-win.txt" >"$work/set-win.shape"
grep -q '^Настройки сохранены HH:MM:SS$' "$work/set-win.shape" ||
    fail "set frequency on Windows printed '$(cat "$work/set-win.txt")', not the acknowledgement"
cmp -s "$work/set-lin.shape" "$work/set-win.shape" ||
    differs "set frequency (clock by shape)" "$work/set-lin.shape" "$work/set-win.shape"
grep -q -- '<- frame 0x03, selector/key byte 0x01' "$work/live-win.log" ||
    fail "the simulator on COM7 did not receive the frequency command"
stop_sim "$live_lin"

# --- 5: watch --json until Ctrl+C, the port from settings.INI -----------------
start_sim watch-lin "$work/sonde" --warmup 0 --seed 7
watch_sim=$sim_pid
printf '[Port1 setting]\r\nPort=COM7\r\n' >"$work/win/settings.INI"
printf '[Port1 setting]\nPort=%s\n' "$work/sonde" >"$work/lin/settings.INI"
(cd "$work/lin" && TZ=Asia/Kathmandu exec "$lctl" --test-timeout-ms 700 watch --json) \
    >"$work/watch-lin.txt" 2>"$work/watch-lin.err" &
lin_watch=$!
(cd "$work/win" && TZ=Asia/Kathmandu exec "$run" "$exe" --test-timeout-ms 700 watch --json) \
    >"$work/watch-win.txt" 2>"$work/watch-win.err" &
win_watch=$!
sleep 2.5
kill -INT "$lin_watch" "$win_watch"
signalled=$(date +%s%N)
wait "$win_watch"
wstatus=$?
ended_ms=$((($(date +%s%N) - signalled) / 1000000))
wait "$lin_watch"
lstatus=$?
rm -f "$work/win/settings.INI" "$work/lin/settings.INI"
expect_status "watch --json on Linux, ended by SIGINT" 0 "$lstatus" "$work/watch-lin.err"
expect_status "watch --json on Windows, ended by Ctrl+C" 0 "$wstatus" "$work/watch-win.err"
[ "$ended_ms" -lt 3000 ] || fail "watch on Windows took $ended_ms ms to end after Ctrl+C"
offset=$(TZ=Asia/Kathmandu date +%:z)
now=$(date +%s)
# "type: key key ..." for every kind of line, once.
json_kinds() {
    local line type keys
    while IFS= read -r line; do
        type=$(sed -E 's/^.*"type":"([a-z]+)".*$/\1/' <<<"$line")
        keys=$(sed -E 's/^.*"fields":\{//; s/\},"values":.*$//' <<<"$line" | grep -oE '"[a-z_]+":"' | tr -d '":' | tr '\n' ' ')
        [[ $line == *'"fields":{'* ]] || keys=
        echo "$type: $keys"
    done <"$1" | sort -u
}
for side in lin win; do
    file="$work/watch-$side.txt"
    # Texts under "fields"; under "values" strings, numbers, true, false, null.
    text='"([^"\\]|\\.)*"'
    value="($text|-?[0-9][0-9.Ee+-]*|true|false|null)"
    fields="\\{\"[a-z_]+\":$text(,\"[a-z_]+\":$text)*\\}"
    values="\\{\"[a-z_]+\":$value(,\"[a-z_]+\":$value)*\\}"
    bad=$(grep -cvE "^\\{\"time\":\"[^\"]*\",\"type\":\"(telemetry|calibration|settings|state|ack|silent)\"(,\"fields\":$fields,\"values\":$values)?\\}\$" "$file")
    [ "$bad" = 0 ] || fail "watch --json ($side): $bad lines are not objects of the documented form: $(grep -vE '^\{"time"' "$file" | head -n 3)"
    for kind in telemetry calibration settings state silent; do
        grep -q "\"type\":\"$kind\"" "$file" || fail "watch --json ($side): no $kind line in 2.5 s"
    done
done
json_kinds "$work/watch-lin.txt" >"$work/kinds-lin.txt"
json_kinds "$work/watch-win.txt" >"$work/kinds-win.txt"
cmp -s "$work/kinds-lin.txt" "$work/kinds-win.txt" ||
    differs "watch --json: the keys of each type" "$work/kinds-lin.txt" "$work/kinds-win.txt"
while IFS= read -r stamp; do
    if ! [[ $stamp =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}([+-][0-9]{2}:[0-9]{2})$ ]]; then
        fail "watch --json on Windows: time '$stamp' is not local ISO 8601 with milliseconds and offset"
        break
    fi
    if [ "${BASH_REMATCH[1]}" != "$offset" ]; then
        fail "watch --json on Windows: time '$stamp' has the offset ${BASH_REMATCH[1]}, TZ=Asia/Kathmandu is $offset"
        break
    fi
    seconds=$(date -d "$stamp" +%s)
    if [ $((seconds - now)) -gt 10 ] || [ $((now - seconds)) -gt 10 ]; then
        fail "watch --json on Windows: time '$stamp' is $((seconds - now)) s away from the clock"
        break
    fi
done < <(sed -E 's/^\{"time":"([^"]*)".*/\1/' "$work/watch-win.txt")
grep -q '"frequency":"401500 кГц (30)"' "$work/watch-win.txt" ||
    fail "after set frequency 401500 the settings packet on Windows shows $(grep -o '"frequency":"[^"]*"' "$work/watch-win.txt" | head -n 1)"
stop_sim "$watch_sim"

# --- 6, 7: capture to a Cyrillic name until Ctrl+C; its file holds COM8 --------
name='захват №1.capture'
(cd "$work/win" && TZ=America/St_Johns exec "$run" "$exe" --port COM7 capture "$name") \
    >"$work/capture.out" 2>"$work/capture.err" &
capturing=$!
wait_for '[ -s "$work/win/$name" ]' 100 || fail "capture made no file named '$name': $(ls "$work/win")"
ln -sfn "$work/win/$name" "$devices/com8"
win "$work/held.out" "$work/held.err" --port COM8 status
expect_status "status on COM8, held by the capture" 4 $? "$work/held.err"
grep -qx 'kalvi7-ctl: COM8: Ошибка: порт стенда не открыт' "$work/held.err" ||
    fail "a held COM8: the open error reads '$(head -n 1 "$work/held.err")'"
grep -q '^kalvi7-ctl: Порт занят другой программой' "$work/held.err" ||
    fail "a held COM8: the reason reads '$(sed -n 2p "$work/held.err")', not the held one"
sleep 1
kill -INT "$capturing"
wait "$capturing"
expect_status "capture ended by Ctrl+C" 0 $? "$work/capture.err"
file="$work/win/$name"
if [ -f "$file" ]; then
    [ "$(head -n 1 "$file")" = "kalvi7-capture 1" ] || fail "the capture starts with '$(head -n 1 "$file")'"
    grep -qE '^# started [0-9-]{10}T[0-9:.]{12}'"$(TZ=America/St_Johns date +%:z)"'$' "$file" ||
        fail "the capture's start note '$(grep '^# started' "$file")' is not in TZ=America/St_Johns time"
    grep -qE '^# end [1-9][0-9]* bytes$' "$file" || fail "the capture has no end note with bytes: $(tail -n 1 "$file")"
    grep -qE '^kalvi7-ctl: captured [1-9][0-9]* bytes$' "$work/capture.err" ||
        fail "capture said '$(cat "$work/capture.err")'"
    no_cr "$file"
fi
stop_sim "$live_win"

# --- 8: a missing port ----------------------------------------------------------
lin "$work/missing-lin.out" "$work/missing-lin.err" --port "$work/no-such-port" status
lstatus=$?
win "$work/missing-win.out" "$work/missing-win.err" --port COM9 status
wstatus=$?
expect_status "a missing port on Linux" 4 "$lstatus" "$work/missing-lin.err"
expect_status "a missing COM9" 4 "$wstatus" "$work/missing-win.err"
# The reason names the system's own error after the words: ENOENT on Linux,
# ERROR_FILE_NOT_FOUND on Windows; the words are the same.
sed -E "s|$work/no-such-port|COM9|; s/ \([A-Z_]+\)\.$/ (…)./" "$work/missing-lin.err" >"$work/missing-lin.expected"
sed -E 's/ \([A-Z_]+\)\.$/ (…)./' "$work/missing-win.err" >"$work/missing-win.words"
cmp -s "$work/missing-lin.expected" "$work/missing-win.words" ||
    differs "a missing port's error (the Linux path replaced by COM9, the error's name by …)" \
        "$work/missing-lin.expected" "$work/missing-win.words"

# --- 9: names that are no COM port; the default port --------------------------
start_sim decoy "$work/decoy" --warmup 0
decoy=$sim_pid
for link in com0 com256 comx lpt1; do
    ln -sfn "$(readlink "$work/decoy")" "$devices/$link"
done
for port in COM0 COM256 COMX LPT1 "COM 7" КОМ7; do
    win "$work/name.out" "$work/name.err" --port "$port" status
    wstatus=$?
    expect_status "--port '$port'" 4 "$wstatus" "$work/name.err"
    grep -qx "kalvi7-ctl: $port: Ошибка: порт стенда не открыт" "$work/name.err" ||
        fail "--port '$port': the open error reads '$(head -n 1 "$work/name.err")'"
    [[ $(wc -l <"$work/name.err") == 2 && $(sed -n 2p "$work/name.err") == "kalvi7-ctl: "?* ]] ||
        fail "--port '$port': no reason line under the open error: $(cat "$work/name.err")"
done
sleep 0.3
if grep -qE 'far end is open|<- ' "$work/decoy.log"; then
    fail "a malformed name opened the decoy port: $(grep -E 'far end|<- ' "$work/decoy.log" | head -n 3)"
fi
# No --port and no settings.INI: COM1. Wine links COM1 to /dev/ttyS0 of its
# own accord when it starts; here it leads to the decoy instead.
ln -sfn "$(readlink "$work/decoy")" "$devices/com1"
win "$work/default.out" "$work/default.err" status
expect_status "status with no port given and no settings.INI (COM1)" 0 $? "$work/default.err"
grep -q 'far end is open' "$work/decoy.log" || fail "with no port given, COM1 was not opened"
rm -f "$devices/com1"
stop_sim "$decoy"

# --- 10, 11: the device path form, lower case, files that cannot be made -------
start_sim live-win2 "$devices/com7" --warmup 0 --seed 7
for port in '\\.\COM7' com7; do
    win "$work/form.out" "$work/form.err" --port "$port" set nav-mode both
    expect_status "--port '$port' set nav-mode both" 0 $? "$work/form.err"
done
start_sim live-lin2 "$work/sonde" --warmup 0 --seed 7
mkdir -p "$work/lin/папка" "$work/win/папка"
for target in "нет такой папки/x.capture" "папка"; do
    lin "$work/file-lin.out" "$work/file-lin.err" --port "$work/sonde" capture "$target" --seconds 1
    lstatus=$?
    win "$work/file-win.out" "$work/file-win.err" --port COM7 capture "$target" --seconds 1
    wstatus=$?
    [ "$lstatus" = 2 ] && [ "$wstatus" = 2 ] ||
        fail "capture '$target': exit status $wstatus on Windows, $lstatus on Linux, expected 2"
    cmp -s "$work/file-lin.err" "$work/file-win.err" ||
        differs "capture '$target': the reason" "$work/file-lin.err" "$work/file-win.err"
done

# --- 12: a console ------------------------------------------------------------
script -qec "cd '$work/win' && '$run' '$exe' --port COM9 status" /dev/null >"$work/console.tty" 2>&1
grep -q 'kalvi7-ctl: COM9: Ошибка: порт стенда не открыт' "$work/console.tty" ||
    fail "on a console the open error reads: $(tr -d '\033' <"$work/console.tty" | head -c 300)"

no_cr "$work"/*.txt "$work"/*.err "$work"/*.out
took=$((($(date +%s%N) - started) / 1000000))
if [ "$failures" != 0 ]; then
    echo "ctl_under_wine: $failures checks failed ($took ms)" >&2
    exit 1
fi
echo "ctl_under_wine: all checks passed in $took ms"
