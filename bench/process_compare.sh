#!/bin/bash
# process_compare.sh - times starting and waiting for /bin/true with uo_nv_process::of_runandwait against
# posix_spawn + waitpid and Python's subprocess.run, and a process lookup that matches nothing against
# `pgrep -x` with 500 extra sleeping processes, in one run; prints the ratios (ours / peer: below 1 means we
# are faster).
#
#   bench/process_compare.sh [path/to/bench_process]     (default: build/bench/bench_process)
set -euo pipefail

BENCH=${1:-$(dirname "$0")/../build/bench/bench_process}
BENCH=$(realpath "$BENCH")
PY=/usr/bin/python3
command -v pgrep >/dev/null || { echo "missing pgrep" >&2; exit 1; }

OUT=$(mktemp "${TMPDIR:-/tmp}/api32-processbench-XXXXXX.json")
trap 'rm -f "$OUT"' EXIT

API32_BENCH_SLEEPERS=${SLEEPERS:-500} "$BENCH" --benchmark_min_time=2 --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_out="$OUT" --benchmark_out_format=json >&2

PY_TRUE=$($PY - <<'EOF'
import subprocess, time
best = None
for _ in range(3):
    n = 1000
    t = time.perf_counter()
    for _ in range(n):
        subprocess.run(['/bin/true'])
    per = (time.perf_counter() - t) / n
    best = per if best is None else min(best, per)
print(best * 1e9)
EOF
)

$PY - "$OUT" "$PY_TRUE" <<'EOF'
import json, sys
data = json.load(open(sys.argv[1]))
py_true = float(sys.argv[2])
median = {}
for b in data['benchmarks']:
    if b.get('aggregate_name') == 'median':
        median[b['run_name'].split('/')[0]] = b['real_time'] * {'ns': 1, 'us': 1e3, 'ms': 1e6}[b['time_unit']]
ours = median['BM_runandwait_true']
spawn = median['BM_posix_spawn_waitpid_true']
lookup = median['BM_isprocesseexist_nomatch']
pgrep = median['BM_pgrep_nomatch']
print('extra sleeping processes: %s' % data['context'].get('extra_sleeping_processes'))
print('of_runandwait(/bin/true, wait)   %9.1f us' % (ours / 1e3))
print('posix_spawn + waitpid            %9.1f us   ratio ours/peer %.2f  (target <= 1.5)' % (spawn / 1e3, ours / spawn))
print('python subprocess.run            %9.1f us   ratio ours/peer %.2f' % (py_true / 1e3, ours / py_true))
print('of_isprocesseexist (no match)    %9.1f us' % (lookup / 1e3))
print('pgrep -x (no match)              %9.1f us   ratio ours/peer %.2f  (target < 1)' % (pgrep / 1e3, lookup / pgrep))
EOF
