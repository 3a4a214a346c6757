// Inflate throughput: our inflater against zlib's inflate() and libdeflate on the same raw deflate
// data (a few MB of text and binaries from the system, compressed by zlib at level 6).
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/decode/ExpandZipData.h"

namespace {

struct TCorpus {
  std::vector<uint8_t> Plain, Packed;
};

const TCorpus& Corpus() {
  static const TCorpus corpus = [] {
    TCorpus c;
    namespace fs = std::filesystem;
    const size_t textGoal = 3 << 20, binGoal = 2 << 20;
    auto gather = [&](const char* dir, size_t goal, bool wantText) {
      size_t got = 0;
      std::error_code ec;
      for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
           it != fs::recursive_directory_iterator() && got < goal; it.increment(ec)) {
        if (ec || !it->is_regular_file(ec) || it->file_size(ec) < 4096 || it->file_size(ec) > (1 << 20))
          continue;
        const auto ext = it->path().extension().string();
        const bool text = ext == ".txt" || ext == ".html" || ext == ".py" || ext == ".h" ||
                          ext == ".xml" || ext == ".pl" || ext == ".pm";
        const bool bin = ext == ".so" || ext == ".a";
        if (wantText ? !text : !bin) continue;
        std::ifstream f(it->path(), std::ios::binary);
        std::vector<uint8_t> v((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        c.Plain.insert(c.Plain.end(), v.begin(), v.end());
        got += v.size();
      }
    };
    gather("/usr/share", textGoal, true);
    gather("/usr/lib", binGoal, false);
    z_stream s{};
    deflateInit2(&s, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    c.Packed.resize(deflateBound(&s, c.Plain.size()));
    s.next_in = c.Plain.data();
    s.avail_in = static_cast<uInt>(c.Plain.size());
    s.next_out = c.Packed.data();
    s.avail_out = static_cast<uInt>(c.Packed.size());
    deflate(&s, Z_FINISH);
    c.Packed.resize(s.total_out);
    deflateEnd(&s);
    return c;
  }();
  return corpus;
}

class TNullSink : public quil::TDecodeSink {
 public:
  bool Write(const uint8_t* d, size_t n) override {
    benchmark::DoNotOptimize(d);
    Size += n;
    return true;
  }
  size_t Size = 0;
};

void Report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Corpus().Plain.size()));
  state.counters["plain_MB"] = static_cast<double>(Corpus().Plain.size()) / 1e6;
  state.counters["ratio"] = static_cast<double>(Corpus().Packed.size()) / Corpus().Plain.size();
}

void BM_QuilInflate(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    quil::TMemorySource src(c.Packed.data(), c.Packed.size());
    TNullSink sink;
    auto r = quil::ExpandZipData({0, 8, static_cast<int64_t>(c.Packed.size()),
                                  static_cast<int64_t>(c.Plain.size())}, src, sink);
    if (!r.Ok() || sink.Size != c.Plain.size()) state.SkipWithError("decode failed");
  }
  Report(state);
}

void BM_ZlibInflate(benchmark::State& state) {
  const TCorpus& c = Corpus();
  std::vector<uint8_t> out(c.Plain.size());
  for (auto _ : state) {
    z_stream s{};
    inflateInit2(&s, -15);
    s.next_in = const_cast<Bytef*>(c.Packed.data());
    s.avail_in = static_cast<uInt>(c.Packed.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    if (inflate(&s, Z_FINISH) != Z_STREAM_END) state.SkipWithError("zlib failed");
    inflateEnd(&s);
    benchmark::DoNotOptimize(out.data());
  }
  Report(state);
}

void BM_LibdeflateInflate(benchmark::State& state) {
  const TCorpus& c = Corpus();
  std::vector<uint8_t> out(c.Plain.size());
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    size_t n = 0;
    if (libdeflate_deflate_decompress(d, c.Packed.data(), c.Packed.size(), out.data(), out.size(),
                                      &n) != LIBDEFLATE_SUCCESS)
      state.SkipWithError("libdeflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  libdeflate_free_decompressor(d);
  Report(state);
}

BENCHMARK(BM_QuilInflate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibdeflateInflate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
