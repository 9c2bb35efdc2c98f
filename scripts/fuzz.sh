#!/usr/bin/env bash
# fuzz.sh TARGET SECONDS - one long fuzzing run of a target (see fuzz/CMakeLists.txt for the list), building
# it first with clang. New inputs are kept in fuzz/corpus-work/TARGET (not committed; copy the interesting
# ones to fuzz/corpus/TARGET), crash files go to build-fuzz/artifacts/TARGET/. Extra arguments go to libFuzzer.
#   scripts/fuzz.sh zip_reader 600
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options]   targets: ${fuzz_targets[*]}" >&2
  exit 2
fi
target=$1 seconds=$2
shift 2
build_fuzz_targets "fuzz_$target"
log=$fuzz_build/fuzz-$target.log
rc=0
run_fuzzer "$target" "$seconds" "$root/fuzz/corpus-work/$target" "$log" "$@" || rc=$?
summarise_run "$target" "$log"
if [ "$rc" -ne 0 ]; then
  echo "finding (status $rc); the log is $log:" >&2
  grep -E "ERROR|SUMMARY|fuzz check failed|Test unit written" "$log" >&2 || tail -20 "$log" >&2
fi
exit "$rc"
