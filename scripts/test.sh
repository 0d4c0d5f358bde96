#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test: a short run of every fuzz
# target (clang, sanitizers; FUZZ_SECONDS per target, 0 leaves it out), then the unit tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=${BUILD_DIR:-build}
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B "$build" -G Ninja -DKEYSTASH_WERROR="$werror"
cmake --build "$build"

fuzz_seconds=${FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
    bash scripts/fuzz.sh "$fuzz_seconds"
fi

ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
