#!/usr/bin/env bash
# Builds everything and runs the main job: the host loads the built
# Quarvelline2.so the way a DAW does and renders a WAV file (or, with no
# argument, the built-in demo with the "Spotify: -14 LUFS" preset) through it,
# then reports the loudness of the input and the result. Arguments go to the
# host; see --help.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}"
if [ $# -eq 0 ]; then
  set -- --preset "Spotify: -14 LUFS"
fi
exec build/tools/quarvelline-host "$@"
