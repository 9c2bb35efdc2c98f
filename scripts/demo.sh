#!/usr/bin/env bash
# Installs what is needed, builds the reference host, and runs its main job: list and extract the bundled
# sample add-on archive, print the table the host fills, and say where the files went.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$root/.ccache}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-$(nproc)}" --target api32_tool rar_exe
api32=build/bin/api32
out=$(mktemp -d "${TMPDIR:-/tmp}/api32-demo-XXXXXX")

echo "== api32 $($api32 --version | cut -d' ' -f2): listing examples/sample-addon.zip"
$api32 list examples/sample-addon.zip
echo
echo "== extracting it, with the table the host fills"
$api32 list examples/sample-addon.zip --extract-to "$out" --table
echo
echo "== the files went to $out:"
find "$out" -type f | sort | sed "s|^$out/|  |"
