#!/usr/bin/env bash
# Runs a Windows test program under Wine with a null-modem pair of COM ports
# in the tests' prefix, for the driver tests' peer (line_peer_com.cpp):
#
#   tests/PortUnit/on_null_modem.sh PROGRAM.exe [ARGUMENTS...]
#
# The pair is two free COM numbers, named to the program as
# KALVI7_TEST_DRIVER_PORT and KALVI7_TEST_PEER_PORT, and goes when the
# program ends. The null modem (tests/wine/null_modem.cpp) is built here,
# beside the prefix, when missing or older than its source; the program
# runs through tests/wine/wine-run.sh, which makes the prefix. With
# KALVI7_WINE_PLAIN=1 it runs without wine-run.sh's modem-line answers for
# pseudo-terminals, as plain Wine does: every wait for received characters
# then fails, and the driver must read all the same.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
prefix=$("$root/tests/wine/wine-run.sh" --prefix)
modem=$prefix/kalvi7-null-modem

exec 9>"$modem.lock"
flock 9
if [ ! -x "$modem" ] || [ "$root/tests/wine/null_modem.cpp" -nt "$modem" ]; then
    g++ -std=c++20 -O2 -o "$modem.tmp" "$root/tests/wine/null_modem.cpp"
    mv -f "$modem.tmp" "$modem"
fi
flock -u 9
exec 9>&-

if [ "${KALVI7_WINE_PLAIN:-0}" = 1 ]; then
    export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    exec "$modem" --in "$prefix/dosdevices" -- "$(command -v wine64 || command -v wine)" "$@"
fi
exec "$modem" --in "$prefix/dosdevices" -- "$root/tests/wine/wine-run.sh" "$@"
