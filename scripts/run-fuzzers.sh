#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into $out/ and runs each one
# for the given number of seconds (default 15) on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
out="${QV3_FUZZ_BUILD_DIR:-build-fuzz}"

CC=clang CXX=clang++ cmake -S . -B $out -DQV3_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build $out -j2 --target qv3_fuzzers

shopt -s nullglob
status=0
count=0
for fuzzer in $out/fuzz/*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  seeds="testdata/fuzz/$name"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 \
      -print_final_stats=0 "$corpus" >"$out/$name.log" 2>&1; then
    echo "fuzz: $name FAILED; last lines of $out/$name.log:"
    tail -n 40 "$out/$name.log"
    status=1
  fi
  count=$((count + 1))
done
echo "fuzz: $count targets run"
exit $status
