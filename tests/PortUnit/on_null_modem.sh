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
# runs through tests/wine/wine-run.sh, which makes the prefix; with
# KALVI7_WINE_PLAIN=1 through plain_wine.sh, without wine-run.sh's
# modem-line answers for pseudo-terminals: every wait for received
# characters then fails, and the driver must read all the same.
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

runner=$root/tests/wine/wine-run.sh
[ "${KALVI7_WINE_PLAIN:-0}" = 1 ] && runner=$here/plain_wine.sh
exec "$modem" --in "$prefix/dosdevices" -- "$runner" "$@"
