#!/usr/bin/env bash
# Builds the Windows programs and what ships them: a zip to unpack anywhere
# and an installer.
#
#   scripts/windows.sh
#
# Installs what is missing (KALVI7_WINDOWS_PACKAGES of scripts/deps.sh),
# builds Qt for Windows once per machine (scripts/windows-qt.sh, 25 to 35
# minutes the first time), configures and builds kalvi7.exe and
# kalvi7-ctl.exe in build-windows/ (preset windows, warnings as errors),
# then gathers them with the DLLs they need, stripped, in
# build-windows/stage/kalvi7-<version>-windows-x64/ and makes, in
# build-windows/dist/:
#   kalvi7-<version>-windows-x64.zip   that folder
#   kalvi7-<version>-setup.exe         the installer (packaging/windows/kalvi7.nsi)
# Every DLL a shipped file imports is checked to be shipped or part of
# Windows. No time of the build goes into either: the programs and the
# files carry the time of the last commit (SOURCE_DATE_EPOCH when set), so
# a fresh build-windows/ of the same commit with the same Qt gives the same
# bytes.
# tests/wine/package_under_wine.sh proves both under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
case "${1:-}" in
    "") ;;
    -h | --help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "usage: $0" >&2; exit 2 ;;
esac
source scripts/deps.sh
kalvi7_ensure_packages "${KALVI7_WINDOWS_PACKAGES[@]}"

qt=$(scripts/windows-qt.sh | tail -n 1)
[ -d "$qt/bin" ] || { echo "windows.sh: no Windows Qt in '$qt'" >&2; exit 1; }
export KALVI7_QT_WINDOWS=$qt

# --fresh when the build folder holds another Qt: the cache keeps the old path.
fresh=()
if [ -f build-windows/CMakeCache.txt ] &&
    ! grep -qxF "CMAKE_PREFIX_PATH:UNINITIALIZED=$qt" build-windows/CMakeCache.txt &&
    ! grep -qxF "CMAKE_PREFIX_PATH:STRING=$qt" build-windows/CMakeCache.txt; then
    fresh=(--fresh)
fi
# The time the build records where it records one: Qt's resource compiler
# stores its files' times, which in a fresh clone are those of the
# checkout. The last commit's time instead, unless SOURCE_DATE_EPOCH says.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
cmake --preset windows "${fresh[@]}" -DKALVI7_WERROR=ON >/dev/null
cmake --build --preset windows --parallel "$(nproc)" --target kalvi7 kalvi7-ctl

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
[ -n "$version" ] || { echo "windows.sh: no project version in build-windows/CMakeCache.txt" >&2; exit 1; }
# Four numbers for the installer's own version resource: 1.3 -> 1.3.0.0.
version4=$version
while [ "$(tr -cd . <<<"$version4" | wc -c)" -lt 3 ]; do version4=$version4.0; done

name=kalvi7-$version-windows-x64
stage=build-windows/stage/$name
dist=build-windows/dist
rm -rf "build-windows/stage" && mkdir -p "$stage/platforms" "$stage/styles" "$dist"

cross=x86_64-w64-mingw32
runtime() { "$cross-g++-posix" -print-file-name="$1"; }
cp build-windows/kalvi7.exe build-windows/kalvi7-ctl.exe "$stage/"
cp "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# The runtime of the compiler Qt and the programs are built with: the posix
# thread model's libstdc++, whose DLL differs from the win32 model's.
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    path=$(runtime "$dll")
    [ -f "$path" ] || { echo "windows.sh: $dll of $cross-g++-posix not found" >&2; exit 1; }
    cp "$path" "$stage/"
done
# Qt looks for its plugins in the program's folder, and nowhere else: by
# default it would also look where the DLLs' own prefix points, a folder
# beside the install folder that may hold another program's Qt.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\n' >"$stage/qt.conf"
# Notepad shows UTF-8 with a byte order mark and CRLF line ends right on
# every Windows 10 and 11.
{
    printf '\xef\xbb\xbf'
    sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/windows/README.txt.in
} >"$stage/README.txt"

find "$stage" -name '*.exe' -o -name '*.dll' | while read -r file; do
    "$cross-strip" --strip-unneeded "$file"
done

# Every DLL a shipped file imports is shipped (Windows looks in the
# program's folder first) or comes with Windows.
system_dlls=(advapi32 authz bcrypt cfgmgr32 comctl32 comdlg32 crypt32 d3d11 d3d12 d3d9 dwmapi dwrite dxgi
             gdi32 imm32 kernel32 mpr msvcrt netapi32 ntdll ole32 oleaut32 setupapi shcore shell32 shlwapi
             user32 userenv uxtheme version winmm winspool ws2_32 wtsapi32)
system_dlls=" ${system_dlls[*]} "
shipped=" $(cd "$stage" && ls | tr '[:upper:]' '[:lower:]' | tr '\n' ' ') "
missing=0
while read -r file; do
    while read -r dll; do
        lower=${dll,,}
        base=${lower%.dll}
        [[ $base == api-ms-win-* ]] && continue
        [[ $system_dlls == *" $base "* ]] && continue
        [[ $shipped == *" $lower "* ]] && continue
        echo "windows.sh: ${file#"$stage"/} needs $dll, which is neither shipped nor part of Windows" >&2
        missing=1
    done < <("$cross-objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$stage" -name '*.exe' -o -name '*.dll')
[ "$missing" = 0 ] || exit 1

packaging/windows/package.sh "$stage" "$dist" "$version"
