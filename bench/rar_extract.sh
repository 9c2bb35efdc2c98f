#!/bin/bash
# rar_extract.sh - times rar.exe x against bsdtar -xf on the same RAR archive (written by rar.exe a), in one
# run, and prints the ratio (ours / bsdtar: below 1 means we are faster). As a second figure it times writing
# that archive with rar.exe a against bsdtar writing a tar of the same folder (both store the data; rar.exe
# also syncs the archive to disk before renaming it into place).
#
#   bench/rar_extract.sh [path/to/rar.exe]     (default: build/lib/rar.exe)
#
# The data (about 400 MB: large text, random and structured files, plus 10,000 small files in 100 folders) is
# made in a scratch folder under $TMPDIR and removed at the end. Each extraction runs once to warm the page
# cache, then RUNS times into a fresh folder; the best time counts. On a shared machine the disk dominates and
# varies from run to run: TMPDIR=/dev/shm (about 1.7 GB of memory) measures the tools themselves.
set -euo pipefail

RAR=${1:-$(dirname "$0")/../build/lib/rar.exe}
RAR=$(realpath "$RAR")
RUNS=${RUNS:-5}
PY=/usr/bin/python3
command -v bsdtar >/dev/null || { echo "missing bsdtar" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/api32-rarbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

echo "making data in $WORK ..." >&2
$PY "$(dirname "$0")/make_mixed_data.py" "$WORK/data"

(cd "$WORK/data" && "$RAR" a -r "$WORK/mixed.rar" '*.*')
echo "archive: $(du -m "$WORK/mixed.rar" | cut -f1) MB, $(bsdtar -tf "$WORK/mixed.rar" | wc -l) entries" >&2

# best wall time in seconds of running "$@" in a fresh output folder, after one warm-up run
best_time() {
  local best=""
  for ((i = 0; i <= RUNS; i++)); do
    rm -rf "$WORK/out"
    mkdir "$WORK/out"
    local start end
    start=$(date +%s.%N)
    (cd "$WORK/out" && "$@")
    end=$(date +%s.%N)
    if ((i > 0)); then
      best=$(echo "$start $end ${best:-1e9}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
    fi
  done
  rm -rf "$WORK/out"
  echo "$best"
}

# best wall time of writing an archive of the data folder with "$@" (run in that folder)
best_add_time() {
  local best=""
  for ((i = 0; i <= RUNS; i++)); do
    rm -f "$WORK/again.rar" "$WORK/again.tar"
    local start end
    start=$(date +%s.%N)
    (cd "$WORK/data" && "$@")
    end=$(date +%s.%N)
    if ((i > 0)); then
      best=$(echo "$start $end ${best:-1e9}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
    fi
  done
  rm -f "$WORK/again.rar" "$WORK/again.tar"
  echo "$best"
}

ours=$(best_time "$RAR" x -o+ "$WORK/mixed.rar")
peer=$(best_time bsdtar -xf "$WORK/mixed.rar")
awk -v o="$ours" -v p="$peer" 'BEGIN {
  printf "extract ~400 MB RAR (stored):  rar.exe x %.3f s   bsdtar -xf %.3f s   ratio %.2f\n", o, p, o / p }'

ours_add=$(best_add_time "$RAR" a -r "$WORK/again.rar" '*.*')
peer_add=$(best_add_time bsdtar -cf "$WORK/again.tar" .)
awk -v o="$ours_add" -v p="$peer_add" 'BEGIN {
  printf "write ~400 MB archive (store): rar.exe a %.3f s   bsdtar -cf (tar) %.3f s   ratio %.2f\n", o, p, o / p }'
