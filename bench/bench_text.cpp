// bench_text.cpp - the runtime's character-counting text functions and path mapping against std::string.
#include <benchmark/benchmark.h>

#include <string>

#include "api32/runtime/text.hpp"
#include "api32/win32/paths.hpp"

namespace {

const std::string sample_path = "games/Mods/Textures/Über Pack/readme_ÄÖÜ.txt";

void BM_replace_all_api32(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(api32::text::replace_all(sample_path, "/", "\\"));
}
BENCHMARK(BM_replace_all_api32);

void BM_replace_std(benchmark::State& state) {
  for (auto _ : state) {
    std::string s = sample_path;
    for (char& c : s)
      if (c == '/') c = '\\';
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_replace_std);

void BM_len_utf8(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(api32::text::len(sample_path));
}
BENCHMARK(BM_len_utf8);

void BM_to_native_path_existing(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(api32::win32::to_native_path("Z:\\usr\\bin\\env"));
}
BENCHMARK(BM_to_native_path_existing);

}  // namespace

BENCHMARK_MAIN();
