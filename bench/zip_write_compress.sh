#!/bin/sh
# zip_write_compress.sh - of_compress / of_uncompress against zlib's compress / uncompress called directly,
# 1 MiB and 64 MiB, in one run of bench_zip_write_compress; prints the CPU-time ratios (ours / zlib).
#   bench/zip_write_compress.sh [build folder]   (default: build)
set -eu
build=${1:-build}
bench="$build/bench/bench_zip_write_compress"
[ -x "$bench" ] || { echo "no $bench: build the target bench_zip_write_compress first" >&2; exit 1; }
"$bench" --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_format=json |
  /usr/bin/python3 -c '
import json, sys
rows = {b["run_name"]: b for b in json.load(sys.stdin)["benchmarks"] if b.get("aggregate_name") == "median"}
for ours, peer in [("of_compress", "zlib_compress"), ("of_uncompress", "zlib_uncompress")]:
    for size in ("1048576", "67108864"):
        a, b = rows["BM_%s/%s" % (ours, size)], rows["BM_%s/%s" % (peer, size)]
        print("%-14s %5d MiB  %9.2f ms  vs %-16s %9.2f ms  cpu ratio %.3f" % (
            ours, int(size) >> 20, a["cpu_time"], peer, b["cpu_time"], a["cpu_time"] / b["cpu_time"]))
'
