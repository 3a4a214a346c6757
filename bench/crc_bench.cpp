// CRC-32 throughput on one large in-memory buffer: the engine's CrcUpdate32 (folded where the CPU
// allows), its slicing-by-8 fallback, zlib's crc32(), and memcpy as the memory-bandwidth yardstick.
// Before measuring, the engine's results are checked bit for bit against zlib.
//   build/bench/crc_bench --benchmark_min_time=2s
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "engine/core/Crc.h"

namespace {

constexpr size_t kSize = 64u << 20;  // 64 MiB: memory-bound
constexpr size_t kSmall = 256u << 10;  // 256 KiB: stays in the cache

const std::vector<uint8_t>& Buffer() {
  static const std::vector<uint8_t> buf = [] {
    std::vector<uint8_t> v(kSize);
    std::mt19937_64 gen(42);
    for (size_t i = 0; i + 8 <= v.size(); i += 8) {
      uint64_t r = gen();
      std::memcpy(&v[i], &r, 8);
    }
    return v;
  }();
  return buf;
}

uint32_t ZlibCrc(const uint8_t* p, size_t n) {
  uLong c = crc32(0, nullptr, 0);
  while (n > 0) {  // zlib takes 32-bit lengths
    uInt step = n > (1u << 30) ? (1u << 30) : static_cast<uInt>(n);
    c = crc32(c, p, step);
    p += step;
    n -= step;
  }
  return static_cast<uint32_t>(c);
}

// The same value from every path, on the whole buffer and on odd-sized, odd-aligned slices.
void VerifyBitIdentical() {
  const auto& b = Buffer();
  const size_t sizes[] = {kSize, kSize - 7, 1000003, 4099, 65, 64, 63, 1};
  for (size_t n : sizes) {
    const uint8_t* p = b.data() + (kSize - n);
    const uint32_t want = ZlibCrc(p, n);
    using namespace quil::crc_impl;
    bool ok = quil::Crc32Of(p, n) == want && ~Slice8(~0u, p, n) == want &&
              (!FoldedAvailable() || ~Folded(~0u, p, n) == want) &&
              (!WideFoldedAvailable() || ~WideFolded(~0u, p, n) == want);
    if (!ok) {
      std::fprintf(stderr, "CRC-32 mismatch against zlib for %zu bytes\n", n);
      std::exit(1);
    }
  }
  std::fprintf(stderr, "CRC-32 paths bit-identical to zlib; in use: %s\n",
               quil::crc_impl::WideFoldedAvailable() ? "folding on 512-bit registers"
               : quil::crc_impl::FoldedAvailable()   ? "folding on 128-bit registers"
                                                     : "slicing by 8");
}

void BM_CrcUpdate32(benchmark::State& state) {
  const uint8_t* p = Buffer().data();
  const size_t n = static_cast<size_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(quil::Crc32Of(p, n));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_Folded128(benchmark::State& state) {
  const uint8_t* p = Buffer().data();
  const size_t n = static_cast<size_t>(state.range(0));
  if (!quil::crc_impl::FoldedAvailable()) state.SkipWithError("no PCLMULQDQ");
  for (auto _ : state) benchmark::DoNotOptimize(quil::crc_impl::Folded(~0u, p, n));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_Slice8(benchmark::State& state) {
  const uint8_t* p = Buffer().data();
  const size_t n = static_cast<size_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(quil::crc_impl::Slice8(~0u, p, n));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_ZlibCrc32(benchmark::State& state) {
  const uint8_t* p = Buffer().data();
  const size_t n = static_cast<size_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(ZlibCrc(p, n));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_Memcpy(benchmark::State& state) {
  const uint8_t* p = Buffer().data();
  const size_t n = static_cast<size_t>(state.range(0));
  std::vector<uint8_t> dst(n);
  for (auto _ : state) {
    std::memcpy(dst.data(), p, n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

BENCHMARK(BM_CrcUpdate32)->Arg(kSize)->Arg(kSmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Folded128)->Arg(kSize)->Arg(kSmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slice8)->Arg(kSize)->Arg(kSmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZlibCrc32)->Arg(kSize)->Arg(kSmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->Arg(kSize)->Arg(kSmall)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  VerifyBitIdentical();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
