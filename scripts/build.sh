#!/bin/bash
# Configures and builds Savanto for the given targets (default: both).
# Usage: scripts/build.sh [i686] [x86_64] [native]
# (native: the database code on Linux under the sanitizers, with its fuzz targets)
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@"); [ ${#targets[@]} -gt 0 ] || targets=(i686 x86_64)
for t in "${targets[@]}"; do
  [ -f "build/$t/CMakeCache.txt" ] || cmake --preset "$t" >/dev/null
  cmake --build --preset "$t" -- -j"$(nproc)" --quiet
done
