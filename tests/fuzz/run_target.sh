#!/bin/bash
# Runs one fuzz target on its committed seed corpus:
#   run_target.sh EXE CORPUS DICT WORK [libFuzzer options...]
# Inputs that reach new code go to WORK/new, never into the committed corpus;
# an input that fails leaves WORK/crash-<sha1> (or leak-, timeout-). With
# FUZZ_FRESH=1, WORK starts empty, so that a run depends on the corpus alone.
set -euo pipefail
exe=$1 corpus=$2 dict=$3 work=$4
shift 4
[ "${FUZZ_FRESH:-0}" = 1 ] && rm -rf "$work"
mkdir -p "$work/new"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$exe" -dict="$dict" -artifact_prefix="$work/" "$@" "$work/new" "$corpus"
