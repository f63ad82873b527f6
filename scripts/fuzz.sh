#!/bin/bash
# The long fuzz run: each fuzz target of the native build (ASan and UBSan) for
# SECONDS (default 600), starting from its committed corpus.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (targets: tests/fuzz/corpus/*)
# Inputs that reach new code collect in build/native/fuzz/<target>/new and are
# kept for the next run; an input that fails is left there as crash-<sha1>:
# once the fault is fixed, add it to the target's corpus as a regression input.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
./scripts/setup.sh
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build --preset native -- --quiet
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for corpus in tests/fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi
for t in "${targets[@]}"; do
  tests/fuzz/run_target.sh "build/native/$t" "tests/fuzz/corpus/$t" tests/fuzz/itunesdb.dict "build/native/fuzz/$t" \
    -max_total_time="$seconds" -print_final_stats=1
done
