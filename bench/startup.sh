#!/bin/bash
# startup.sh - start-up as a user feels it: `api32 list` of a one-entry archive against `unzip -l` of the same
# archive, RUNS times each (default 200), in one run; prints the mean of each and the ratio (ours / unzip).
#
#   bench/startup.sh [build folder]      (default: build)
set -euo pipefail
BUILD=$(realpath "${1:-$(dirname "$0")/../build}")
RUNS=${RUNS:-200}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/api32-startup-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
echo "readme" > "$WORK/readme.txt"
(cd "$WORK" && zip -q one.zip readme.txt)

mean() {  # mean wall time in ms of RUNS runs of "$@"
  local start end
  "$@" >/dev/null 2>&1  # warm the page cache
  start=$(date +%s%N)
  for _ in $(seq "$RUNS"); do "$@" >/dev/null 2>&1; done
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / $RUNS / 1000000" | bc -l
}

ours=$(mean "$BUILD/bin/api32" list "$WORK/one.zip")
peer=$(mean unzip -l "$WORK/one.zip")
printf 'api32 list %.2f ms, unzip -l %.2f ms, ratio %.2f\n' "$ours" "$peer" "$(echo "$ours / $peer" | bc -l)"
