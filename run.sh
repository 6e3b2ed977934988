#!/usr/bin/env bash
# Builds everything and runs the main job: the renderer limits a WAV file (or,
# with no argument, the built-in demo) with a factory preset and reports what
# the engine saw. Arguments go to the renderer; see --help.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}"
if [ $# -eq 0 ]; then
  set -- --preset "Spotify: -14 LUFS"
fi
exec build/tools/quarvelline-render "$@"
