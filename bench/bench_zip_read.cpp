// bench_zip_read.cpp - listing and extracting whole archives with uo_nv_ziplib.
//
//   bench_zip_read list ARCHIVE            lists the archive once (of_dwdirectory), prints the row count
//   bench_zip_read extract ARCHIVE FOLDER  lists and extracts every entry below FOLDER (of_cudwdirectory)
//   bench_zip_read [benchmark flags]       Google Benchmark runs over $API32_BENCH_ZIP
//
// bench/zip_read.sh makes the archives and times these modes against unzip, zipinfo and bsdtar.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "api32/runtime/datastore.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace {

std::string windows(const std::string& native) {
  return api32::win32::to_windows_path(std::filesystem::absolute(native).string());
}

std::size_t count_rows(const std::string& listing) {
  if (listing.empty()) return 0;
  std::size_t rows = 1;
  for (char c : listing) rows += c == '\n';
  return rows;
}

const char* bench_archive() { return std::getenv("API32_BENCH_ZIP"); }

void BM_list(benchmark::State& state) {
  const char* archive = bench_archive();
  if (!archive) {
    state.SkipWithError("set API32_BENCH_ZIP to an archive");
    return;
  }
  api32::uo_nv_ziplib zl;
  std::string path = windows(archive);
  std::size_t rows = 0;
  for (auto _ : state) {
    std::string listing = zl.of_dwdirectory(path);
    rows = count_rows(listing);
    benchmark::DoNotOptimize(listing);
  }
  state.counters["entries/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_list)->Unit(benchmark::kMillisecond);

void BM_extract(benchmark::State& state) {
  const char* archive = bench_archive();
  if (!archive) {
    state.SkipWithError("set API32_BENCH_ZIP to an archive");
    return;
  }
  api32::uo_nv_ziplib zl;
  std::string path = windows(archive);
  std::string folder = std::filesystem::temp_directory_path() / ("api32-bench-extract-" + std::to_string(::getpid()));
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    api32::datastore rows(api32::d_zipfiles());
    state.ResumeTiming();
    benchmark::DoNotOptimize(zl.of_cudwdirectory(path, rows, windows(folder) + "\\", true));
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_extract)->Unit(benchmark::kMillisecond)->Iterations(3);

// What mapping the Windows path of a file that does not exist yet costs in a folder of state.range(0) files:
// the mapping looks for the name in another case, so each new file of an extraction reads the whole folder.
void BM_map_new_file_name(benchmark::State& state) {
  auto folder = std::filesystem::temp_directory_path() / ("api32-bench-map-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  for (int i = 0; i < state.range(0); ++i) std::fclose(std::fopen((folder / ("f" + std::to_string(i))).c_str(), "w"));
  std::string target = windows(folder / "new-file.txt");
  for (auto _ : state) benchmark::DoNotOptimize(api32::win32::to_native_path(target));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_map_new_file_name)->Arg(10)->Arg(100)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "list" && argc == 3) {
    api32::uo_nv_ziplib zl;
    std::printf("%zu rows\n", count_rows(zl.of_dwdirectory(windows(argv[2]))));
    return 0;
  }
  if (mode == "extract" && argc == 4) {
    api32::uo_nv_ziplib zl;
    api32::datastore rows(api32::d_zipfiles());
    std::filesystem::create_directories(argv[3]);
    zl.of_cudwdirectory(windows(argv[2]), rows, windows(argv[3]) + "\\", true);
    std::printf("%d rows\n", rows.rowcount());
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
