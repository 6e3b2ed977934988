#!/usr/bin/env bash
# Builds everything (the Linux modules and the Windows ones, saying where
# they are) and runs the main job: the host loads the built VST 3
# bundle Quarvelline3.vst3 the way a DAW does and renders audio files (or,
# with no argument, the built-in demo with the "Spotify: -14 LUFS" preset)
# through it, writes each result with its loudness chart beside it
# (song.wav -> song-quarvelline.wav and song-quarvelline.png), then reports
# loudness and peaks of input and result. Arguments go to the host; see
# --help.
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
if [ $# -eq 0 ]; then
  set -- --preset "Spotify: -14 LUFS"
fi
exec build/tools/quarvelline-host "$@"
