#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each one
# for the given number of seconds (default 60), starting from its seed
# corpus in fuzz/corpus/<target>/. Any crash, sanitizer report or failed
# check fails the script; the input that caused it is kept in
# build-fuzz/crashes/<target>/ and should become a regression test.
# KALVI7_WERROR=ON in the environment makes warnings errors, as
# scripts/test.sh builds.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build-fuzz
targets=(fuzz_receiver fuzz_settings fuzz_editor_texts fuzz_capture)
# Coverage feedback and sanitizers for the project's libraries as well as
# for the targets themselves.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALVI7_FUZZ=ON -DCMAKE_CXX_FLAGS="$flags" -DKALVI7_WERROR="${KALVI7_WERROR:-OFF}" >/dev/null
cmake --build "$build" --target "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
    # New finds go to the build tree; the seeds in the source tree stay as they are.
    mkdir -p "$build/corpus/$target" "$build/crashes/$target"
    echo "--- $target, ${seconds} s"
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$build/crashes/$target/" \
            "$build/corpus/$target" "fuzz/corpus/$target"; then
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found failures in: ${failed[*]} (inputs in $build/crashes/)" >&2
    exit 1
fi
echo "fuzzing: no failures"
