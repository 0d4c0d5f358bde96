#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job: keystash-cli on the
# bundled sample wallet (password "keystash"), showing its tree and one card.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja
cmake --build "$build"

cli="$build/cli/keystash-cli"
sample="$build/share/keystash/Sample Wallet.ks5"
echo
echo "\$ keystash-cli ls -R \"Sample Wallet.ks5\"        (password: keystash)"
echo keystash | "$cli" ls "$sample" -R
echo
echo "\$ keystash-cli show \"Sample Wallet.ks5\" \"Bank/Travel Rewards Card\""
echo keystash | "$cli" show "$sample" "Bank/Travel Rewards Card"
echo
echo "More: $cli --help"
