#!/usr/bin/env bash
# Runs a Windows program of ours under Wine, in the tests' own Wine prefix:
#
#   tests/wine/wine-run.sh PROGRAM.exe [ARGUMENTS...]
#   tests/wine/wine-run.sh --prefix        make the prefix if need be, print its path
#   tests/wine/wine-run.sh --link-com N PATH   make COMn of the prefix lead to PATH (a pty)
#
# The cross-built tests run through it (CMAKE_CROSSCOMPILING_EMULATOR), and
# so do the Wine checks of the window and kalvi7-ctl. What it sets up, once
# per prefix:
#   - a private prefix, KALVI7_WINEPREFIX or else build-windows/wine-prefix,
#     never the user's ~/.wine, made by wineboot;
#   - Arial, the window's font, which Wine lacks, replaced by Liberation Sans,
#     its metric twin, so that what clips under Wine would clip on Windows;
#   - the modem-line answers for pseudo-terminals (modem_lines_preload.cpp,
#     compiled here into the prefix), without which Wine's serial wait never
#     waits on a pty linked as a COM port. A test fixture: never shipped.
# Wine's own chatter is off (WINEDEBUG=-all) unless WINEDEBUG is set.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=${KALVI7_WINEPREFIX:-$root/build-windows/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=$(command -v wine64 || command -v wine || true)
if [ -z "$wine" ]; then
    echo "wine-run: Wine not found (Debian: apt-get install wine wine64)" >&2
    exit 2
fi

preload=$WINEPREFIX/kalvi7-modem-lines.so

# Makes the prefix once; concurrent test runs wait for the first.
ensure_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 8>"$WINEPREFIX.lock"
    flock 8
    if [ ! -e "$WINEPREFIX/.kalvi7-ready" ]; then
        rm -rf "$WINEPREFIX"
        # No display is needed to make a prefix; without one, wineboot does
        # not try to show its "updating" window.
        local boot
        boot=$(DISPLAY= "$wine" wineboot -i 2>&1) || true
        if [ ! -s "$WINEPREFIX/system.reg" ] ||
            ! "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f \
                >/dev/null 2>&1; then
            # A prefix takes about 700 MB; a small /tmp is the usual cause.
            echo "wine-run: no Wine prefix made in $WINEPREFIX" \
                "($(df -h --output=avail "$(dirname "$WINEPREFIX")" | tail -n 1 | tr -d ' ') free there)" >&2
            printf '%s\n' "$boot" | tail -n 5 >&2
            rm -rf "$WINEPREFIX"
            exit 2
        fi
        "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Arial Bold' \
            /d 'Liberation Sans Bold' /f >/dev/null 2>&1 || true
        # The prefix links com1 to /dev/ttyS0 and so on; the tests name
        # their own ports, so none of the machine's leak in.
        find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -type l -delete
        wineserver -w 2>/dev/null || true
        touch "$WINEPREFIX/.kalvi7-ready"
    fi
    if [ ! -e "$preload" ] || [ "$here/modem_lines_preload.cpp" -nt "$preload" ]; then
        g++ -std=c++20 -O2 -shared -fPIC -o "$preload.tmp" "$here/modem_lines_preload.cpp" -ldl
        mv -f "$preload.tmp" "$preload"
    fi
    flock -u 8
}

case "${1:-}" in
    --prefix)
        ensure_prefix
        echo "$WINEPREFIX"
        exit 0
        ;;
    --link-com)
        [ $# = 3 ] || { echo "usage: $0 --link-com N PATH" >&2; exit 2; }
        ensure_prefix
        ln -sfn "$3" "$WINEPREFIX/dosdevices/com$2"
        exit 0
        ;;
    "")
        echo "usage: $0 PROGRAM.exe [ARGUMENTS...] | --prefix | --link-com N PATH" >&2
        exit 2
        ;;
esac

ensure_prefix
export LD_PRELOAD=$preload${LD_PRELOAD:+:$LD_PRELOAD}
# Tests that change the user's settings (regional formats) do so only here.
export KALVI7_WINE_PREFIX_IS_SCRATCH=1
# The DLLs a program from the build tree needs: the MinGW runtime it was
# linked with and, for the window, the Windows Qt.
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll 2>/dev/null || echo .)")
threads=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll 2>/dev/null || echo .)")
qt=${KALVI7_QT_WINDOWS:-$("$root/scripts/windows-qt.sh" --print 2>/dev/null || true)}
as_windows_path() { local p=$1; echo "Z:${p//\//\\}"; }
WINEPATH="$(as_windows_path "$runtime");$(as_windows_path "$threads")${qt:+;$(as_windows_path "$qt/bin")}${WINEPATH:+;$WINEPATH}"
export WINEPATH
exec "$wine" "$@"
