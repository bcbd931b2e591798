#!/usr/bin/env bash
# Installs what is missing, builds Quaverly 3 and starts it on the bundled
# demo song. Extra arguments replace the demo song.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target Quaverly3

if [ $# -gt 0 ]; then
  exec build/bin/Quaverly3 "$@"
fi
exec build/bin/Quaverly3 "$PWD/testdata/demo/demo-song.wav"
