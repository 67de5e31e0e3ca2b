#!/usr/bin/env bash
# Builds the .deb exactly as `cpack -G DEB` in the build directory does, into
# a scratch directory, and puts it before Debian's own checkers: lintian on
# the package, desktop-file-validate on the menu entry, appstreamcli on the
# metainfo file, groff and man on every manual page. Any error or warning
# fails. Also: every program installed has its manual page, the changelog,
# the metainfo file and the packaged program agree on the version.
#   check_package.sh BUILD_DIR
set -uo pipefail
build=$(realpath "$1")
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack -G DEB" >&2
    exit 1
fi
debs=("$work"/out/*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: not one package: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"
version=$(dpkg-deb -f "$deb" Version)

# lintian: its tags begin with the severity letter; E and W fail, the rest
# (I, P, N) is shown. Overrides in the package are honoured and listed.
lintian --fail-on error,warning --show-overrides "$deb" >"$work/lintian" 2>"$work/lintian.err"
status=$?
cat "$work/lintian"
grep -v '^running with root privileges is not recommended!$' "$work/lintian.err" >&2
if [ "$status" -ne 0 ] || grep -q '^[EW]: ' "$work/lintian"; then
    fail "lintian: errors or warnings (status $status)"
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"

# Any message of desktop-file-validate, hints included, counts.
entries=("$root"/usr/share/applications/*.desktop)
[ -f "${entries[0]}" ] || fail "no desktop entry in the package"
for entry in "${entries[@]}"; do
    [ -f "$entry" ] || continue
    out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate $(basename "$entry") failed"
    [ -z "$out" ] || fail "desktop-file-validate $(basename "$entry"): $out"
done

metainfos=("$root"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfos[0]}" ] || fail "no metainfo file in the package"
for metainfo in "${metainfos[@]}"; do
    [ -f "$metainfo" ] || continue
    out=$(appstreamcli validate --no-net --explain "$metainfo" 2>&1) ||
        fail "appstreamcli validate $(basename "$metainfo"): $out"
    ! grep -q '^[EW]: ' <<<"$out" || fail "appstreamcli validate $(basename "$metainfo"): $out"
    # The release the software centre shows is the one packaged.
    latest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
    [ "$latest" = "$version" ] || fail "$(basename "$metainfo"): latest release '$latest', package $version"
done

# Each page is formatted as man(1) does it: UTF-8 input through preconv, the
# UTF-8 terminal device, all warnings on.
for program in "$root"/usr/bin/*; do
    name=$(basename "$program")
    page="$root/usr/share/man/man1/$name.1.gz"
    if [ ! -f "$page" ]; then
        fail "no manual page for $name"
        continue
    fi
    out=$(zcat "$page" | groff -k -K utf8 -Tutf8 -ww -z -man 2>&1)
    [ -z "$out" ] || fail "groff on $name.1: $out"
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >"$work/$name.txt") ||
        fail "man -l $name.1 failed"
    [ -z "$out" ] || fail "man -l $name.1: $out"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' FILES EXAMPLES 'SEE ALSO'; do
        grep -q "^$section\$" "$work/$name.txt" || fail "$name.1 has no $section section"
    done
done

changelog=$(zcat "$root/usr/share/doc/kalvi7/changelog.gz" | dpkg-parsechangelog -l - -S Version 2>&1)
[ "$changelog" = "$version" ] || fail "changelog's latest entry '$changelog', package $version"

# The packaged program, stripped, still answers without a display.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/kalvi7" --version 2>&1)
[ "$out" = "kalvi7 $version" ] || fail "packaged kalvi7 --version: $out"

exit $((failures > 0))
