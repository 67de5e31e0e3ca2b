#!/usr/bin/env bash
# Makes the zip and the installer of a staged Windows folder (as
# scripts/windows.sh stages it):
#
#   packaging/windows/package.sh STAGE DIST VERSION
#
#   STAGE    the folder as shipped, named kalvi7-VERSION-windows-x64
#   DIST     where kalvi7-VERSION-windows-x64.zip and kalvi7-VERSION-setup.exe go
#
# No time of the build goes into either: every file carries the time of the
# last commit (SOURCE_DATE_EPOCH when set) and the files go in one order,
# so the same staged files give the same zip and installer.
set -euo pipefail
[ $# = 3 ] || { echo "usage: $0 STAGE DIST VERSION" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
stage=$(cd "$1" && pwd)
mkdir -p "$2"
dist=$(cd "$2" && pwd)
version=$3
name=$(basename "$stage")
# Four numbers for the installer's own version resource: 1.3 -> 1.3.0.0.
version4=$version
while [ "$(tr -cd . <<<"$version4" | wc -c)" -lt 3 ]; do version4=$version4.0; done

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}
find "$stage" -exec touch -h -d "@$epoch" {} +

# The zip: the folder itself, so that unpacking gives one folder. No
# directory entries, no Unix extra fields, times in UTC.
zip=$dist/$name.zip
rm -f "$zip"
(cd "$stage/.." && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -9 -D "$zip" -@)

# The installer's file lists, from the staged folder: the uninstaller
# removes the files listed and the folders once empty, deepest first.
lists=$(mktemp -d)
trap 'rm -rf "$lists"' EXIT
(
    cd "$stage"
    find . -type d | LC_ALL=C sort | while read -r dir; do
        dir=${dir#.}
        echo "SetOutPath \"\$INSTDIR${dir//\//\\}\""
        find ".$dir" -maxdepth 1 -type f | LC_ALL=C sort | while read -r file; do
            echo "File \"\${STAGE}/${file#./}\""
        done
    done >"$lists/install-files.nsh"
    find . -type f | LC_ALL=C sort | while read -r file; do
        file=${file#./}
        echo "Delete \"\$INSTDIR\\${file//\//\\}\""
    done >"$lists/uninstall-files.nsh"
    find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r dir; do
        dir=${dir#./}
        echo "RMDir \"\$INSTDIR\\${dir//\//\\}\""
    done >>"$lists/uninstall-files.nsh"
)
size_kb=$(du -sk --apparent-size "$stage" | cut -f1)
setup=$dist/kalvi7-$version-setup.exe
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$version4" -DSTAGE="$stage" \
    -DLISTS="$lists" -DICON="$root/src/Unit1/resources/kalvi7.ico" -DSIZE_KB="$size_kb" \
    -DOUTFILE="$setup" "$here/kalvi7.nsi"
touch -d "@$epoch" "$zip" "$setup"

echo "package: $(du -sh --apparent-size "$stage" | cut -f1) in $stage"
for file in "$zip" "$setup"; do
    echo "package: $file $(stat -c %s "$file") bytes, sha256 $(sha256sum "$file" | cut -c1-16)"
done
