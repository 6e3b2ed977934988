#!/usr/bin/env bash
# Real-host check of the editor: Ardour 7 (Debian's package) opens the plug-in's own editor of the
# built Quarvelline modules in its GUI, under Xvfb, and the editor shows the plug-in's face.
#
# This is a manual check, beside scripts/ardour-check.sh. Neither ./test.sh nor .ci/run runs it:
# it installs Ardour, starts its whole GUI, and needs root for apt.
# Needs: Debian 12 (ardour 1:7.3), python3; installs ardour, xvfb, x11-apps (xwd), x11-utils
# (xwininfo) and netpbm (xwdtopnm, pnmtopng, pngtopnm) when missing.
#
#   scripts/ardour-editor-check.sh                 # VST 2.4 module, then the VST3 bundle
#   scripts/ardour-editor-check.sh --vst2 PATH     # a given Quarvelline2.so
#   scripts/ardour-editor-check.sh --vst3 PATH     # a given Quarvelline3.vst3 bundle
#   scripts/ardour-editor-check.sh --no-vst3       # only the VST 2.4 module (--no-vst2: only the bundle)
#   scripts/ardour-editor-check.sh --out DIR       # where the screenshots go (default: build-ardour)
#   scripts/ardour-editor-check.sh --wait SECONDS  # how long to wait for the editor (default 120)
#   scripts/ardour-editor-check.sh --keep          # keep the work folder (sessions, logs, X trees)
#
# For each format, in a fresh temporary folder that stands for Ardour's configuration and cache
# (XDG_CONFIG_HOME, XDG_CACHE_HOME), so the user's own Ardour set-up is neither read nor touched:
#  1. copies the module into a plug-in folder and runs Ardour's scanner on it, as
#     scripts/ardour-check.sh does;
#  2. through ardour7-lua (scripts/ardour/editor-session.lua) with the "None (Dummy)" backend,
#     creates a session with a stereo track carrying the plug-in, and marks the plug-in's window as
#     open with its own editor in the session's <Extra><UI> node, so Ardour opens it on load;
#  3. gives Ardour a configuration that skips the first-run wizard and starts the "None (Dummy)"
#     backend without asking (the Audio/MIDI set-up otherwise waits for a click), then starts
#     Ardour's GUI on the session in an Xvfb display;
#  4. waits for a window of the editor's size (that of tests/editor/golden/editor.png) in the X
#     window tree, lets the editor tick a few seconds, and takes a screenshot of the display
#     (xwd -root, turned into PNG with netpbm): <out>/ardour-editor-vst2.png (or -vst3.png), and
#     the editor's own rectangle as <out>/ardour-editor-vst2-window.png;
#  5. checks that the window is shown and drawn (not empty) and that the face above the history
#     graph matches the reviewed picture (scripts/ardour/editor-face.py): generic sliders, an empty
#     window or no window at all fail.
# It prints a PASS/FAIL line per check, a summary, and exits non-zero if any check failed. Ardour and
# Xvfb are stopped however the script ends.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
ME=ardour-editor-check
source "$ROOT/scripts/ardour/common.sh"
OUT=""
WAIT=120
SETTLE=5

usage() { sed -n '2,36p' "$0" | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
  case "$1" in
    --out) OUT="$2"; shift 2 ;;
    --wait) WAIT="$2"; shift 2 ;;
    *) module_option "$@"; shift "$SHIFT" ;;
  esac
done
[ -n "$OUT" ] || OUT="$BUILD_DIR"

REFERENCE="$ROOT/tests/editor/golden/editor.png"
FACE="$ROOT/scripts/ardour/editor-face.py"

# --- Ardour, the X server and the tools the check uses -----------------------------------------
need=()
command -v ardour7-lua >/dev/null 2>&1 || need+=(ardour)
command -v Xvfb >/dev/null 2>&1 || need+=(xvfb)
command -v xwd >/dev/null 2>&1 || need+=(x11-apps)
command -v xwininfo >/dev/null 2>&1 || need+=(x11-utils)
command -v xwdtopnm >/dev/null 2>&1 && command -v pnmtopng >/dev/null 2>&1 || need+=(netpbm)
command -v python3 >/dev/null 2>&1 || need+=(python3)
install_missing "${need[@]}"

# --- The modules (built as scripts/ardour-check.sh builds them) --------------------------------
select_vst2
if [ "$DO_VST3" = 1 ] && [ -z "$VST3" ]; then
  build_module Quarvelline3 || exit 1
  VST3="$BUILD_DIR/modules/Quarvelline3.vst3"
  bundle_ok "$VST3" || { echo "$ME: no bundle at $VST3" >&2; exit 1; }
fi
mkdir -p "$OUT"

WORK="$(mktemp -d /tmp/quarvelline-ardour-editor.XXXXXX)"
XVFB_PID=""
ARDOUR_PID=""

# Ardour runs in its own process group (setsid), so stopping the group also ends anything it
# started (plug-in scanners, helpers).
stop_ardour() {
  [ -n "$ARDOUR_PID" ] || return 0
  kill -TERM -- "-$ARDOUR_PID" 2>/dev/null
  local i
  for i in $(seq 1 50); do kill -0 -- "-$ARDOUR_PID" 2>/dev/null || break; sleep 0.2; done
  kill -KILL -- "-$ARDOUR_PID" 2>/dev/null
  kill -KILL "$ARDOUR_PID" 2>/dev/null
  wait "$ARDOUR_PID" 2>/dev/null
  ARDOUR_PID=""
}

cleanup() {
  stop_ardour
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""; fi
  if [ "$KEEP" = 1 ]; then echo "== work folder (kept): $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- The X server ------------------------------------------------------------------------------
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1920x1080x24 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 1 100); do
  grep -q '[0-9]' "$WORK/display" 2>/dev/null && break
  kill -0 "$XVFB_PID" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '[0-9]' "$WORK/display" 2>/dev/null; then
  echo "ardour-editor-check: Xvfb did not start (see below)" >&2; cat "$WORK/xvfb.log" >&2; exit 1
fi
export DISPLAY=":$(tr -dc '0-9' <"$WORK/display")"
echo "== Xvfb on $DISPLAY"

# The reviewed picture of the face, and with it the editor's size.
pngtopnm "$REFERENCE" >"$WORK/reference.ppm" 2>/dev/null \
  || { echo "ardour-editor-check: cannot read $REFERENCE" >&2; exit 1; }
EDITOR_SIZE=$(python3 "$FACE" size "$WORK/reference.ppm")
echo "== the editor is $EDITOR_SIZE"

TOTAL_PASS=0
TOTAL_FAIL=0
SUMMARY=()

note() {  # format PASS|FAIL text
  echo "CHECK $2 $3"
  SUMMARY+=("$1: $2 $3")
  if [ "$2" = PASS ]; then TOTAL_PASS=$((TOTAL_PASS + 1)); else TOTAL_FAIL=$((TOTAL_FAIL + 1)); fi
}

# Lines "CHECK PASS|FAIL ..." of a log become checks of the format.
take_checks() {  # format log
  local line
  while IFS= read -r line; do
    line="${line#CHECK }"
    note "$1" "${line%% *}" "${line#* }"
  done < <(grep '^CHECK ' "$2")
}

# Ardour's configuration: been here before (no first-run wizard), the dummy backend shown and
# started without the Audio/MIDI set-up dialog, with the device the session was made with (a
# different one brings up a "device has changed" dialog).
write_config() {
  mkdir -p "$RUN/config/ardour7"
  : >"$RUN/config/ardour7/.a7"
  cat >"$RUN/config/ardour7/config" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="" device="Silence" input-device="" output-device="" sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" input-channels="0" output-channels="0" active="1" use-buffered-io="0" midi-option="" lru="1" lm-input="" lm-output="">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
}

screenshot() {  # base path without extension: writes .ppm and .png
  xwd -root -silent >"$1.xwd" && xwdtopnm "$1.xwd" >"$1.ppm" 2>/dev/null && pnmtopng "$1.ppm" >"$1.png" 2>/dev/null
}

run_format() {  # label type module
  local label="$1" type="$2" module="$3"
  RUN="$WORK/$label"
  mkdir -p "$RUN"/{plugins,cache,data}
  echo
  echo "================ $label: $module"
  if [ ! -e "$module" ]; then note "$label" FAIL "module $module exists"; return; fi

  # 1. The plug-in folder (a copy, dated back) and Ardour's scan.
  place_module "$type" "$module"
  write_config
  echo "-- $SCANNER -f $COPY"
  scan_module
  local rc=$?
  if [ $rc -eq 0 ] && grep -q 'Found Plugin' "$RUN/scan.log"; then
    note "$label" PASS "Ardour's scanner finds the plug-in"
  else
    note "$label" FAIL "Ardour's scanner finds the plug-in (exit $rc; see $RUN/scan.log)"; return
  fi
  # Ardour's VST 2.4 cache records whether the plug-in has an editor (VST3's does not).
  if [ "$type" = LXVST ]; then
    if grep -q 'has_editor="1"' "$RUN/scan.log"; then note "$label" PASS "Ardour's scanner sees an editor (has_editor=\"1\")"
    else note "$label" FAIL "Ardour's scanner sees an editor (its cache says $(grep -o 'has_editor="[0-9]"' "$RUN/scan.log" | head -1))"; fi
  fi

  # 2. The session, with the plug-in's window marked open with its own editor.
  echo "-- ardour7-lua editor-session.lua"
  ardour_env QC_TYPE="$type" QC_NAME=Quarvelline QC_PLUGIN_DIR="$RUN/plugins" \
    QC_SESSION_DIR="$RUN/session" QC_SESSION_NAME=quarvelline-editor QC_TRACK=Limited \
    timeout 300 ardour7-lua "$ROOT/scripts/ardour/editor-session.lua" >"$RUN/session.log" 2>&1
  rc=$?
  take_checks "$label" "$RUN/session.log"
  local file="$RUN/session/quarvelline-editor.ardour"
  if [ $rc -ne 0 ] || [ ! -f "$file" ]; then
    note "$label" FAIL "ardour7-lua makes the session (exit $rc; see $RUN/session.log)"; return
  fi
  local window
  window=$(python3 "$FACE" mark-session "$file" --track Limited --plugin Quarvelline) \
    || { note "$label" FAIL "the session's plug-in window is marked open"; return; }
  echo "   session window state: <Window name=\"$window\" visible=\"1\" custom-ui=\"1\"/>"

  # 3. Ardour's GUI on the session.
  echo "-- ardour (GUI) on $DISPLAY"
  # (setsid as the job itself, not inside a shell function: $! is then Ardour's own process id,
  # which leads its new process group.)
  setsid env XDG_CONFIG_HOME="$RUN/config" XDG_CACHE_HOME="$RUN/cache" XDG_DATA_HOME="$RUN/data" \
    LXVST_PATH="$LXVST" VST3_PATH="$VST3P" /usr/bin/ardour --no-splash --no-announcements "$file" \
    >"$RUN/ardour.log" 2>&1 &
  ARDOUR_PID=$!

  # 4. The editor's window: the deepest window of the editor's size in the tree.
  local found="" waited=0 plugin_window=""
  while [ "$waited" -lt "$WAIT" ]; do
    sleep 1; waited=$((waited + 1))
    if ! kill -0 "$ARDOUR_PID" 2>/dev/null; then break; fi
    xwininfo -root -tree >"$RUN/tree.txt" 2>/dev/null || continue
    found=$(python3 "$FACE" find-window "$RUN/tree.txt" --size "$EDITOR_SIZE")
    [ -n "$found" ] && break
  done
  plugin_window=$(grep -m1 'ardour_plugin_editor' "$RUN/tree.txt" 2>/dev/null | sed 's/^ *//')
  [ -n "$plugin_window" ] && echo "   Ardour's plug-in window: $plugin_window"
  if [ -z "$found" ]; then
    screenshot "$RUN/screen"
    cp "$RUN/screen.png" "$OUT/ardour-editor-$label.png" 2>/dev/null
    if ! kill -0 "$ARDOUR_PID" 2>/dev/null; then
      note "$label" FAIL "Ardour keeps running (it ended; see $RUN/ardour.log)"
    elif [ -n "$plugin_window" ]; then
      note "$label" FAIL "Ardour shows the plug-in's own editor (a plug-in window but no $EDITOR_SIZE editor in it after $WAIT s: generic sliders?)"
    else
      note "$label" FAIL "Ardour opens the plug-in's window (none after $WAIT s)"
    fi
    echo "   screenshot: $OUT/ardour-editor-$label.png"
    stop_ardour
    return
  fi
  local id x y
  read -r id x y <<<"$found"
  note "$label" PASS "Ardour opens a $EDITOR_SIZE editor window ($id at +$x+$y) after ${waited} s"
  sleep "$SETTLE"
  if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
    note "$label" PASS "the editor window is viewable"
  else
    note "$label" FAIL "the editor window is viewable ($(xwininfo -id "$id" 2>&1 | grep 'Map State'))"
  fi
  # Where the editor is now: Ardour may still have moved its window after the editor appeared
  # (the VST 2.4 editor shows up at +0+0 first).
  xwininfo -root -tree >"$RUN/tree.txt" 2>/dev/null
  found=$(python3 "$FACE" find-window "$RUN/tree.txt" --size "$EDITOR_SIZE")
  if [ -z "$found" ]; then
    note "$label" FAIL "the editor window stays open"; stop_ardour; return
  fi
  read -r id x y <<<"$found"
  echo "   editor window $id at +$x+$y"
  if ! screenshot "$RUN/screen"; then
    note "$label" FAIL "a screenshot of $DISPLAY"; stop_ardour; return
  fi
  cp "$RUN/screen.png" "$OUT/ardour-editor-$label.png"
  echo "   screenshot: $OUT/ardour-editor-$label.png"

  # 5. The face.
  python3 "$FACE" face --shot "$RUN/screen.ppm" --rect "$x,$y,${EDITOR_SIZE/x/,}" \
    --reference "$WORK/reference.ppm" --crop "$RUN/window.ppm" >"$RUN/face.log" 2>&1
  sed -n 's/^INFO /   /p' "$RUN/face.log"
  take_checks "$label" "$RUN/face.log"
  grep -q '^CHECK' "$RUN/face.log" || { note "$label" FAIL "the face could be measured (see $RUN/face.log)"; cat "$RUN/face.log"; }
  if [ -s "$RUN/window.ppm" ] && pnmtopng "$RUN/window.ppm" >"$OUT/ardour-editor-$label-window.png" 2>/dev/null; then
    echo "   editor window: $OUT/ardour-editor-$label-window.png"
  fi
  if kill -0 "$ARDOUR_PID" 2>/dev/null; then note "$label" PASS "Ardour still runs with the editor open"
  else note "$label" FAIL "Ardour still runs with the editor open (see $RUN/ardour.log)"; fi
  stop_ardour
}

[ "$DO_VST2" = 1 ] && run_format vst2 LXVST "$VST2"
[ "$DO_VST3" = 1 ] && run_format vst3 VST3 "$VST3"

finish "; Ardour ($(dpkg-query -W -f '${Version}' ardour)) shows the plug-in's editor"
