#!/usr/bin/env bash
# Installs the packages, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNBX70_BUILD_TESTS=OFF -DNBX70_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target nbx70
exec ./build/nbx70 "$@"
