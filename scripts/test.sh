#!/usr/bin/env bash
# Installs the packages, builds everything and runs every test, then the fuzz targets briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
if [ -x fuzz/run.sh ]; then
  bash fuzz/run.sh 30
fi
