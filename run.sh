#!/usr/bin/env bash
# Installs what is missing, builds Quaverly 3 and starts it on the demo project
# (three loops and two markers over the demo song, both placed in build/demo/;
# the song is generated on first use). Extra arguments replace the demo project.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target Quaverly3

if [ $# -gt 0 ]; then
  exec build/bin/Quaverly3 "$@"
fi
bash scripts/make-demo-song.sh build/demo/demo-song.wav
# The project names its audio as "./demo-song.wav", beside the project.
cp app/demo/demo.qvp build/demo/demo.qvp
exec build/bin/Quaverly3 "$PWD/build/demo/demo.qvp"
