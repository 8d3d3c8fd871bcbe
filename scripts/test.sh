#!/usr/bin/env bash
# Installs the packages, builds everything, runs every fuzz target under AddressSanitizer and
# clang's UndefinedBehaviorSanitizer (30 seconds shared among them), runs every test, then builds
# the tests again in Debug with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan) and
# runs every test under them, a test failing at its first report.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if ! bash fuzz/run.sh 30 > build/fuzz.log 2>&1; then
  tail -n 60 build/fuzz.log
  echo "fuzzing failed: see build/fuzz.log"
  exit 1
fi
echo "fuzzing: $(grep -cE '^Done [0-9]+ runs' build/fuzz.log) targets; $(grep -E '^Done [0-9]+ runs' build/fuzz.log | tr '\n' ' ')"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300

# GCC leaves float-to-integer overflow out of "undefined": it is asked for by name.
sanitizers="-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
  -DNBX70_BUILD_BENCH=OFF
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cmake --build build-asan -j"$(nproc)"
echo "tests under AddressSanitizer and UndefinedBehaviorSanitizer:"
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600
