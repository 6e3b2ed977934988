#!/usr/bin/env bash
# Builds everything (the Linux modules and the Windows ones, saying where
# they are) and runs the main job: the host loads the built VST 3
# bundle Quarvelline3.vst3 the way a DAW does and renders audio files (or,
# with no argument, the built-in demo with the "Spotify: -14 LUFS" preset)
# through it, writes each result with its loudness chart beside it
# (song.wav -> song-quarvelline.wav and song-quarvelline.png), then reports
# loudness and peaks of input and result. With no argument it also writes
# quarvelline-demo/demo-editor.png, the plug-in's editor as the host's window
# shows it (under Xvfb when no X server answers). Arguments go to the host;
# see --help.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}"
# The same modules for 64-bit Windows, cross-built.
cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-win -j"${JOBS:-2}" --target Quarvelline2 Quarvelline3
echo "Linux modules:   $PWD/build/modules/Quarvelline2.so and $PWD/build/modules/Quarvelline3.vst3" >&2
echo "Windows modules: $PWD/build-win/modules/Quarvelline2.dll and $PWD/build-win/modules/Quarvelline3.vst3" >&2
if [ $# -gt 0 ]; then
  exec build/tools/quarvelline-host "$@"
fi

# The demo, and a picture of the plug-in's editor after it: the host opens
# the editor in a window on the X server (the one in DISPLAY when it
# answers, otherwise an Xvfb of its own) and saves what the window shows.
set -- --preset "Spotify: -14 LUFS"
editor=(--editor-png quarvelline-demo/demo-editor.png)
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec build/tools/quarvelline-host "$@" "${editor[@]}"
elif command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" \
    build/tools/quarvelline-host "$@" "${editor[@]}"
fi
echo "No X server and no xvfb-run: rendering the demo without the editor's picture" >&2
exec build/tools/quarvelline-host "$@"
