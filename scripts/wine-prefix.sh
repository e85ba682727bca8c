#!/usr/bin/env bash
# Prepares the Wine prefix that a Windows build's tests run in (the build's own, so runs never
# share or depend on ~/.wine): created once with wineboot, with SimSun, the font of the
# library's dialogs, served by the CJK font Debian installs.
# Usage: scripts/wine-prefix.sh <prefix-dir>
set -euo pipefail
export WINEPREFIX=$(realpath -m "$1") WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/.qrx-ready" ]; then
  wineboot -i >/dev/null 2>&1
  key='HKCU\Software\Wine\Fonts\Replacements'
  wine reg add "$key" /v SimSun /d "WenQuanYi Zen Hei" /f >/dev/null 2>&1
  wine reg add "$key" /v "$(printf '\xe5\xae\x8b\xe4\xbd\x93')" /d "WenQuanYi Zen Hei" /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.qrx-ready"
fi
