#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job on the bundled sample wallet
# (password "keystash"): the desktop program `keystash` when a display is available, else the
# sample's tree and one card through keystash-cli.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja
cmake --build "$build"

sample="$build/share/keystash/Sample Wallet.ks5"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting keystash on \"$sample\" (password: keystash)"
    exec "$build/shell/keystash" "$(realpath "$sample")"
fi

cli="$build/cli/keystash-cli"
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): showing the sample through keystash-cli."
echo
echo "\$ keystash-cli ls -R \"Sample Wallet.ks5\"        (password: keystash)"
echo keystash | "$cli" ls "$sample" -R
echo
echo "\$ keystash-cli show \"Sample Wallet.ks5\" \"Bank/Travel Rewards Card\""
echo keystash | "$cli" show "$sample" "Bank/Travel Rewards Card"
echo
echo "More: $cli --help"
