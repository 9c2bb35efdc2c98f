#!/bin/sh
# zip_write.sh - archive writing against Info-ZIP `zip -q -r -6` and Python's zipfile at level 6, on the same
# folders in one run, and the peak memory of importing a 1 GiB file; buffer compression against zlib is
# bench/zip_write_compress.sh.
#   bench/zip_write.sh [build folder]   (default: build)
# Makes ~420 MB of data (plus a sparse 1 GiB file) in a temporary folder and removes it afterwards.
# Prints, per data set, the median wall and CPU (user + system) times of 3 interleaved runs and our ratios.
set -eu
build=${1:-build}
bench="$build/bench/bench_zip_write"
[ -x "$bench" ] || { echo "no $bench: build the target bench_zip_write first" >&2; exit 1; }
data=$(mktemp -d "${TMPDIR:-/tmp}/api32-bench-zipwrite-XXXXXX")
trap 'rm -rf "$data"' EXIT INT TERM
bench=$(cd "$(dirname "$bench")" && pwd)/$(basename "$bench")

/usr/bin/python3 - "$data" <<'PY'
import os, random, sys
base = sys.argv[1]
rng = random.Random(1234)
words = ("texture mesh addon readme install version enabled shader model sound map quest item npc dialog "
         "the a of and to in for with on is by 0 1 2 3 4 5 6 7 8 9 true false none").split()

def text(n):
    out, size = [], 0
    while size < n:
        line = " ".join(rng.choice(words) for _ in range(rng.randint(3, 14))) + " %d\r\n" % rng.randint(0, 99999)
        out.append(line)
        size += len(line)
    return "".join(out).encode()[:n]

def ini(n):
    out, size = [], 0
    while size < n:
        line = "[%s%d]\r\n%s=%d\r\n" % (rng.choice(words), rng.randint(0, 99), rng.choice(words), rng.randint(0, 9999))
        out.append(line)
        size += len(line)
    return "".join(out).encode()[:n]

def mixed(n):  # records of text with binary fields: deflates to about half
    out, size = [], 0
    while size < n:
        rec = text(rng.randint(40, 200)) + os.urandom(rng.randint(8, 64))
        out.append(rec)
        size += len(rec)
    return b"".join(out)[:n]

kinds = [(".txt", text), (".ini", ini), (".lua", text), (".xml", text), (".dds", os.urandom),
         (".bin", mixed), (".png", os.urandom), (".cfg", ini)]
small = os.path.join(base, "small")
for d in range(200):
    folder = os.path.join(small, "mod%03d" % d, "data")
    os.makedirs(folder)
    for f in range(100):
        ext, make = kinds[rng.randrange(len(kinds))]
        size = int(10 ** rng.uniform(2, 4.2))  # 100 B .. 16 KB
        with open(os.path.join(folder, "file%03d%s" % (f, ext)), "wb") as out:
            out.write(make(size))

big = os.path.join(base, "big")
os.makedirs(big)
# 8 MB of unique content tiled: deflate's 32 KB window never sees the repeats
tiles = {"text": text(8 << 20), "mixed": mixed(8 << 20), "random": os.urandom(8 << 20)}
for name, kind, count in [("manual.txt", "text", 1), ("log.txt", "text", 1), ("level.bin", "mixed", 2),
                          ("assets.bin", "mixed", 1), ("music.ogg", "random", 2), ("textures.dds", "random", 1)]:
    for i in range(count):
        with open(os.path.join(big, "%d-%s" % (i, name)), "wb") as out:
            for _ in range(50 // 8 + 1):
                out.write(tiles[kind])
            out.truncate(50 << 20)

with open(os.path.join(base, "huge.bin"), "wb") as out:  # 1 GiB, sparse but for 1 MiB of data every 64 MiB
    for i in range(16):
        out.seek(i * (64 << 20))
        out.write(mixed(1 << 20))
    out.truncate(1 << 30)
PY

/usr/bin/python3 - "$data" "$bench" <<'PY'
import json, os, statistics, subprocess, sys, time
base, bench = sys.argv[1], sys.argv[2]
zipfile_script = """
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for root, dirs, files in os.walk(sys.argv[1]):
        for f in files:
            z.write(os.path.join(root, f))
"""

env = dict(os.environ, API32_BENCH_ZIP_DATA=base)

def timed(cmd, expect=""):
    start = time.perf_counter()
    p = subprocess.Popen(cmd, cwd=base, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = p.stdout.read().decode(errors="replace")
    err = p.stderr.read().decode(errors="replace")
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    p.stdout.close()
    p.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0 or "ERROR OCCURRED" in out or expect not in out:
        sys.exit("failed: %s\n%s%s" % (" ".join(cmd), out, err))
    return wall, usage.ru_utime + usage.ru_stime

for folder, bm in [("small", "BM_archive_small_files"), ("big", "BM_archive_big_files")]:
    tools = {
        "api32": [bench, "--benchmark_filter=^%s/" % bm],
        "zip -6": ["zip", "-q", "-r", "-6", "out-zip.zip", folder],
        "zipfile -6": ["/usr/bin/python3", "-c", zipfile_script, folder, "out-py.zip"],
    }
    runs = {name: [] for name in tools}
    for _ in range(3):
        for name, cmd in tools.items():
            for f in ("out-zip.zip", "out-py.zip"):
                if os.path.exists(os.path.join(base, f)):
                    os.remove(os.path.join(base, f))
            runs[name].append(timed(cmd, bm if name == "api32" else ""))
    med = {n: (statistics.median(w for w, _ in r), statistics.median(c for _, c in r)) for n, r in runs.items()}
    print("%s:" % folder)
    for name, (wall, cpu) in med.items():
        print("  %-11s wall %8.2f s   cpu %8.2f s" % (name, wall, cpu))
    for peer in ("zip -6", "zipfile -6"):
        print("  api32 / %-10s wall %.2f   cpu %.2f" % (peer, med["api32"][0] / med[peer][0], med["api32"][1] / med[peer][1]))

out = subprocess.run([bench, "--benchmark_filter=^BM_import_peak_memory/", "--benchmark_format=json"], cwd=base,
                     env=env, capture_output=True, check=True, text=True).stdout
peak = json.loads(out)["benchmarks"][0]["peak_kib_above_baseline"]
print("import of a 1 GiB file: peak memory %.1f MiB above the baseline (limit 16 MiB)" % (peak / 1024))
PY
