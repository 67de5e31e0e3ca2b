#!/usr/bin/env bash
# The Windows reader's figures under Wine, with the modem-line answers of
# the tests' prefix (the wait works) and without them (plain Wine, every
# wait fails): what a silent line costs the program and the wineserver, how
# late a byte reaches the program, and a port that vanishes while open.
#
#   tests/PortUnit/wine_reader_figures.sh PORT_LISTEN_EXE [--silent S] [--bytes N] [--com N]
#
# PORT_LISTEN_EXE is port_listen.exe of a Windows build
# (build-windows-tests/tests/PortUnit/port_listen.exe). The figures come
# from the Linux side (wine_reader_figures.cpp, built here beside the
# prefix); the prefix is the tests' (tests/wine/wine-run.sh). About 80 s.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 PORT_LISTEN_EXE [--silent S] [--bytes N] [--com N]" >&2; exit 2; }
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift

prefix=$("$root/tests/wine/wine-run.sh" --prefix)
tool=$prefix/kalvi7-wine-reader-figures
if [ ! -x "$tool" ] || [ "$here/wine_reader_figures.cpp" -nt "$tool" ]; then
    g++ -std=c++20 -O2 -o "$tool.tmp" "$here/wine_reader_figures.cpp"
    mv -f "$tool.tmp" "$tool"
fi

export WINEPREFIX=$prefix KALVI7_WINEPREFIX=$prefix
# One wineserver for both runs, started apart so that it holds none of our
# output; it ends by itself a minute after its last program.
WINEDEBUG=-all wineserver -p60 >/dev/null 2>&1 </dev/null || true  # already running: fine
status=0
KALVI7_WINE_RUN=$root/tests/wine/wine-run.sh "$tool" "$exe" --preload "$@" || status=1
echo
KALVI7_WINE_RUN=$here/plain_wine.sh "$tool" "$exe" --plain "$@" || status=1
exit $status
