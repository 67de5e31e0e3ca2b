#!/usr/bin/env bash
# Runs a Windows program of ours under Wine as tests/wine/wine-run.sh does
# (the tests' prefix, the MinGW runtime and the Windows Qt on WINEPATH, no
# chatter), but without its modem-line answers for pseudo-terminals: plain
# Wine, on whose pseudo-terminal ports every wait for received characters
# fails at once. The driver must read all the same.
#
#   tests/PortUnit/plain_wine.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=$("$root/tests/wine/wine-run.sh" --prefix)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset LD_PRELOAD
dll_folder() {
    local path
    path=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name="$1" 2>/dev/null || echo .)")
    echo "Z:${path//\//\\}"
}
qt=${KALVI7_QT_WINDOWS:-$("$root/scripts/windows-qt.sh" --print 2>/dev/null || true)}
qt_bin=${qt:+Z:${qt//\//\\}\\bin}
WINEPATH="$(dll_folder libstdc++-6.dll);$(dll_folder libwinpthread-1.dll)${qt_bin:+;$qt_bin}${WINEPATH:+;$WINEPATH}"
export WINEPATH
exec "$(command -v wine64 || command -v wine)" "$@"
