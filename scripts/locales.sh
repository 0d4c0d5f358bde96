#!/usr/bin/env bash
# Generates the locales the locale-format tests run under, when they are missing.
set -euo pipefail

wanted=(en_US de_DE)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
have() { locale -a 2>/dev/null | grep -qix "$1\.utf-\?8"; }

missing=()
for l in "${wanted[@]}"; do have "$l" || missing+=("$l"); done
((${#missing[@]})) || exit 0

if [ ! -e "/usr/share/i18n/locales/${missing[0]}" ]; then
    echo "Installing: locales" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq locales
fi
for l in "${missing[@]}"; do
    echo "Generating the locale $l.UTF-8" >&2
    $sudo localedef -i "$l" -c -f UTF-8 -A /usr/share/locale/locale.alias "$l.UTF-8"
done
