#!/usr/bin/env bash
# Builds Qt for 64-bit Windows with MinGW-w64, once per machine, and prints
# the folder it is installed in.
#
#   scripts/windows-qt.sh            build if missing; the last line printed is the folder
#   scripts/windows-qt.sh --print    print the folder if it is built, else exit 1
#
# No Qt built for MinGW is packaged for Debian, but Debian's source of the
# very Qt the Linux build uses cross-builds, with Debian's patches (its
# security fixes among them) applied. The build goes into a per-user cache,
# ${XDG_CACHE_HOME:-~/.cache}/kalvi7/qt6-mingw-<version>-<key>, where the key
# is a hash of the source version, the compiler and the options below: a
# change to any of them builds a new Qt beside the old one. A build is
# taken only when it finished (the stamp file is written last); a half-built
# folder from an interrupted run is removed and built again. About 1 000
# build steps: 25 to 35 minutes on two cores.
#
# The source comes through a private apt configuration with deb-src entries
# for the machine's own deb entries, so the machine's apt setup is never
# changed. Needs: dpkg-dev, g++-mingw-w64-x86-64-posix, cmake, ninja-build,
# qt6-base-dev (its moc, rcc and uic are the host tools of the cross build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

print_only=0
case "${1:-}" in
    --print) print_only=1 ;;
    "") ;;
    *) echo "usage: $0 [--print]" >&2; exit 2 ;;
esac

host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$host_qt_version" ]; then
    echo "windows-qt: qt6-base-dev is not installed; its version is the one built" >&2
    exit 2
fi
upstream=${host_qt_version%%+*}   # 6.4.2+dfsg-10 -> 6.4.2

# Only what the programs and their tests use: Core, Gui, Widgets, Test, the
# windows and offscreen platforms (the tests run offscreen under Wine) and
# the windows styles. Each option's reason where it is not plain:
#   -no-feature-tabletevent    Debian's source drops src/3rdparty/wintab;
#   -no-feature-direct2d/-directwrite3   the windows platform links without
#                              Direct2D only when DirectWrite 3 is off too;
#   -no-icu -no-openssl ...    nothing of ours needs them, and each would be
#                              one more DLL to ship;
#   the find root path         the MinGW tree only: without it the build
#                              machine's own headers (Vulkan, fontconfig)
#                              are taken for Windows ones.
qt_options=(-release -shared -nomake examples -nomake tests -no-pkg-config
            -no-dbus -no-opengl -no-icu -no-zstd -no-openssl
            -qt-zlib -qt-libpng -no-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype -qt-doubleconversion
            -no-feature-sql -no-feature-network -no-feature-printsupport
            -no-feature-concurrent -no-feature-xml -no-feature-tabletevent
            -no-feature-direct2d -no-feature-directwrite3 -no-feature-vulkan)
compiler=x86_64-w64-mingw32-g++-posix
compiler_version=$("$compiler" -dumpfullversion 2>/dev/null || echo none)
# Qt's own toolchain file: the project's toolchain file may change without
# touching the Qt built with it, so Qt gets this fixed one, part of the key.
toolchain='set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)'
key=$(printf '%s\n' "$host_qt_version" "$compiler" "$compiler_version" "${qt_options[@]}" "$toolchain" |
          sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kalvi7
prefix=$cache/qt6-mingw-$upstream-$key
stamp=$prefix/.kalvi7-built

if [ -e "$stamp" ]; then
    echo "$prefix"
    exit 0
fi
[ "$print_only" = 1 ] && exit 1

if ! command -v "$compiler" >/dev/null; then
    echo "windows-qt: $compiler not found (Debian: g++-mingw-w64-x86-64-posix)" >&2
    exit 2
fi

work=$cache/qt6-mingw-$upstream-$key.work
# Another run building the same Qt at the same time waits for it.
mkdir -p "$cache"
exec 9>"$cache/qt6-mingw-$upstream-$key.lock"
flock 9
if [ -e "$stamp" ]; then
    echo "$prefix"
    exit 0
fi
rm -rf "$prefix" "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/sources" "$work/apt/cache/archives/partial" "$work/src"

# deb-src entries for the suites of the machine's own deb entries.
for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] && sed 's/^Types:.*deb\b.*/Types: deb-src/' "$f" >"$work/apt/sources/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] && sed -n 's/^deb \(.*\)/deb-src \1/p' "$f" >"$work/apt/sources/$(basename "$f").list"
done
apt_private=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$work/apt/sources"
             -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
             -o "Debug::NoLocking=1")
[ "$(id -u)" = 0 ] && apt_private+=(-o "APT::Sandbox::User=root")
echo "windows-qt: fetching the source of qt6-base $host_qt_version" >&2
apt-get "${apt_private[@]}" -qq update
(cd "$work/src" && apt-get "${apt_private[@]}" -qq source --only-source "qt6-base=$host_qt_version" >/dev/null)
source_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
[ -n "$source_dir" ] || { echo "windows-qt: the source did not unpack" >&2; exit 1; }

echo "windows-qt: configuring Qt $upstream for x86_64-w64-mingw32 in $work/build" >&2
mkdir -p "$work/build"
printf '%s\n' "$toolchain" >"$work/toolchain.cmake"
(cd "$work/build" &&
    "$source_dir/configure" -prefix "$prefix" -qt-host-path /usr "${qt_options[@]}" \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1) ||
    { tail -n 40 "$work/configure.log" >&2; exit 1; }
echo "windows-qt: building ($(nproc) jobs; log in $work/build.log)" >&2
(cd "$work/build" && cmake --build . --parallel "$(nproc)" >"$work/build.log" 2>&1 &&
    cmake --install . >"$work/install.log" 2>&1) ||
    { tail -n 40 "$work/build.log" >&2; exit 1; }

printf 'qt6-base %s\ncompiler %s %s\nkey %s\n' "$host_qt_version" "$compiler" "$compiler_version" "$key" >"$stamp"
rm -rf "$work"
echo "$prefix"
