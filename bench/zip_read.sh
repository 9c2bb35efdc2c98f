#!/bin/bash
# zip_read.sh - times listing and extracting whole archives with uo_nv_ziplib against Info-ZIP unzip, zipinfo
# and bsdtar, in one run, and prints the ratios (ours / peer: below 1 means we are faster).
#
#   bench/zip_read.sh [path/to/bench_zip_read]     (default: build/bench/bench_zip_read)
#
# Two archives are made with Info-ZIP zip in a scratch folder under $TMPDIR and removed at the end: 20,000
# small files in 200 folders, and about 400 MB of mixed data (text, random bytes, structured binary).
# Each command runs once to warm the page cache, then RUNS rounds of the commands in turn; the best wall time
# and the best processor time (perf's task-clock) count.
set -euo pipefail

BENCH=${1:-$(dirname "$0")/../build/bench/bench_zip_read}
BENCH=$(realpath "$BENCH")
RUNS=${RUNS:-5}
PY=/usr/bin/python3
for tool in zip unzip zipinfo bsdtar perf /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/api32-zipbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
if [[ "$BENCH$WORK" == *" "* ]]; then echo "the benchmark and scratch paths must not contain blanks" >&2; exit 1; fi

echo "making archives in $WORK ..." >&2
$PY - "$WORK" <<'EOF'
import os, random, sys
work = sys.argv[1]
rng = random.Random(1)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(3000)]
text = ' '.join(rng.choice(words) for _ in range(200000)).encode()  # about 1.2 MB of text
exts = ['.txt', '.lua', '.xml', '.toc', '.tga', '.blp', '.dds', '.ini', '.cfg', '.png', '.md', '.json']
small = os.path.join(work, 'small')
for d in range(200):
    folder = os.path.join(small, 'AddOn%03d' % d, 'Data')
    os.makedirs(folder)
    for f in range(100):
        n = rng.randint(200, 4000)
        start = rng.randint(0, len(text) - n)
        with open(os.path.join(folder, 'file%03d%s' % (f, exts[f % len(exts)])), 'wb') as out:
            out.write(text[start:start + n])
big = os.path.join(work, 'big')
os.makedirs(os.path.join(big, 'media'))
os.makedirs(os.path.join(big, 'docs'))
total = 0
i = 0
while total < 400 << 20:
    kind = i % 3
    size = rng.randint(2 << 20, 12 << 20)
    if kind == 0:  # text
        reps = size // len(text) + 1
        data = (text * reps)[rng.randint(0, len(text)):][:size]
        name = os.path.join(big, 'docs', 'doc%03d.txt' % i)
    elif kind == 1:  # incompressible
        data = os.urandom(size)
        name = os.path.join(big, 'media', 'clip%03d.ogg' % i)
    else:  # structured binary: small integers with noise
        block = bytes(rng.randint(0, 15) for _ in range(1 << 16))
        data = (block * (size // len(block) + 1))[:size]
        data = bytes(b ^ (j & 7) for j, b in enumerate(data[:1 << 20])) + data[1 << 20:]
        name = os.path.join(big, 'media', 'model%03d.m2' % i)
    with open(name, 'wb') as out:
        out.write(data)
    total += size
    i += 1
EOF
(cd "$WORK/small" && zip -q -r ../small.zip .)
(cd "$WORK/big" && zip -q -r ../big.zip .)
rm -rf "$WORK/small" "$WORK/big"
echo "small.zip: $(unzip -Z -t "$WORK/small.zip" | tail -1)" >&2
echo "big.zip:   $(unzip -Z -t "$WORK/big.zip" | tail -1)" >&2

# Runs each labelled command once to warm up, then RUNS rounds of all of them in turn (so that a slow spell of
# the machine hits every tool alike), $PREPARE before each run. Sets BEST_WALL[label] and BEST_CPU[label]
# (task-clock) to the best milliseconds seen.
declare -A BEST_WALL BEST_CPU COMMANDS
measure_round_robin() {
  local labels=("$@") label times wall cpu
  for label in "${labels[@]}"; do
    ${PREPARE:-true}
    read -ra argv <<<"${COMMANDS[$label]}"
    "${argv[@]}" >/dev/null 2>&1
    BEST_WALL[$label]=""
    BEST_CPU[$label]=""
  done
  for _ in $(seq "$RUNS"); do
    for label in "${labels[@]}"; do
      ${PREPARE:-true}
      read -ra argv <<<"${COMMANDS[$label]}"
      perf stat -x, -e task-clock,duration_time -o "$WORK/stat" -- "${argv[@]}" >/dev/null 2>&1
      wall=$(awk -F, '$3 == "duration_time" { printf "%.1f", $1 / 1e6 }' "$WORK/stat")
      cpu=$(awk -F, '$3 == "task-clock" { printf "%.1f", $1 }' "$WORK/stat")
      if [ -z "${BEST_WALL[$label]}" ] || awk -v a="$wall" -v b="${BEST_WALL[$label]}" 'BEGIN { exit !(a < b) }'; then
        BEST_WALL[$label]=$wall
      fi
      if [ -z "${BEST_CPU[$label]}" ] || awk -v a="$cpu" -v b="${BEST_CPU[$label]}" 'BEGIN { exit !(a < b) }'; then
        BEST_CPU[$label]=$cpu
      fi
    done
  done
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) b = 1; printf "%.2f", a / b }'; }

peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

report() {  # archive, our label, peer labels...
  local archive=$1 ours=$2 peer
  shift 2
  printf '%-8s %-24s %9s %9s\n' "$archive" "$ours" "${BEST_WALL[$ours]}" "${BEST_CPU[$ours]}"
  for peer in "$@"; do
    printf '%-8s %-24s %9s %9s %11s %11s\n' "$archive" "$peer" "${BEST_WALL[$peer]}" "${BEST_CPU[$peer]}" \
      "$(ratio "${BEST_WALL[$ours]}" "${BEST_WALL[$peer]}")" "$(ratio "${BEST_CPU[$ours]}" "${BEST_CPU[$peer]}")"
  done
}

OUT="$WORK/out"
fresh_out() { rm -rf "$OUT"; mkdir -p "$OUT"; sync; }

printf '%-8s %-24s %9s %9s %11s %11s\n' archive command "wall ms" "cpu ms" "wall ratio" "cpu ratio"
for name in small big; do
  archive="$WORK/$name.zip"
  COMMANDS=(  # split at blanks: the scratch paths have none
    ["api32 list"]="$BENCH list $archive"
    ["unzip -l"]="unzip -l $archive"
    ["zipinfo"]="zipinfo $archive"
    ["api32 extract"]="$BENCH extract $archive $OUT"
    ["unzip -o -q"]="unzip -o -q $archive -d $OUT"
    ["bsdtar -xf"]="bsdtar -xf $archive -C $OUT"
  )
  measure_round_robin "api32 list" "unzip -l" "zipinfo"
  report "$name" "api32 list" "unzip -l" "zipinfo"
  PREPARE=fresh_out measure_round_robin "api32 extract" "unzip -o -q" "bsdtar -xf"
  report "$name" "api32 extract" "unzip -o -q" "bsdtar -xf"

  fresh_out
  printf '%-8s %-24s %9s kB\n' "$name" "peak: api32 list" "$(peak_kb "$BENCH" list "$archive")"
  printf '%-8s %-24s %9s kB\n' "$name" "peak: api32 extract" "$(peak_kb "$BENCH" extract "$archive" "$OUT")"
  fresh_out
  printf '%-8s %-24s %9s kB\n' "$name" "peak: unzip -o -q" "$(peak_kb unzip -o -q "$archive" -d "$OUT")"
  rm -rf "$OUT"
done
