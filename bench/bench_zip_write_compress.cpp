// bench_zip_write_compress.cpp - of_compress / of_uncompress against zlib's compress / uncompress called
// directly on the same buffers (1 MiB and 64 MiB of mixed text and binary data). bench/zip_write_compress.sh
// runs it and prints the ratios.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "api32/runtime/message_box.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace {

// Mixed data: text runs, numbers and a share of random bytes, compressing to roughly a third.
const api32::blob& sample(std::size_t size) {
  static std::map<std::size_t, api32::blob> cache;
  auto& b = cache[size];
  if (b.empty()) {
    std::mt19937 rng(42);
    const std::string words[] = {"texture ", "addon ", "[Settings]\r\n", "Enabled=1\r\n", "readme ", "mesh "};
    while (b.size() < size) {
      if (rng() % 4 == 0) {
        for (int i = 0; i < 24; ++i) b.push_back(static_cast<std::uint8_t>(rng()));
      } else {
        const std::string& w = words[rng() % 6];
        b.insert(b.end(), w.begin(), w.end());
        std::string n = std::to_string(rng() % 100000);
        b.insert(b.end(), n.begin(), n.end());
      }
    }
    b.resize(size);
  }
  return b;
}

const api32::blob& compressed_sample(std::size_t size) {
  static std::map<std::size_t, api32::blob> cache;
  auto& c = cache[size];
  if (c.empty()) {
    const auto& s = sample(size);
    uLongf n = compressBound(s.size());
    c.resize(n);
    compress(c.data(), &n, s.data(), s.size());
    c.resize(n);
  }
  return c;
}

void BM_of_compress(benchmark::State& state) {
  const auto& src = sample(static_cast<std::size_t>(state.range(0)));
  api32::uo_nv_ziplib zl;
  for (auto _ : state) {
    std::optional<api32::blob> out;
    benchmark::DoNotOptimize(zl.of_compress(src, out));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_zlib_compress(benchmark::State& state) {
  const auto& src = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    uLongf n = compressBound(src.size());
    std::unique_ptr<Bytef[]> out(new Bytef[n]);
    benchmark::DoNotOptimize(compress(out.get(), &n, src.data(), src.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_of_uncompress(benchmark::State& state) {
  auto size = static_cast<std::size_t>(state.range(0));
  const auto& src = compressed_sample(size);
  api32::uo_nv_ziplib zl;
  for (auto _ : state) {
    std::optional<api32::blob> out;
    benchmark::DoNotOptimize(zl.of_uncompress(src, static_cast<std::uint32_t>(size), out));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_zlib_uncompress(benchmark::State& state) {
  auto size = static_cast<std::size_t>(state.range(0));
  const auto& src = compressed_sample(size);
  for (auto _ : state) {
    uLongf n = size;
    std::unique_ptr<Bytef[]> out(new Bytef[n]);
    benchmark::DoNotOptimize(uncompress(out.get(), &n, src.data(), src.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

constexpr std::int64_t one_mib = 1 << 20;
BENCHMARK(BM_of_compress)->Arg(one_mib)->Arg(64 * one_mib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_zlib_compress)->Arg(one_mib)->Arg(64 * one_mib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_of_uncompress)->Arg(one_mib)->Arg(64 * one_mib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_zlib_uncompress)->Arg(one_mib)->Arg(64 * one_mib)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
