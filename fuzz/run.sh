#!/bin/sh
# Builds every fuzz target (each CMake target named fuzz_*) with clang, AddressSanitizer,
# UndefinedBehaviorSanitizer (clang's checks float-to-integer overflow too; any report aborts) and
# libFuzzer, then runs them one after the other, sharing the given number of seconds (default 30)
# equally. A target starts from its corpus in the build folder and the seeds in fuzz/seeds/<name>/.
# Fails when any target finds a crash, a leak or a hang, after all have run.
set -eu
seconds=${1:-30}
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
build=${NBX70_FUZZ_BUILD:-$src/build-fuzz}
cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer" \
    -DNBX70_BUILD_FUZZ=ON -DNBX70_BUILD_TESTS=OFF -DNBX70_BUILD_BENCH=OFF >/dev/null
targets=$(cmake --build "$build" --target help | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\):.*/\1/p' | grep -v '_autogen' | sort -u)
if [ -z "$targets" ]; then
    echo "no fuzz targets found" >&2
    exit 1
fi
# shellcheck disable=SC2086
cmake --build "$build" --target $targets
count=$(echo "$targets" | wc -w)
share=$((seconds / count))
[ "$share" -ge 1 ] || share=1
failed=""
for target in $targets; do
    name=${target#fuzz_}
    binary=$(find "$build" -type f -name "$target" -perm -u+x | head -n 1)
    corpus="$build/fuzz-corpus-$name"
    mkdir -p "$corpus"
    seeds=""
    [ -d "$here/seeds/$name" ] && seeds="$here/seeds/$name"
    # Access files are whole pages of 2 or 4 KB: the seeds of both versions must fit.
    max_len=32768
    [ "$name" = access ] && max_len=65536
    echo "== $target: $share s"
    # shellcheck disable=SC2086
    if ! "$binary" -max_total_time="$share" -timeout=10 -max_len="$max_len" "$corpus" $seeds; then
        failed="$failed $target"
    fi
done
if [ -n "$failed" ]; then
    echo "fuzz targets that failed:$failed" >&2
    exit 1
fi
