#!/usr/bin/env bash
# Fails, naming the files and lines, when a tracked C++ file is not laid out
# as .clang-format says. With --fix, lays them out instead.
# clang-format 14 is the one pinned (Debian 12's): other versions break some
# lines differently, and the check must give the same verdict everywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=${CLANG_FORMAT:-clang-format-14}
command -v "$formatter" >/dev/null || { echo "check-format: $formatter not found (apt-get install clang-format-14)" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    "$formatter" -i "${files[@]}"
    exit 0
fi
"$formatter" --dry-run -Werror "${files[@]}" || {
    echo "check-format: the files above are not laid out as .clang-format says; run scripts/check-format.sh --fix" >&2
    exit 1
}
echo "check-format: ${#files[@]} files laid out as .clang-format says"
