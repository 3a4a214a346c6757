// Helpers shared by the decoder tests.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/decode/ExpandZipData.h"

namespace quil::test {

struct TDecoded {
  TExpandResult Result;
  std::vector<uint8_t> Out;
  std::string Text() const { return std::string(Out.begin(), Out.end()); }
};

inline TDecoded Decode(uint32_t method, const std::vector<uint8_t>& data, int64_t declared = -1,
                       uint16_t flag = 0, const TDecodeControl& control = {}) {
  TMemorySource src(data.data(), data.size());
  TVectorSink sink;
  TDecoded d;
  d.Result = ExpandZipData({flag, method, static_cast<int64_t>(data.size()), declared}, src, sink,
                           control);
  d.Out = std::move(sink.Data);
  return d;
}

// Raw deflate with zlib.
inline std::vector<uint8_t> ZlibDeflate(const std::vector<uint8_t>& in, int level = 6,
                                        int strategy = Z_DEFAULT_STRATEGY, int windowBits = 15,
                                        int memLevel = 8) {
  z_stream s{};
  deflateInit2(&s, level, Z_DEFLATED, -windowBits, memLevel, strategy);
  std::vector<uint8_t> out(deflateBound(&s, in.size()) + 16);
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// Text-like sample bytes: words from a small vocabulary with some binary runs.
inline std::vector<uint8_t> SampleBytes(size_t n, uint32_t seed = 1) {
  static const char* words[] = {"archive ", "entry ", "deflate ", "the ", "of ", "data\n",
                                "window ", "0123456789 ", "Quillet ", "block "};
  std::vector<uint8_t> v;
  uint32_t x = seed;
  while (v.size() < n) {
    x = x * 1103515245u + 12345u;
    if ((x >> 24) % 17 == 0) {
      for (int i = 0; i < 40 && v.size() < n; ++i) v.push_back(static_cast<uint8_t>(x >> (i % 24)));
    } else {
      for (const char* w = words[(x >> 16) % 10]; *w && v.size() < n; ++w) v.push_back(*w);
    }
  }
  return v;
}

}  // namespace quil::test
