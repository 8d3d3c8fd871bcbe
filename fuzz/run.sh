#!/bin/sh
# Builds the fuzz targets with clang, AddressSanitizer and libFuzzer, then runs the link fuzzer
# for the given number of seconds (default 30).
set -eu
seconds=${1:-30}
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
build=${NBX70_FUZZ_BUILD:-$src/build-fuzz}
cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,fuzzer-no-link -fno-omit-frame-pointer" \
    -DNBX70_BUILD_FUZZ=ON -DNBX70_BUILD_TESTS=OFF -DNBX70_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_link fuzz_live fuzz_records
corpus="$build/fuzz-corpus-link"
mkdir -p "$corpus"
# Seeds: an identification reply, and the same after noise.
printf '\002\000\020\001\005\002\000123456\001\003\001' > "$corpus/seed-identification"
printf '\377\000\002\000\006\014\003\013' > "$corpus/seed-noise"
"$build/fuzz/fuzz_link" -max_total_time="$seconds" -timeout=10 -max_len=8192 "$corpus"
# The live windows' frame decoders, seeded with a real-time frame.
live="$build/fuzz-corpus-live"
mkdir -p "$live"
printf '\002\000\024\011\037\014\174\027\073\072\001\001\000\000\000\002\130\005\003\072' > "$live/seed-realtime"
"$build/fuzz/fuzz_live" -max_total_time="$seconds" -timeout=10 -max_len=600 "$live"
# The download's decoders (totals, dates, interval and session records), seeded with a record head.
records="$build/fuzz-corpus-records"
mkdir -p "$records"
printf '\002\000\074\005\017\003\174\012\036' > "$records/seed-interval"
"$build/fuzz/fuzz_records" -max_total_time="$seconds" -timeout=10 -max_len=600 "$records"
