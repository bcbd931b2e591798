#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2

export QT_QPA_PLATFORM=offscreen
export QV3_AUDIO_DEVICE=null
(cd build && ctest --output-on-failure -j2 --timeout 600)

# libFuzzer targets under AddressSanitizer and UndefinedBehaviorSanitizer,
# each for a short bounded time, when clang is present.
if [ "${QV3_SKIP_FUZZ:-0}" != "1" ] && command -v clang++ >/dev/null 2>&1; then
  bash scripts/run-fuzzers.sh "${QV3_FUZZ_SECONDS:-15}"
fi
