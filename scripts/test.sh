#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=${BUILD_DIR:-build}
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B "$build" -G Ninja -DKEYSTASH_WERROR="$werror"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
