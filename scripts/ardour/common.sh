# Shared by the manual Ardour checks (scripts/ardour-check.sh, scripts/ardour-editor-check.sh),
# which source it after setting ROOT (the repository) and ME (the prefix of their error messages).
# Each script defines its own usage(), read by -h.

BUILD_DIR="$ROOT/build-ardour"
VST2=""
VST3=""
DO_VST2=1
DO_VST3=1
KEEP=0
ARDOUR_LIB=/usr/lib/ardour7

# The options both checks take. Called with the script's remaining arguments for any option the
# script does not handle itself; sets SHIFT to the number of arguments it used.
module_option() {
  SHIFT=1
  case "$1" in
    --vst2) VST2="$2"; SHIFT=2 ;;
    --vst3) VST3="$2"; SHIFT=2 ;;
    --no-vst2) DO_VST2=0 ;;
    --no-vst3) DO_VST3=0 ;;
    --build-dir) BUILD_DIR="$2"; SHIFT=2 ;;
    --keep) KEEP=1 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "$ME: unknown option '$1' (see --help)" >&2; exit 2 ;;
  esac
}

# Installs the Debian packages named (those the script found missing), then names Ardour's version.
install_missing() {  # package...
  if [ $# -gt 0 ]; then
    echo "== installing $* (apt)"
    if [ "$(id -u)" -ne 0 ]; then echo "$ME: need root to install $*" >&2; exit 2; fi
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null \
      || { echo "$ME: apt-get install $* failed" >&2; exit 2; }
  fi
  echo "== $(dpkg-query -W -f '${Package} ${Version}' ardour 2>/dev/null)"
}

# --- The modules -------------------------------------------------------------------------------
build_target() {  # target: configure the build folder once, then build (a no-op when up to date)
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
      -DQUARV_BENCH=OFF >"$BUILD_DIR/ardour-check-configure.log" 2>&1 \
      || { echo "$ME: cmake configure failed, see $BUILD_DIR/ardour-check-configure.log" >&2; return 1; }
  fi
  cmake --build "$BUILD_DIR" -j2 --target "$1" >"$BUILD_DIR/ardour-check-$1.log" 2>&1 \
    || { echo "$ME: building $1 failed, see $BUILD_DIR/ardour-check-$1.log" >&2; return 1; }
}

build_module() {  # target
  echo "== building $1 in $BUILD_DIR"
  mkdir -p "$BUILD_DIR"
  build_target "$1"
}

bundle_ok() { [ -f "$1/Contents/x86_64-linux/Quarvelline3.so" ]; }

# The VST 2.4 module: the one given, or the one built here (the script ends if that build fails).
select_vst2() {
  if [ "$DO_VST2" = 1 ] && [ -z "$VST2" ]; then
    build_module Quarvelline2 || exit 1
    VST2="$BUILD_DIR/modules/Quarvelline2.so"
  fi
}

# --- A format's run ----------------------------------------------------------------------------
# Ardour's tools, with the environment of the format's run.
ardour_env() {
  env XDG_CONFIG_HOME="$RUN/config" XDG_CACHE_HOME="$RUN/cache" XDG_DATA_HOME="$RUN/data" \
    LXVST_PATH="$LXVST" VST3_PATH="$VST3P" "$@"
}

# The plug-in folder of the run ($RUN/plugins) with a copy of the module, which Ardour is pointed
# at (LXVST_PATH or VST3_PATH, the other path an empty folder). Sets COPY and SCANNER (Ardour's
# scanner of the type). Ardour takes a cached scan as valid only while the cache file is strictly
# newer than the module, and its scanner stamps the cache with the whole second of the scan: a
# module modified in that same second reads as changed, and Ardour (which only reads the cache
# here) leaves it out. So the copy is dated two whole seconds back.
place_module() {  # type module
  cp -a "$2" "$RUN/plugins/"
  COPY="$RUN/plugins/$(basename "$2")"
  find "$COPY" -exec touch -h -d "@$(( $(date +%s) - 2 ))" {} +
  LXVST="$WORK/empty"; VST3P="$WORK/empty"; mkdir -p "$WORK/empty"
  if [ "$1" = LXVST ]; then LXVST="$RUN/plugins"; SCANNER=ardour-vst-scanner
  else VST3P="$RUN/plugins"; SCANNER=ardour-vst3-scanner; fi
}

# Ardour's scanner on the copy: loads the module in its own process and writes the cache; its
# output goes to $RUN/scan.log. Returns the scanner's exit status.
scan_module() {
  ardour_env LD_LIBRARY_PATH="$ARDOUR_LIB" timeout 120 "$ARDOUR_LIB/$SCANNER" -v -f "$COPY" \
    >"$RUN/scan.log" 2>&1
}

# The summary of the checks counted in TOTAL_PASS, TOTAL_FAIL and SUMMARY; ends the script, with
# status 0 only when every check passed (and there was one).
finish() {  # rest of the PASS line
  echo
  echo "================ summary"
  for line in "${SUMMARY[@]}"; do echo "$line"; done
  echo
  if [ "$TOTAL_FAIL" -eq 0 ] && [ "$TOTAL_PASS" -gt 0 ]; then
    echo "PASS: $TOTAL_PASS checks passed$1"
    exit 0
  fi
  echo "FAIL: $TOTAL_FAIL of $((TOTAL_PASS + TOTAL_FAIL)) checks failed in Ardour ($(dpkg-query -W -f '${Version}' ardour))"
  exit 1
}
