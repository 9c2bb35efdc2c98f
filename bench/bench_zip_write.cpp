// bench_zip_write.cpp - writing archives with of_zipopen + of_importfile per file + of_zipclose.
//
// The data sets live in $API32_BENCH_ZIP_DATA (made by bench/zip_write.sh): small/ (20,000 small files),
// big/ (~400 MB of mixed data) and huge.bin (1 GiB). Each archive benchmark makes one archive per iteration,
// walking the folder as `zip -r` does; the script times the peers on the same folders and prints ratios.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "api32/zip/uo_nv_ziplib.hpp"

namespace {

std::filesystem::path data_folder() {
  const char* folder = std::getenv("API32_BENCH_ZIP_DATA");
  return folder && *folder ? std::filesystem::path(folder) : std::filesystem::path();
}

// Archives `set` (a folder below the data folder) with paths relative to the data folder, so entry names are
// those `zip -r set` gives.
bool archive_folder(const std::string& set, const std::string& archive) {
  api32::uo_nv_ziplib zl;
  std::uint32_t h = zl.of_zipopen(archive);
  if (h == 0) return false;
  bool ok = true;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(set)) {
    if (!entry.is_regular_file()) continue;
    ok = zl.of_importfile(h, entry.path().string(), "") == 0 && ok;
  }
  return zl.of_zipclose(h, "") == 0 && ok;
}

void run_archive(benchmark::State& state, const std::string& set) {
  auto base = data_folder();
  if (base.empty() || !std::filesystem::is_directory(base / set)) {
    state.SkipWithError("API32_BENCH_ZIP_DATA does not hold the data sets (run bench/zip_write.sh)");
    return;
  }
  std::filesystem::current_path(base);
  for (auto _ : state) {
    if (!archive_folder(set, "out-api32.zip")) state.SkipWithError("archiving failed");
  }
  std::filesystem::remove(base / "out-api32.zip");
}

void BM_archive_small_files(benchmark::State& state) { run_archive(state, "small"); }
void BM_archive_big_files(benchmark::State& state) { run_archive(state, "big"); }
BENCHMARK(BM_archive_small_files)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_archive_big_files)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

long status_kib(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  std::string key = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
  return -1;
}

// Peak resident memory above the process's baseline while one 1 GiB file is imported.
void BM_import_peak_memory(benchmark::State& state) {
  auto base = data_folder();
  if (base.empty() || !std::filesystem::exists(base / "huge.bin")) {
    state.SkipWithError("API32_BENCH_ZIP_DATA holds no huge.bin (run bench/zip_write.sh)");
    return;
  }
  std::filesystem::current_path(base);
  api32::uo_nv_ziplib zl;
  long above = 0;
  for (auto _ : state) {
    std::uint32_t h = zl.of_zipopen("out-peak.zip");
    {
      std::ofstream clear("/proc/self/clear_refs");
      clear << "5";  // the high-water mark restarts from the current size
    }
    long baseline = status_kib("VmRSS");
    int rc = zl.of_importfile(h, "huge.bin", "");
    above = status_kib("VmHWM") - baseline;
    if (rc != 0 || zl.of_zipclose(h, "") != 0) state.SkipWithError("import failed");
  }
  state.counters["peak_kib_above_baseline"] = static_cast<double>(above);
  std::filesystem::remove(base / "out-peak.zip");
}
BENCHMARK(BM_import_peak_memory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
