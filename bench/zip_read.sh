#!/bin/bash
# zip_read.sh - times listing and extracting whole archives with uo_nv_ziplib against Info-ZIP unzip, zipinfo
# and bsdtar, in one run, and prints the ratios (ours / peer: below 1 means we are faster).
#
#   bench/zip_read.sh [path/to/bench_zip_read]     (default: build/bench/bench_zip_read)
#
# Two archives are made with Info-ZIP zip in a scratch folder under $TMPDIR and removed at the end: 20,000
# small files in 200 folders, and about 400 MB of mixed data (text, random bytes, structured binary).
# Each command runs once to warm the page cache, then RUNS times; the best time counts.
set -euo pipefail

BENCH=${1:-$(dirname "$0")/../build/bench/bench_zip_read}
BENCH=$(realpath "$BENCH")
RUNS=${RUNS:-5}
PY=/usr/bin/python3
for tool in zip unzip zipinfo bsdtar /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/api32-zipbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

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

# best wall time in milliseconds of RUNS runs of a command, after one warm-up run; $PREPARE runs before each
best_ms() {
  local best="" start end ms
  ${PREPARE:-true}
  "$@" >/dev/null 2>&1
  for _ in $(seq "$RUNS"); do
    ${PREPARE:-true}
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) b = 1; printf "%.2f", a / b }'; }

peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

OUT="$WORK/out"
fresh_out() { rm -rf "$OUT"; mkdir -p "$OUT"; }

printf '%-10s %-28s %10s %10s\n' archive measure "ms" "ours/peer"
for name in small big; do
  archive="$WORK/$name.zip"
  ours=$(best_ms "$BENCH" list "$archive")
  unzip_l=$(best_ms unzip -l "$archive")
  zipinfo_t=$(best_ms zipinfo "$archive")
  printf '%-10s %-28s %10s\n' "$name" "list: api32" "$ours"
  printf '%-10s %-28s %10s %10s\n' "$name" "list: unzip -l" "$unzip_l" "$(ratio "$ours" "$unzip_l")"
  printf '%-10s %-28s %10s %10s\n' "$name" "list: zipinfo" "$zipinfo_t" "$(ratio "$ours" "$zipinfo_t")"

  runs_saved=$RUNS
  [ "$name" = big ] && RUNS=3
  export PREPARE=fresh_out
  ours_x=$(best_ms "$BENCH" extract "$archive" "$OUT")
  unzip_x=$(best_ms unzip -o -q "$archive" -d "$OUT")
  bsdtar_x=$(best_ms bsdtar -xf "$archive" -C "$OUT")
  unset PREPARE
  RUNS=$runs_saved
  printf '%-10s %-28s %10s\n' "$name" "extract: api32" "$ours_x"
  printf '%-10s %-28s %10s %10s\n' "$name" "extract: unzip -o -q" "$unzip_x" "$(ratio "$ours_x" "$unzip_x")"
  printf '%-10s %-28s %10s %10s\n' "$name" "extract: bsdtar -xf" "$bsdtar_x" "$(ratio "$ours_x" "$bsdtar_x")"

  fresh_out
  printf '%-10s %-28s %10s\n' "$name" "peak kB: api32 list" "$(peak_kb "$BENCH" list "$archive")"
  printf '%-10s %-28s %10s\n' "$name" "peak kB: api32 extract" "$(peak_kb "$BENCH" extract "$archive" "$OUT")"
  fresh_out
  printf '%-10s %-28s %10s\n' "$name" "peak kB: unzip -o -q" "$(peak_kb unzip -o -q "$archive" -d "$OUT")"
  rm -rf "$OUT"
done
