// Archive-type detection over files held in memory: a plain ZIP (end-record search), a RAR
// self-extractor (program path down to the signature scan) and a TAR (every plain test).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/Detect.h"

namespace {

// The fixtures beside this source: <source>/../tests/fixtures.
std::string Fixture(const std::string& rel) {
  std::string here = __FILE__;
  return here.substr(0, here.find_last_of('/')) + "/../tests/fixtures/" + rel;
}

std::vector<uint8_t> Load(const std::string& rel) {
  std::ifstream in(Fixture(rel), std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void BM_Detect(benchmark::State& state, const char* rel) {
  std::vector<uint8_t> data = Load(rel);
  quil::TMemoryReadAt in(data.data(), data.size());
  quil::TDetectOptions opt;
  opt.ZipCmntBufSize = 32000;
  for (auto _ : state) {
    quil::TDetection d;
    quil::DetectArcType(in, opt, d);
    benchmark::DoNotOptimize(d.ArcType);
  }
}

BENCHMARK_CAPTURE(BM_Detect, zip, "zip/stored-dirs.zip");
BENCHMARK_CAPTURE(BM_Detect, rar_sfx, "rar/la_rar_sfx.exe");
BENCHMARK_CAPTURE(BM_Detect, tar, "tar/ustar-dirs.tar");

}  // namespace

BENCHMARK_MAIN();
