// Inflate on small hand-made streams: every block kind, the header limits, the error cases, and
// the run's plumbing (output limit, cancel, write and read failures).
#include <gtest/gtest.h>

#include <functional>

#include "DecodeTestUtil.h"
#include "DeflateWriter.h"

using namespace quil;
using namespace quil::test;

namespace {

// Fixed-code helpers (RFC 1951 fixed literal/length and distance codes).
void FixedLit(TDeflateWriter& w, unsigned sym) {
  if (sym < 144) w.Code(0x30 + sym, 8);
  else if (sym < 256) w.Code(0x190 + sym - 144, 9);
  else if (sym < 280) w.Code(sym - 256, 7);
  else w.Code(0xC0 + sym - 280, 8);
}
void FixedHeader(TDeflateWriter& w, bool last) {
  w.Bits(last, 1);
  w.Bits(1, 2);
}

// Literal/length lengths for all 288 symbols (complete), distance lengths for all 32 (complete).
std::vector<uint8_t> FullLit() {
  std::vector<uint8_t> l(288, 8);
  for (int s = 224; s < 288; ++s) l[s] = 9;
  return l;
}
std::vector<uint8_t> FullDist() { return std::vector<uint8_t>(32, 5); }
// 258 literal/length codes (complete).
std::vector<uint8_t> SmallLit() {
  std::vector<uint8_t> l(258, 8);
  for (int s = 254; s < 258; ++s) l[s] = 9;
  return l;
}

struct TStreamCase {
  const char* Name;
  std::function<void(TDeflateWriter&)> Write;
  int Code;
  std::string Out;
};

TEST(Inflate, HandMadeStreams) {
  const TStreamCase cases[] = {
      {"stored blocks, the first of length 0",
       [](TDeflateWriter& w) {
         w.Stored(false, {});
         w.Stored(true, {'a', 'b', 'c'});
       },
       0, "abc"},
      {"stored block with a bad NLEN", [](TDeflateWriter& w) { w.Stored(true, {'a'}, true); },
       kMsgBadBlock, ""},
      {"block type 3",
       [](TDeflateWriter& w) {
         w.Bits(1, 1);
         w.Bits(3, 2);
       },
       kMsgBadBlock, ""},
      {"fixed, dynamic, fixed: the fixed tables survive the dynamic block",
       [](TDeflateWriter& w) {
         FixedHeader(w, false);
         FixedLit(w, 'a');
         FixedLit(w, 'b');
         FixedLit(w, 256);
         w.DynamicHeader(false, SmallLit(), {1});
         w.Lit('x');
         w.Lit(257);  // length 3
         w.Dist(0);   // distance 1
         w.Lit(256);
         FixedHeader(w, true);
         FixedLit(w, 257);  // length 3, distance 6 -> "abx"
         w.Code(4, 5);
         w.Bits(1, 1);
         FixedLit(w, 200);
         FixedLit(w, 256);
       },
       0, "abxxxxabx\xC8"},
      {"HLIT 288 and HDIST 32 are accepted",
       [](TDeflateWriter& w) {
         w.DynamicHeader(true, FullLit(), FullDist());
         w.Lit('A');
         w.Lit('B');
         w.Lit(257);
         w.Dist(0);
         w.Lit(256);
       },
       0, "ABBBB"},
      {"literal/length code 286", [](TDeflateWriter& w) {
         w.DynamicHeader(true, FullLit(), FullDist());
         w.Lit(286);
       }, kMsgIncompleteCodeSet, ""},
      {"literal/length code 287", [](TDeflateWriter& w) {
         w.DynamicHeader(true, FullLit(), FullDist());
         w.Lit(287);
       }, kMsgIncompleteCodeSet, ""},
      {"distance code 30", [](TDeflateWriter& w) {
         w.DynamicHeader(true, FullLit(), FullDist());
         w.Lit('A');
         w.Lit(257);
         w.Dist(30);
       }, kMsgIncompleteCodeSet, "A"},
      {"distance code 31", [](TDeflateWriter& w) {
         w.DynamicHeader(true, FullLit(), FullDist());
         w.Lit('A');
         w.Lit(257);
         w.Dist(31);
       }, kMsgIncompleteCodeSet, "A"},
      {"distance code 30 in a fixed block", [](TDeflateWriter& w) {
         FixedHeader(w, true);
         FixedLit(w, 'A');
         FixedLit(w, 257);
         w.Code(30, 5);
       }, kMsgBadBlock, "A"},
      {"over-subscribed literal/length set",
       [](TDeflateWriter& w) { w.DynamicHeader(true, std::vector<uint8_t>(258, 8), {1}); },
       kMsgIncompleteCodeSet, ""},
      {"incomplete literal/length set", [](TDeflateWriter& w) {
         auto l = SmallLit();
         l[257] = 0;
         w.DynamicHeader(true, l, {1});
       }, kMsgIncompleteCodeSet, ""},
      {"incomplete distance set", [](TDeflateWriter& w) { w.DynamicHeader(true, SmallLit(), {2, 2}); },
       kMsgIncompleteCodeSet, ""},
      {"over-subscribed distance set",
       [](TDeflateWriter& w) { w.DynamicHeader(true, SmallLit(), {1, 1, 1}); },
       kMsgIncompleteCodeSet, ""},
      {"code-length repeat past the end",
       [](TDeflateWriter& w) {
         w.Bits(1, 1);
         w.Bits(2, 2);
         w.Bits(0, 5);  // 257 literal/length codes
         w.Bits(0, 5);  // 1 distance code
         w.Bits(0, 4);  // 4 code-length codes: 16, 17, 18, 0
         w.Bits(0, 3);
         w.Bits(0, 3);
         w.Bits(1, 3);  // 18: code 1
         w.Bits(1, 3);  // 0: code 0
         for (int i = 0; i < 3; ++i) {  // 3 x 138 zeros > 258
           w.Code(1, 1);
           w.Bits(127, 7);
         }
       },
       kMsgIncompleteCodeSet, ""},
      {"code-length repeat with nothing to repeat",
       [](TDeflateWriter& w) {
         w.Bits(1, 1);
         w.Bits(2, 2);
         w.Bits(0, 5);
         w.Bits(0, 5);
         w.Bits(0, 4);
         w.Bits(1, 3);  // 16: code 1
         w.Bits(0, 3);
         w.Bits(0, 3);
         w.Bits(1, 3);  // 0: code 0
         w.Code(1, 1);
         w.Bits(0, 2);
       },
       kMsgIncompleteCodeSet, ""},
      {"distance before the start of the data",
       [](TDeflateWriter& w) {
         FixedHeader(w, true);
         FixedLit(w, 'a');
         FixedLit(w, 257);
         w.Code(1, 5);  // distance 2
       },
       kMsgCorruptInput, "a"},
      {"input ends inside a block",
       [](TDeflateWriter& w) {
         FixedHeader(w, true);
         FixedLit(w, 'a');
         FixedLit(w, 'b');
       },
       kMsgBadBlock, "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TDeflateWriter w;
    c.Write(w);
    TDecoded d = Decode(8, w.Data);
    EXPECT_EQ(d.Result.Code, c.Code) << d.Result.Message;
    if (c.Code == 0) EXPECT_EQ(d.Text(), c.Out);
    else EXPECT_EQ(d.Text().substr(0, c.Out.size()), c.Out);
  }
}

TEST(Inflate, SingleDistanceCodeOfLengthOne) {
  TDeflateWriter w;
  w.DynamicHeader(true, SmallLit(), {1});
  w.Lit('x');
  w.Lit(257);  // length 3
  w.Dist(0);
  w.Lit(256);
  TDecoded d = Decode(8, w.Data);
  EXPECT_EQ(d.Result.Code, 0);
  EXPECT_EQ(d.Text(), "xxxx");
}

TEST(Inflate, OutputNeverExceedsTheDeclaredSize) {
  const std::vector<uint8_t> plain = SampleBytes(300000);
  const std::vector<uint8_t> packed = ZlibDeflate(plain);
  struct { int64_t Declared; int Code; int64_t Written; } cases[] = {
      {-1, 0, 300000}, {300000, 0, 300000}, {299999, kMsgOutputTooLong, 299999},
      {1000, kMsgOutputTooLong, 1000}, {0, kMsgOutputTooLong, 0},
      {400000, 0, 300000},  // short output is the caller's size/CRC check to find
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.Declared);
    TDecoded d = Decode(8, packed, c.Declared);
    EXPECT_EQ(d.Result.Code, c.Code);
    EXPECT_EQ(d.Result.Written, c.Written);
    ASSERT_EQ(d.Out.size(), static_cast<size_t>(c.Written));
    EXPECT_TRUE(std::equal(d.Out.begin(), d.Out.end(), plain.begin()));
  }
}

TEST(Inflate, CancelEndsTheEntryMidStream) {
  const std::vector<uint8_t> plain = SampleBytes(2000000, 7);
  const std::vector<uint8_t> packed = ZlibDeflate(plain, 1);
  int calls = 0;
  TDecodeControl control;
  control.Cancelled = [&] { return ++calls > 2; };
  TDecoded d = Decode(8, packed, -1, 0, control);
  EXPECT_EQ(d.Result.Code, kMsgUserAborted);
  EXPECT_LT(d.Result.PackedRead, static_cast<int64_t>(packed.size()));
  EXPECT_LT(d.Out.size(), plain.size());
  EXPECT_TRUE(std::equal(d.Out.begin(), d.Out.end(), plain.begin()));
}

TEST(ExpandZipData, ProgressAndFailingEnds) {
  const std::vector<uint8_t> plain = SampleBytes(100000, 3);
  const std::vector<uint8_t> packed = ZlibDeflate(plain);

  // Progress reaches the totals.
  int64_t lastIn = 0, lastOut = 0;
  TDecodeControl progress;
  progress.OnProgress = [&](int64_t in, int64_t out) {
    if (in >= 0) lastIn = in;
    if (out >= 0) lastOut = out;
  };
  EXPECT_EQ(Decode(8, packed, -1, 0, progress).Result.Code, 0);
  EXPECT_EQ(lastIn, static_cast<int64_t>(packed.size()));
  EXPECT_EQ(lastOut, 100000);

  // A sink that refuses: "Error writing to file".
  struct TRefusingSink : TDecodeSink {
    bool Write(const uint8_t*, size_t) override { return false; }
  } refusing;
  TMemorySource src(packed.data(), packed.size());
  EXPECT_EQ(ExpandZipData({0, 8, static_cast<int64_t>(packed.size()), 100000}, src, refusing).Code,
            kMsgWriteError);

  // A source with a read error.
  struct TBrokenSource : TDecodeSource {
    int64_t Read(uint8_t*, int64_t) override { return -1; }
  } broken;
  TVectorSink sink;
  EXPECT_EQ(ExpandZipData({0, 8, 100, 1000}, broken, sink).Code, kMsgUnexpectedEnd);

  // Whatever a hook throws stays inside.
  TDecodeControl throwing;
  throwing.OnProgress = [](int64_t, int64_t) { throw std::runtime_error("hook"); };
  EXPECT_EQ(Decode(8, packed, -1, 0, throwing).Result.Code, kMsgStreamError);

  // The packed size bounds what is read: the encryption header is not part of the data.
  std::vector<uint8_t> stored = {'a', 'b', 'c', 'd'};
  TMemorySource s2(stored.data(), stored.size());
  TVectorSink out2;
  TExpandResult r = ExpandZipData({1, 0, 12 + 3, 3}, s2, out2);
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(std::string(out2.Data.begin(), out2.Data.end()), "abc");
}

TEST(ExpandZipData, UnsupportedMethodsNameTheMethod) {
  struct { uint32_t Method; const char* Name; } cases[] = {
      {7, "Tokenized"}, {9, "Deflate64"}, {12, "BZip2"}, {14, "LZMA"}, {99, "AES"}, {1234, "1234"},
  };
  for (auto c : cases) {
    TDecoded d = Decode(c.Method, {1, 2, 3}, 3);
    EXPECT_EQ(d.Result.Code, kMsgUnsupportedMethod);
    EXPECT_NE(d.Result.Message.find("Unsupported compression method"), std::string::npos);
    EXPECT_NE(d.Result.Message.find(c.Name), std::string::npos) << d.Result.Message;
    EXPECT_TRUE(d.Out.empty());
  }
}

}  // namespace
