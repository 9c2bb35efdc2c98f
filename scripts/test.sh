#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: first the normal build (warnings as errors), then the
# sanitizer build (address + undefined behaviour). GUI tests run inside a private D-Bus session and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

jobs=${JOBS:-$(nproc)}
export CCACHE_DIR=${CCACHE_DIR:-$root/.ccache}

# The environment every GUI test runs in (see the desktop testing notes in the README).
export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory WEBKIT_DISABLE_COMPOSITING_MODE=1 LIBGL_ALWAYS_SOFTWARE=1
run_ctest() {
  local dir=$1
  timeout 2400 dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAPI32_WERROR=ON
cmake --build build -j "$jobs"
run_ctest build

echo "== sanitizer build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DAPI32_SANITIZE=ON -DAPI32_WERROR=ON -DAPI32_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
run_ctest build-asan

if [ -x scripts/fuzz-ci.sh ] && command -v clang++ >/dev/null 2>&1; then
  echo "== short fuzz pass"
  scripts/fuzz-ci.sh
fi
echo "== all tests passed"
