#!/bin/bash
# The whole test suite: installs what is missing, builds both targets and runs
# every test under Wine - i686 under wine32, x86_64 under wine64 - in one CTest
# run, with the native build of the database code: its damage tests under the
# sanitizers and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
# The three builds and their Wine prefixes take about 5 GB: say so up front
# when the disk has less, since Wine fails obscurely when it runs out.
free_mb=$(df -Pm . | awk 'NR==2 {print $4}')
[ "$free_mb" -ge 5120 ] || echo "test: only $free_mb MB free on this disk; the suite needs about 5 GB" >&2
./scripts/build.sh i686 x86_64 native
. scripts/wine-prefix.sh

builds=(build/i686 build/x86_64)
trap 'for b in "${builds[@]}"; do prefix_stop "$b"; done' EXIT
for b in "${builds[@]}"; do prefix_init "$b"; done
for b in "${builds[@]}"; do prefix_start "$b"; done

# One CTest tree over the three builds, so that one summary line covers them. The
# long runs (label "long", the long fuzz run) are left out: run them with
# ctest's -L long.
printf 'subdirs("i686" "x86_64" "native")\n' > build/CTestTestfile.cmake
ctest --test-dir build --output-on-failure -j"$(nproc)" -LE long "$@"
