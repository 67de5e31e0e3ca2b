#!/usr/bin/env bash
# Sourced by run.sh and test.sh: installs the Debian packages the build
# needs, and only those that are missing, so a second run is fast.

# What building and running the window needs.
KALVI7_RUN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev
                     libgl-dev fonts-liberation2)
# What the tests add: GoogleTest, the clang fuzzers and sanitizer runtime
# (`clang` gives the unversioned clang/clang++ names; clang-14 alone does not),
# the Windows cross compiler that checks the Win32 driver compiles.
KALVI7_TEST_PACKAGES=(libgtest-dev libgmock-dev clang clang-14 libclang-rt-14-dev
                      g++-mingw-w64-x86-64 libbenchmark-dev
                      proj-bin locales
                      lintian desktop-file-utils appstream groff-base dpkg-dev file
                      clang-format-14 python3-jsonschema)
# proj-bin: PROJ's cct, the independent reference the geodetic conversion is
#   compared with; locales: the locale sources the window is tested under;
# lintian, desktop-file-utils, appstream, groff-base, dpkg-dev, file: the
#   package, its desktop entry, metainfo and manual pages are checked;
# clang-format-14: every C++ file must stand as .clang-format lays it out
#   (pinned: another version lays some lines out differently).
# python3-jsonschema: kalvi7-ctl's watch --json lines are checked against
#   their published schema by a validator made for JSON Schema, not by ours.
# What scripts/screenshots.sh adds: a virtual display, the grab and crop
# tools, and Qt's GTK platform theme, through which the window takes GTK's
# Adwaita dark palette for the dark pictures.
KALVI7_SCREENSHOT_PACKAGES=(xvfb imagemagick xdotool qt6-gtk-platformtheme)
# What scripts/windows.sh adds: the posix-thread MinGW-w64 compilers (the
# ones the Windows Qt is built with), NSIS for the installer, zip; and what
# scripts/windows-qt.sh needs to fetch and build Qt from Debian's source
# (dpkg-dev for apt-get source; cmake, ninja-build and qt6-base-dev, whose
# moc, rcc and uic are the host tools of the cross build).
KALVI7_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                         nsis zip dpkg-dev cmake ninja-build qt6-base-dev)
# What tests/wine/package_under_wine.sh adds: 64-bit Wine, the host g++ for
# the Wine prefix's pty fixture, unzip.
KALVI7_WINE_PACKAGES=(wine wine64 g++ unzip)

kalvi7_ensure_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
