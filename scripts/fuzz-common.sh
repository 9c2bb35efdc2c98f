# fuzz-common.sh - sourced by fuzz.sh and fuzz-ci.sh: the fuzz build, the target list, one fuzzing run.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_build=${FUZZ_BUILD:-$root/build-fuzz}
fuzz_targets=(zip_reader uncompress zip_names win_cmdline paths reg tga rar_reader rar_extract rar_cmdline)

# Longest input each target is given (bytes): archives and images need room, command lines and names little.
max_len_of() {
  case $1 in
    zip_reader | rar_reader | rar_extract | tga) echo 16384 ;;
    uncompress | reg) echo 8192 ;;
    *) echo 1024 ;;
  esac
}

# Configures (once) and builds the fuzz targets with clang: sanitizers and fuzzer coverage everywhere.
build_fuzz_targets() {
  if [ ! -f "$fuzz_build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAPI32_FUZZ=ON \
      -DAPI32_SANITIZE=ON -DAPI32_BUILD_DESKTOP=OFF -DAPI32_BUILD_TESTS=OFF -DAPI32_BUILD_BENCH=OFF >/dev/null
  fi
  if ! cmake --build "$fuzz_build" --target "$@" -j "${JOBS:-2}" >"$fuzz_build/build.log" 2>&1; then
    grep -E "error|Error" "$fuzz_build/build.log" | head -20 >&2
    echo "building the fuzz targets failed; see $fuzz_build/build.log" >&2
    return 1
  fi
}

# The caller's sanitizer options are kept; a smaller quarantine than the sanitizer's 256 MB leaves the 512 MB
# limit to what the code under test holds.
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=64"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}

# run_fuzzer TARGET SECONDS CORPUS LOG [extra libFuzzer options]: fuzzes TARGET for SECONDS with new inputs
# in CORPUS (the committed seeds and regression files read as well) and crash files in the build folder. The
# target's scratch files live in a private folder removed afterwards. Returns libFuzzer's status.
run_fuzzer() {
  local target=$1 seconds=$2 corpus=$3 log=$4
  shift 4
  local artifacts=$fuzz_build/artifacts/$target/ scratch rc=0
  mkdir -p "$artifacts" "$corpus"
  scratch=$(mktemp -d "${FUZZ_SCRATCH:-/dev/shm}/api32-fuzz-$target-XXXXXX" 2>/dev/null || mktemp -d)
  TMPDIR=$scratch nice -n "${FUZZ_NICE:-10}" "$fuzz_build/fuzz/fuzz_$target" -rss_limit_mb=512 \
    -max_len="$(max_len_of "$target")" -timeout="${FUZZ_TIMEOUT:-30}" -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$@" "$corpus" "$root/fuzz/corpus/$target" \
    >"$log" 2>&1 || rc=$?
  rm -rf "$scratch"
  return "$rc"
}

# The executions per second and crash-file names a finished run printed.
summarise_run() {
  local target=$1 log=$2
  local execs runs
  execs=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  printf '%-12s %8s exec/s %10s runs' "$target" "${execs:-?}" "${runs:-?}"
  grep -o "Test unit written to .*" "$log" | sed 's/^/  /' || true
  echo
}
