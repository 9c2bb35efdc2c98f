#!/usr/bin/env bash
# fuzz-ci.sh - the short fuzz pass of CI: every committed seed and regression file replayed, then each target
# fuzzed for FUZZ_SECONDS (30) on a copy of its corpus, two at a time. Fails only on a finding: a sanitizer
# report, a failed check of a target, a time-out (FUZZ_TIMEOUT s on one input) or more than 512 MB.
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"

seconds=${FUZZ_SECONDS:-30}
parallel=${FUZZ_PARALLEL:-2}
build_fuzz_targets fuzz_all

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=()

# 1. seeds and the inputs that once broke a target (tests/fixtures/regress/<target>-*): each must run clean
shopt -s nullglob
for target in "${fuzz_targets[@]}"; do
  if ! nice -n "${FUZZ_NICE:-10}" "$fuzz_build/fuzz/fuzz_$target" -rss_limit_mb=512 -timeout="${FUZZ_TIMEOUT:-30}" \
    "$root"/fuzz/corpus/"$target"/* "$root"/tests/fixtures/regress/"$target"-* >"$work/replay-$target.log" 2>&1; then
    echo "replay of fuzz/corpus/$target fails:" >&2
    grep -E "ERROR|SUMMARY|fuzz check failed|Running: " "$work/replay-$target.log" | tail -5 >&2
    failed+=("$target (replay)")
  fi
done

# 2. a short run of each target, `parallel` at a time
declare -A pids
for target in "${fuzz_targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do sleep 1; done  # (wait -n would swallow the status)
  run_fuzzer "$target" "$seconds" "$work/corpus-$target" "$work/$target.log" &
  pids[$target]=$!
done
for target in "${fuzz_targets[@]}"; do
  if ! wait "${pids[$target]}"; then
    failed+=("$target")
    echo "fuzz_$target found a fault:" >&2
    grep -E "ERROR|SUMMARY|fuzz check failed|Test unit written" "$work/$target.log" >&2 || tail -20 "$work/$target.log" >&2
  fi
  summarise_run "$target" "$work/$target.log"
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz pass failed: ${failed[*]} (crash files in $fuzz_build/artifacts/)" >&2
  exit 1
fi
echo "fuzz pass: ${#fuzz_targets[@]} targets clean"
