// Inflate against zlib's inflate: random data compressed with random settings must decode to the
// same bytes, and damaged or random streams must be rejected by both or decode the same.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "DecodeTestUtil.h"

using namespace quil;
using namespace quil::test;

namespace {

constexpr size_t kOutLimit = 1 << 16;

struct TZlibResult {
  enum { Ok, Rejected, TooLong, HeaderLimits } Kind;
  std::vector<uint8_t> Out;
};

TZlibResult ZlibInflate(const std::vector<uint8_t>& in) {
  z_stream s{};
  inflateInit2(&s, -15);
  TZlibResult r{TZlibResult::Ok, std::vector<uint8_t>(kOutLimit + 1)};
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = r.Out.data();
  s.avail_out = static_cast<uInt>(r.Out.size());
  int rc = inflate(&s, Z_FINISH);
  r.Out.resize(s.total_out);
  if (rc == Z_STREAM_END) r.Kind = r.Out.size() > kOutLimit ? TZlibResult::TooLong : TZlibResult::Ok;
  else if (s.avail_out == 0) r.Kind = TZlibResult::TooLong;
  else if (s.msg && std::string(s.msg) == "too many length or distance symbols")
    r.Kind = TZlibResult::HeaderLimits;  // we accept HLIT up to 288 and HDIST up to 32
  else r.Kind = TZlibResult::Rejected;
  inflateEnd(&s);
  return r;
}

void Compare(const std::vector<uint8_t>& stream, const char* what, int i) {
  const TZlibResult z = ZlibInflate(stream);
  const TDecoded ours = Decode(8, stream, kOutLimit);
  SCOPED_TRACE(testing::Message() << what << " #" << i << " zlib kind " << z.Kind
                                  << ", ours " << ours.Result.Code);
  switch (z.Kind) {
    case TZlibResult::Ok:
      ASSERT_EQ(ours.Result.Code, 0);
      ASSERT_EQ(ours.Out, z.Out);
      break;
    case TZlibResult::TooLong:
      ASSERT_EQ(ours.Result.Code, kMsgOutputTooLong);
      ASSERT_EQ(ours.Out.size(), kOutLimit);
      ASSERT_TRUE(std::equal(ours.Out.begin(), ours.Out.end(), z.Out.begin()));
      break;
    case TZlibResult::Rejected:
      ASSERT_NE(ours.Result.Code, 0);
      // Both produce the same bytes up to the point where one of them stops.
      ASSERT_TRUE(std::equal(ours.Out.begin(),
                             ours.Out.begin() + std::min(ours.Out.size(), z.Out.size()),
                             z.Out.begin()));
      break;
    case TZlibResult::HeaderLimits:
      break;
  }
}

TEST(InflateDifferential, RandomDataAtRandomSettings) {
  std::mt19937 rng(20261211);
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (int i = 0; i < 60; ++i) {
    const size_t n = rng() % 3 == 0 ? rng() % 64 : rng() % 100000;
    std::vector<uint8_t> plain = SampleBytes(n, rng());
    if (rng() % 4 == 0)  // some incompressible stretches: stored blocks
      for (size_t k = rng() % (n + 1); k < n && k % 50000 != 49999; ++k) plain[k] = rng();
    const int level = static_cast<int>(rng() % 10);
    const auto packed = ZlibDeflate(plain, level, strategies[rng() % 5],
                                    9 + static_cast<int>(rng() % 7), 1 + static_cast<int>(rng() % 9));
    const TDecoded ours = Decode(8, packed, static_cast<int64_t>(plain.size()));
    ASSERT_EQ(ours.Result.Code, 0) << i << " " << ours.Result.Message;
    ASSERT_EQ(ours.Out, plain) << i;
  }
}

TEST(InflateDifferential, DamagedAndRandomStreams) {
  std::mt19937 rng(7);
  for (int i = 0; i < 500; ++i) {
    std::vector<uint8_t> s;
    if (i % 3 == 0) {
      s.resize(rng() % 300);  // pure garbage
      for (auto& b : s) b = rng();
    } else {
      s = ZlibDeflate(SampleBytes(rng() % 8000, rng()), static_cast<int>(rng() % 10),
                      i % 2 ? Z_FIXED : Z_DEFAULT_STRATEGY);
      const int flips = 1 + rng() % 4;  // damage a few bits, sometimes cut the end
      for (int f = 0; f < flips && !s.empty(); ++f) s[rng() % s.size()] ^= 1u << (rng() % 8);
      if (rng() % 4 == 0 && !s.empty()) s.resize(rng() % s.size());
    }
    Compare(s, i % 3 == 0 ? "garbage" : "damaged", i);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
