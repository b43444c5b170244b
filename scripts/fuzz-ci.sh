#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder (build-fuzz; the ordinary
# build stays g++) and runs each for FUZZ_SECONDS seconds (30 by default, as CI does;
# `make fuzz` runs longer). New inputs go to build-fuzz/corpus/<target>, the seeds in
# fuzz/corpus stay as they are; an input that breaks a reader is kept as
# build-fuzz/crash-<target>-* and ends the script with an error. Copy it to
# fuzz/regressions/<target>/ so that `make test` replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
jobs="${JOBS:-2}"
build="${FUZZ_BUILD_DIR:-build-fuzz}"

bash scripts/install-deps.sh --fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target velmora_fuzzers -j "$jobs"

for target in ParameterFile UserFilter Bmp UserMask ZernikeFile; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "fuzz: $target for ${seconds} s" >&2
  "$build/fuzz/Fuzz$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/crash-$target-" "$corpus" "fuzz/corpus/$target"
done
