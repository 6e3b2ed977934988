#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, which is made on
# first use: a fresh wineboot, no Mono or Gecko installers, no crash dialog,
# DejaVu Sans standing in for Verdana (Liberation Sans is Arial already).
# Windows, timers and child controls need an X server: unless DISPLAY is set,
# the prefix gets its own Xvfb, started before the prefix is booted and kept
# for every later run, until `scripts/wine-run.sh --stop PREFIX` ends it with
# the prefix's wineserver. The program runs under a time limit, so a hang
# fails instead of blocking.
#   scripts/wine-run.sh PREFIX PROGRAM [ARGS...]
#   scripts/wine-run.sh --stop PREFIX
# QUARV_WINE_TIMEOUT: seconds the program may run (default 900).
set -euo pipefail

stop=0
if [ "${1:-}" = "--stop" ]; then
  stop=1
  shift
fi
prefix=$(realpath -m "$1")
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine)

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

if [ $stop -eq 1 ]; then
  [ -d "$prefix" ] && timeout 60 wineserver -k 2>/dev/null || true
  if [ -f "$prefix.xvfb" ]; then
    kill "$(cut -d' ' -f1 "$prefix.xvfb")" 2>/dev/null || true
    rm -f "$prefix.xvfb"
  fi
  exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
  # The prefix's own X server: reused while it runs, started otherwise.
  if [ -f "$prefix.xvfb" ] && kill -0 "$(cut -d' ' -f1 "$prefix.xvfb")" 2>/dev/null; then
    DISPLAY=":$(cut -d' ' -f2 "$prefix.xvfb")"
  else
    ready=$(mktemp)
    Xvfb -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$ready" </dev/null >/dev/null 2>&1 9>&- &
    xvfb_pid=$!
    for _ in $(seq 100); do
      [ -s "$ready" ] && break
      sleep 0.1
    done
    display_number=$(head -n1 "$ready")
    rm -f "$ready"
    if [ -z "$display_number" ]; then
      echo "wine-run: Xvfb did not start" >&2
      exit 1
    fi
    echo "$xvfb_pid $display_number" > "$prefix.xvfb"
    DISPLAY=":$display_number"
    # A prefix booted without this server would keep its desktop elsewhere.
    rm -rf "$prefix"
  fi
  export DISPLAY
fi

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
