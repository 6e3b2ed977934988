#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, which is made on
# first use: a fresh wineboot, no Mono or Gecko installers, no crash dialog,
# DejaVu Sans standing in for Verdana (Liberation Sans is Arial already). The
# program runs under a time limit, so a hang fails instead of blocking.
#   scripts/wine-run.sh PREFIX PROGRAM [ARGS...]
# QUARV_WINE_TIMEOUT: seconds the program may run (default 900).
set -euo pipefail

prefix=$(realpath -m "$1")
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine)

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.quarv-ready" ]; then
  rm -rf "$prefix"
  timeout 300 "$wine" wineboot -u >/dev/null 2>&1
  reg() { timeout 60 "$wine" reg add "$@" /f >/dev/null 2>&1; }
  reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v Verdana /t REG_SZ /d 'DejaVu Sans'
  timeout 60 wineserver -w
  touch "$prefix/.quarv-ready"
fi
flock -u 9

exec timeout --kill-after=10 "${QUARV_WINE_TIMEOUT:-900}" "$wine" "$@"
