#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja
cmake --build "$build"
echo "Built the storage core libraries in $build/."
echo "The command-line tool that opens wallets (keystash-cli) is not built yet; it arrives next."
