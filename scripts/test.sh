#!/usr/bin/env bash
# Installs the packages, builds everything, fuzzes the frame receiver for 30 seconds under
# AddressSanitizer, then runs every test.
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
echo "fuzzing: $(grep -E '^Done [0-9]+ runs' build/fuzz.log | tail -n 1)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
