#!/bin/bash
# compression_extract.sh - extracting a ~400 MB mixed archive through the archive front-end (the reference
# host's `api32 list ARCHIVE --extract-to DIR`, which runs uo_nv_compression's of_cudwdirectory: for ZIP the zip
# library, for RAR the archiver in app_path\lib\) against `bsdtar -xf` on the same archive, in one run.
# Prints ours / bsdtar for the RAR archive (written by our rar.exe a) and the ZIP archive (written by Info-ZIP
# zip at level 6); below 1 means the front-end is faster. The best of RUNS runs counts (default 3).
#
#   bench/compression_extract.sh [build folder]      (default: build)
set -euo pipefail

BUILD=$(realpath "${1:-$(dirname "$0")/../build}")
API32=$BUILD/bin/api32
RAR=$BUILD/lib/rar.exe
RUNS=${RUNS:-3}
PY=/usr/bin/python3
for tool in bsdtar zip; do command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 1; }; done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/api32-frontbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

echo "making data in $WORK ..." >&2
$PY "$(dirname "$0")/make_mixed_data.py" "$WORK/data"

(cd "$WORK/data" && "$RAR" a -r "$WORK/mixed.rar" '*.*' >/dev/null)
(cd "$WORK/data" && zip -q -r -6 "$WORK/mixed.zip" .)
rm -rf "$WORK/data"

best() {  # best wall time in seconds of RUNS runs of "$@", each into a fresh folder $WORK/out
  local best=""
  for _ in $(seq "$RUNS"); do
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

for kind in rar zip; do
  archive=$WORK/mixed.$kind
  ours=$(best "$API32" list "$archive" --extract-to "$WORK/out")
  files=$(find "$WORK/out" -type f | wc -l)
  peer=$(best bsdtar -xf "$archive" -C "$WORK/out")
  printf '%s: front-end %.2f s, bsdtar -xf %.2f s, ratio %.2f (%s files)\n' "$kind" "$ours" "$peer" \
    "$(echo "$ours / $peer" | bc -l)" "$files"
done
