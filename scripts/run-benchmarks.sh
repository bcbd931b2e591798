#!/usr/bin/env bash
# Builds and runs every benchmark program (build/bin/bench_*). Each prints its
# own figures beside the peer it is compared with. Pass names to run a subset:
#   scripts/run-benchmarks.sh bench_stretch bench_kernels
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2
shopt -s nullglob
if [ $# -gt 0 ]; then
  for name in "$@"; do "build/bin/$name"; done
else
  for b in build/bin/bench_*; do echo "== $(basename "$b")"; "$b"; done
fi
