#!/usr/bin/env bash
# Proves the Windows zip and installer that scripts/windows.sh makes, under
# Wine, each in a fresh prefix of its own:
#
#   tests/wine/package_under_wine.sh [DIST]     DIST: build-windows/dist by default
#
# The zip: unpacked, its programs carry their version resources, manifests
# and icon, answer --version and --help, and (with Xvfb) the window started
# with --user-folder refuses to start when a file stands where its folder
# should be, and otherwise makes %APPDATA%\kalvi7, closes as Windows closes
# it and leaves its settings.INI there, with no complaint from Qt.
# The installer, run silently (/S): the programs in
# %LOCALAPPDATA%\Programs\kalvi7, the Start-menu shortcut with its target,
# arguments and working folder, the Add/Remove Programs entry, the folder on
# the user's PATH and kalvi7-ctl found through it; a second install adds no
# second PATH entry; the silent uninstall removes the programs, the
# shortcut, the entry and the PATH entry, and leaves settings.INI in the
# install folder and %APPDATA%\kalvi7. Then the PATH cases: none before,
# one too long for the installer to change safely, the folder already on it.
#
# The programs run without the build tree's DLL path (tests/wine/wine-run.sh
# adds one for the tests): a DLL the zip lacks must fail here. Exits non-zero
# on any difference, naming it. About two minutes; KALVI7_KEEP_WORK=1 keeps
# the prefixes and logs for a look afterwards.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
dist=${1:-$root/build-windows/dist}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
started=$SECONDS

shopt -s nullglob
zips=("$dist"/kalvi7-*-windows-x64.zip)
shopt -u nullglob
[ ${#zips[@]} = 1 ] || { echo "package_under_wine: not one kalvi7-*-windows-x64.zip in $dist" >&2; exit 2; }
zip=${zips[0]}
name=$(basename "$zip" .zip)
version=${name#kalvi7-}
version=${version%-windows-x64}
setup=$dist/kalvi7-$version-setup.exe
[ -f "$setup" ] || { echo "package_under_wine: $setup is missing" >&2; exit 2; }

wine=$(command -v wine64 || command -v wine || true)
cross=x86_64-w64-mingw32
for tool in "$wine" unzip iconv "$cross-g++-posix" "$cross-objdump" "$cross-windres"; do
    command -v "$tool" >/dev/null ||
        { echo "package_under_wine: ${tool:-wine} not found (scripts/deps.sh: KALVI7_WINE_PACKAGES)" >&2; exit 2; }
done

# In the build tree, not /tmp: each prefix takes about 700 MB, more than a
# small /tmp holds.
work=$root/build-windows/package-check
rm -rf "$work"
mkdir -p "$work"
xvfb_pid=
cleanup() {
    for prefix in "$work"/prefix-*; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "${KALVI7_KEEP_WORK:-}" ] && echo "package_under_wine: work folder kept: $work" >&2 && return
    rm -rf "$work"
}
trap cleanup EXIT
export LC_ALL=C.UTF-8  # what Wine turns arguments and output into, for the Cyrillic names

# The window's display, there before any Wine process of a prefix starts:
# a prefix whose first processes ran without one delivers no WM_CLOSE to
# windows that come later.
if command -v Xvfb >/dev/null; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$work/display")
else
    unset DISPLAY
    echo "package_under_wine: no Xvfb, the window is not started" >&2
fi

"$cross-g++-posix" -std=c++20 -O2 -municode -static "$here/lnk_info.cpp" -o "$work/lnk_info.exe" -lole32 -luuid ||
    { echo "package_under_wine: lnk_info.cpp did not build" >&2; exit 2; }

# A fresh prefix, made as the tests' prefixes are (fonts, pty fixture).
prefix=
new_prefix() {
    prefix=$work/prefix-$1
    KALVI7_WINEPREFIX=$prefix "$here/wine-run.sh" --prefix >/dev/null || { echo "no Wine prefix" >&2; exit 2; }
    # Debian's Wine 8 plays Windows 7, which the installer refuses; the
    # programs are for Windows 10 and 11.
    on_windows reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null
}
# A Windows program in the current prefix, with a clean environment: no
# build-tree DLL path, no menu entries made on the Linux desktop. Its
# standard error goes to wine.log, or to the file named by stderr_to.
on_windows() {
    env -u WINEPATH -u LD_PRELOAD WINEPREFIX="$prefix" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" timeout 120 "$wine" "$@" \
        2>>"${stderr_to:-$work/wine.log}"
}
settle() { WINEPREFIX=$prefix wineserver -w; }
# A Windows path's value (from cmd, CR dropped) and its Linux twin.
windows_echo() { on_windows cmd /c "echo $1" | tr -d '\r'; }
linux_path() { on_windows winepath -u "$1" | tr -d '\r'; }
# The user's PATH as "TYPE VALUE", or "none".
user_path() {
    local line
    line=$(on_windows reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' |
               sed -n 's/^    Path    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2/p')
    echo "${line:-none}"
}
set_user_path() {
    if [ "$1" = none ]; then
        on_windows reg delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1
    else
        on_windows reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$1" /f >/dev/null
    fi
}
# The resources of a shipped program, decompiled.
resources() { "$cross-windres" -J coff -O rc -i "$1" 2>/dev/null; }

# ---- The zip -------------------------------------------------------------
new_prefix zip
unpacked=$prefix/drive_c/unpacked
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked" || fail "the zip did not unpack"
folder=$unpacked/$name
[ -d "$folder" ] || fail "the zip does not hold the folder $name"
for file in kalvi7.exe kalvi7-ctl.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
    styles/qwindowsvistastyle.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll qt.conf README.txt; do
    [ -f "$folder/$file" ] || fail "the zip lacks $file"
done
[ "$(head -c 3 "$folder/README.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt has no UTF-8 byte order mark"
grep -q $'\r$' "$folder/README.txt" || fail "README.txt has no CRLF line ends"

# Version resources (UTF-16 Cyrillic product name), manifests, icon, subsystem.
product='VALUE "ProductName", L"\x041a\x0410\x041b\x0412\x0418-7"'
for program in kalvi7 kalvi7-ctl; do
    rc=$(resources "$folder/$program.exe")
    grep -qF "$product" <<<"$rc" || fail "$program.exe: no ProductName КАЛВИ-7 in its version resource"
    grep -qF "VALUE \"FileVersion\", \"$version\"" <<<"$rc" || fail "$program.exe: FileVersion is not $version"
    grep -qF "VALUE \"OriginalFilename\", \"$program.exe\"" <<<"$rc" || fail "$program.exe: wrong OriginalFilename"
    grep -qF '>UTF-8</activeCodePage>' <<<"$rc" || fail "$program.exe: the manifest sets no UTF-8 code page"
    grep -qF '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' <<<"$rc" || fail "$program.exe: Windows 10/11 not declared"
done
rc=$(resources "$folder/kalvi7.exe")
grep -qF '>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$rc" || fail "kalvi7.exe: no per-monitor DPI awareness"
grep -qF 'Microsoft.Windows.Common-Controls' <<<"$rc" || fail "kalvi7.exe: no common controls 6"
grep -qF '"IDI_ICON1" 14' <<<"$rc" || fail "kalvi7.exe: no icon IDI_ICON1"
grep -q 'Subsystem.*Windows GUI' <<<"$("$cross-objdump" -p "$folder/kalvi7.exe")" ||
    fail "kalvi7.exe is not a GUI program"
grep -q 'Subsystem.*Windows CUI' <<<"$("$cross-objdump" -p "$folder/kalvi7-ctl.exe")" ||
    fail "kalvi7-ctl.exe is not a console program"

zip_folder_windows="C:\\unpacked\\$name"
cd "$work"
got=$(on_windows "$zip_folder_windows\\kalvi7.exe" --version | tr -d '\r')
[ "$got" = "kalvi7 $version" ] || fail "unzipped kalvi7.exe --version printed '$got'"
got=$(on_windows "$zip_folder_windows\\kalvi7-ctl.exe" --version | tr -d '\r')
[ "$got" = "kalvi7-ctl $version" ] || fail "unzipped kalvi7-ctl.exe --version printed '$got'"
help=$(on_windows "$zip_folder_windows\\kalvi7.exe" --help | tr -d '\r')
grep -qF -- '--user-folder' <<<"$help" && grep -qF '%APPDATA%\kalvi7' <<<"$help" ||
    fail "kalvi7.exe --help does not describe --user-folder: $help"

# The window, as the Start menu starts it: the toolkit's plugins load from
# the zip alone, the per-user folder is made, and a close as Windows closes
# (WM_CLOSE, as taskkill sends it) writes settings.INI there. Before that,
# a file where the folder should be: the start is refused, with the reason.
if [ -n "${DISPLAY:-}" ]; then
    appdata_windows=$(windows_echo %APPDATA%)
    appdata=$(linux_path "$appdata_windows")
    # Qt writes its warnings to the debugger of a GUI program unless told
    # otherwise; here they are to be seen. Wine hands no QT_ variable of the
    # Linux environment on, so the user's Windows environment carries it.
    on_windows reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null

    # Starts the window with --user-folder and closes it as Windows does,
    # repeatedly: the first start in a fresh prefix takes Wine a while
    # (fonts, the desktop), and a box shown at start takes the first close.
    # Leaves window.status, window.err.
    start_and_close_window() {
        rm -f "$work/window.status"
        : >"$work/window.err"
        (stderr_to=$work/window.err on_windows "$zip_folder_windows\\kalvi7.exe" --user-folder >"$work/window.out"
         echo $? >"$work/window.status") &
        local window=$! started_window=$SECONDS
        while [ ! -e "$work/window.status" ] && [ $((SECONDS - started_window)) -lt 100 ]; do
            sleep 2
            on_windows taskkill /im kalvi7.exe >>"$work/taskkill.log" 2>&1
        done
        wait "$window"
        settle
    }

    touch "$appdata/kalvi7"
    start_and_close_window
    [ "$(cat "$work/window.status" 2>/dev/null)" = 1 ] ||
        fail "a file as %APPDATA%\\kalvi7: status $(cat "$work/window.status" 2>/dev/null), not 1"
    grep -qF "kalvi7: Ошибка: папка настроек $appdata_windows\\kalvi7 не создана." "$work/window.err" ||
        fail "a file as %APPDATA%\\kalvi7: no reason on standard error: $(cat "$work/window.err")"
    [ ! -e "$folder/settings.INI" ] || fail "a refused start wrote settings.INI beside the program"
    rm -f "$appdata/kalvi7"

    start_and_close_window
    [ -d "$appdata/kalvi7" ] || fail "kalvi7.exe --user-folder did not make %APPDATA%\\kalvi7"
    [ "$(cat "$work/window.status" 2>/dev/null)" = 0 ] ||
        fail "the window did not end with status 0 after WM_CLOSE: $(cat "$work/window.status" 2>/dev/null)" \
            "$(cat "$work/window.err")"
    grep -qx $'Port=COM1\r\\?' "$appdata/kalvi7/settings.INI" 2>/dev/null ||
        fail "no settings.INI with Port=COM1 in %APPDATA%\\kalvi7 after the window closed"
    [ ! -e "$folder/settings.INI" ] || fail "with --user-folder, settings.INI was written beside the program"
    # Nothing but Debian's note that 32-bit Wine is not installed, and what
    # Wine 8 lacks of per-monitor DPI awareness, with or without a manifest:
    # it refuses the V2 context as an invalid parameter, so Qt falls back
    # to V1 and asks for the frame's scaling, which Wine has not implemented.
    # Windows 10 and 11 refuse the V2 context as already set by the
    # manifest, which Qt takes quietly as V2, whose frames scale by
    # themselves.
    complaints=$(grep -v 'wine32\|multiarch\|dpkg --add-architecture\|apt-get install wine32' "$work/window.err" |
                     grep -vF 'SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) failed: COM error 0x57' |
                     grep -v '^EnableNonClientDpiScaling() failed for HWND 0x[0-9a-f]* (120)')
    [ -z "$complaints" ] || fail "the window wrote to standard error: $complaints"
fi

# ---- The installer -------------------------------------------------------
new_prefix setup
before='C:\tools;%USERPROFILE%\bin'
set_user_path "$before"
on_windows "$setup" /S || fail "the installer ended with status $?"
settle
localappdata=$(windows_echo %LOCALAPPDATA%)
appdata_windows=$(windows_echo %APPDATA%)
instdir="$localappdata\\Programs\\kalvi7"
instdir_linux=$(linux_path "$instdir")
appdata=$(linux_path "$appdata_windows")

expected=$(unzip -Z1 "$zip" | sed "s|^$name/||" | sort)
installed=$( (cd "$instdir_linux" 2>/dev/null && find . -type f | sed 's|^\./||' | grep -vx uninstall.exe | sort))
[ "$installed" = "$expected" ] || fail "installed files differ from the zip's: $(diff <(echo "$expected") <(echo "$installed"))"
[ -f "$instdir_linux/uninstall.exe" ] || fail "no uninstall.exe"

shortcut="$appdata_windows\\Microsoft\\Windows\\Start Menu\\Programs\\КАЛВИ-7.lnk"
link=$(on_windows "$work/lnk_info.exe" "$shortcut" | tr -d '\r')
for expected_line in "target=$instdir\\kalvi7.exe" "arguments=--user-folder" "workdir=$instdir"; do
    grep -qxF "$expected_line" <<<"$link" || fail "the Start-menu shortcut lacks $expected_line: $link"
done

[ "$(user_path)" = "REG_EXPAND_SZ $before;$instdir" ] || fail "PATH after the install: $(user_path)"
on_windows reg export 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\kalvi7' 'C:\arp.reg' /y \
    >/dev/null 2>&1
arp=$(iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/arp.reg" 2>/dev/null | tr -d '\r')
for entry in '"DisplayName"="КАЛВИ-7"' "\"DisplayVersion\"=\"$version\"" \
    "\"UninstallString\"=\"\\\"${instdir//\\/\\\\}\\\\uninstall.exe\\\"\""; do
    grep -qxF "$entry" <<<"$arp" || fail "the Add/Remove Programs entry lacks $entry: $arp"
done

# A console opened after the install finds kalvi7-ctl through PATH.
got=$(on_windows cmd /c kalvi7-ctl --version | tr -d '\r')
[ "$got" = "kalvi7-ctl $version" ] || fail "kalvi7-ctl from a console printed '$got'"
got=$(on_windows "$instdir\\kalvi7.exe" --version | tr -d '\r')
[ "$got" = "kalvi7 $version" ] || fail "installed kalvi7.exe --version printed '$got'"

on_windows "$setup" /S || fail "the second install ended with status $?"
settle
[ "$(user_path)" = "REG_EXPAND_SZ $before;$instdir" ] || fail "PATH after a second install: $(user_path)"

# The operator's settings, beside the program (a start from a console
# there) and in the per-user folder, outlive the uninstall.
printf '[Port1 setting]\r\nPort=COM3\r\n' >"$instdir_linux/settings.INI"
mkdir -p "$appdata/kalvi7" && printf '[Port1 setting]\r\nPort=COM4\r\n' >"$appdata/kalvi7/settings.INI"
on_windows "$instdir\\uninstall.exe" /S || fail "the uninstaller ended with status $?"
settle
left=$( (cd "$instdir_linux" 2>/dev/null && find . | sort | tr '\n' ' '))
[ "$left" = ". ./settings.INI " ] || fail "the uninstall left '$left' in the install folder, not settings.INI alone"
grep -q 'Port=COM3' "$instdir_linux/settings.INI" 2>/dev/null || fail "settings.INI of the install folder changed"
grep -q 'Port=COM4' "$appdata/kalvi7/settings.INI" 2>/dev/null || fail "%APPDATA%\\kalvi7\\settings.INI is gone"
[ ! -e "$(linux_path "$shortcut")" ] || fail "the Start-menu shortcut outlived the uninstall"
on_windows reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\kalvi7' >/dev/null 2>&1 &&
    fail "the Add/Remove Programs entry outlived the uninstall"
[ "$(user_path)" = "REG_EXPAND_SZ $before" ] || fail "PATH after the uninstall: $(user_path)"
rm -rf "$instdir_linux"

# The user's PATH around an install and an uninstall:
#   case | PATH before | after the install | after the uninstall
long=$(for i in $(seq 1 120); do printf 'C:\\tool%03d;' "$i"; done)
long=${long%;}
path_cases=(
    "no PATH|none|REG_EXPAND_SZ $instdir|none"
    "too long to change safely|$long|REG_EXPAND_SZ $long|REG_EXPAND_SZ $long"
    "the folder already on it|C:\\a;${instdir^^}\\;C:\\b|REG_EXPAND_SZ C:\\a;${instdir^^}\\;C:\\b|REG_EXPAND_SZ C:\\a;C:\\b"
)
for path_case in "${path_cases[@]}"; do
    IFS='|' read -r what path_before after_install after_uninstall <<<"$path_case"
    set_user_path "$path_before"
    on_windows "$setup" /S || fail "$what: the installer ended with status $?"
    settle
    [ -f "$instdir_linux/kalvi7.exe" ] || fail "$what: kalvi7.exe not installed"
    [ "$(user_path)" = "$after_install" ] || fail "$what: PATH after the install: $(user_path)"
    on_windows "$instdir\\uninstall.exe" /S || fail "$what: the uninstaller ended with status $?"
    settle
    [ "$(user_path)" = "$after_uninstall" ] || fail "$what: PATH after the uninstall: $(user_path)"
    [ ! -e "$instdir_linux" ] || fail "$what: the uninstall left the install folder"
done

echo "package_under_wine: $((SECONDS - started)) s, $failures failed"
exit $((failures > 0))
