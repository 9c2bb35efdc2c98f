#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job of the reference host.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$root/.ccache}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-$(nproc)}" --target api32_tool
api32=build/bin/api32
echo "== api32 $($api32 --version | cut -d' ' -f2): the library's classes"
$api32 classes
