// Unshrink, unreduce and explode on small hand-made streams and on damaged fixture data.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "DecodeTestUtil.h"

using namespace quil;
using namespace quil::test;

namespace {

// Least-significant-bit-first writer, the bit order of these methods.
struct TBitWriter {
  std::vector<uint8_t> Data;
  unsigned Bit = 0;
  TBitWriter& Put(uint32_t v, unsigned n) {
    for (unsigned i = 0; i < n; ++i, Bit = (Bit + 1) & 7) {
      if (Bit == 0) Data.push_back(0);
      Data.back() |= ((v >> i) & 1) << Bit;
    }
    return *this;
  }
};

TEST(Unshrink, CodesAndControlCodes) {
  struct {
    const char* Name;
    std::vector<std::pair<uint32_t, unsigned>> Codes;  // (code, width)
    int Code;
    std::string Out;
  } cases[] = {
      // A, B -> 257 "AB"; 257 -> "AB", 258 "BA"; 259 is not defined yet: "AB" + 'A'.
      {"codes, including one not yet defined",
       {{'A', 9}, {'B', 9}, {257, 9}, {259, 9}}, 0, "ABABABA"},
      {"partial clear reassigns the lowest freed code first",
       // 257 "AB", 258 "BA", 259 "ABB" (child of 257). The clear frees 258 and 259 (no
       // children) and keeps 257. The next two new codes are 258 (after 'C') and 259 = "CD"
       // (after 'D'); 257 still decodes as "AB".
       {{'A', 9}, {'B', 9}, {257, 9}, {258, 9}, {256, 9}, {2, 9}, {'C', 9}, {'D', 9}, {257, 9},
        {259, 9}},
       0, "ABABBACDABCD"},
      {"code size grows", {{'A', 9}, {256, 9}, {1, 9}, {'B', 10}, {257, 10}}, 0, "ABAB"},
      {"empty input", {}, kMsgBadBlock, ""},
      {"first code is not a literal", {{300, 9}}, kMsgBadBlock, ""},
      {"unknown control code", {{'A', 9}, {256, 9}, {3, 9}}, kMsgBadBlock, "A"},
      {"code size beyond 13 bits",
       {{'A', 9}, {256, 9}, {1, 9}, {256, 10}, {1, 10}, {256, 11}, {1, 11}, {256, 12}, {1, 12},
        {256, 13}, {1, 13}},
       kMsgBadBlock, "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TBitWriter w;
    for (auto [code, width] : c.Codes) w.Put(code, width);
    TDecoded d = Decode(1, w.Data);
    EXPECT_EQ(d.Result.Code, c.Code) << d.Result.Message;
    EXPECT_EQ(d.Text(), c.Out);
  }
}

// Follower sets all empty: every character is 8 plain bits.
TBitWriter NoFollowers() {
  TBitWriter w;
  for (int i = 0; i < 256; ++i) w.Put(0, 6);
  return w;
}

TEST(Unreduce, RunExpansionAndDistances) {
  struct {
    const char* Name;
    int Factor;
    std::vector<uint8_t> Chars;
    int64_t Size;
    int Code;
    std::string Out;
  } cases[] = {
      {"DLE 0 is a literal 144", 1, {'a', 144, 0, 'b'}, 3, 0, "a\x90" "b"},
      {"factor 4 reaches 4096 back: before the start reads 0", 4, {'x', 144, 0xF0, 255}, 4, 0,
       std::string("x\0\0\0", 4)},
      {"factor 1 copy, length 3", 1, {'a', 'b', 144, 0x00 | 1, 1}, 6, 0, "ababab"},
      {"long length: mask value adds the next byte", 4, {'z', 144, 0x0F, 2, 0}, 21, 0,
       std::string(21, 'z')},
      {"stops exactly at the declared size", 1, {'a', 144, 5, 0, 'q', 'q'}, 4, 0, "aaaa"},
      {"input ends early", 2, {'a', 'b'}, 5, kMsgUnexpectedEnd, "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TBitWriter w = NoFollowers();
    for (uint8_t ch : c.Chars) w.Put(ch, 8);
    TDecoded d = Decode(1 + c.Factor, w.Data, c.Size);
    EXPECT_EQ(d.Result.Code, c.Code) << d.Result.Message;
    EXPECT_EQ(d.Text(), c.Out);
  }
}

TEST(Unreduce, FollowerSets) {
  // Set of 'a' (the last set read before set 0... read order is 255 down to 0) = {'b', 'c'}.
  TBitWriter w;
  for (int set = 255; set >= 0; --set) {
    if (set == 'a') {
      w.Put(2, 6).Put('b', 8).Put('c', 8);
    } else {
      w.Put(0, 6);
    }
  }
  w.Put('a', 8);          // last = 0: plain
  w.Put(0, 1).Put(1, 1);  // follower 1 of 'a' = 'c'
  w.Put('a', 8);          // 'c' has no set: plain
  w.Put(1, 1).Put('z', 8);  // 'a' set, flag 1: plain 'z'
  TDecoded d = Decode(2, w.Data, 4);
  EXPECT_EQ(d.Result.Code, 0);
  EXPECT_EQ(d.Text(), "acaz");

  TBitWriter bad;
  bad.Put(33, 6);  // more than 32 followers
  EXPECT_EQ(Decode(2, bad.Data, 10).Result.Code, kMsgCorruptInput);
}

std::vector<uint8_t> EntryData(const std::string& zip, int index, uint16_t* flag,
                               int64_t* size) {
  std::ifstream f(std::string(QUIL_FIXTURES) + "/" + zip, std::ios::binary);
  std::vector<uint8_t> z((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  size_t p = 0;
  for (int i = 0;; ++i) {
    auto u16 = [&](size_t o) { return static_cast<uint32_t>(z[p + o] | (z[p + o + 1] << 8)); };
    auto u32 = [&](size_t o) { return u16(o) | (u16(o + 2) << 16); };
    const size_t data = p + 30 + u16(26) + u16(28);
    if (i == index) {
      *flag = static_cast<uint16_t>(u16(6));
      *size = u32(22);
      return {z.begin() + data, z.begin() + data + u32(18)};
    }
    p = data + u32(18);
  }
}

TEST(Explode, FlagBitsSelectDictionaryAndTrees) {
  // The same data decoded with the other flag bits fails or differs.
  for (const char* zip : {"zip-legacy/implode-4k-2trees.zip", "zip-legacy/implode-8k-3trees.zip"}) {
    SCOPED_TRACE(zip);
    uint16_t flag;
    int64_t size;
    const auto data = EntryData(zip, 0, &flag, &size);
    TDecoded good = Decode(6, data, size, flag);
    EXPECT_EQ(good.Result.Code, 0);
    EXPECT_EQ(good.Out.size(), static_cast<size_t>(size));
    TDecoded other = Decode(6, data, size, flag ^ 6);
    EXPECT_TRUE(other.Result.Code != 0 || other.Out != good.Out);
  }
}

TEST(Explode, DamagedTreesAndData) {
  uint16_t flag;
  int64_t size;
  const auto data = EntryData("zip-legacy/implode-8k-3trees.zip", 0, &flag, &size);
  // A complete literal tree: 256 values of 8 bits (16 bytes of "length 8, 16 times").
  auto tree = [](std::vector<uint8_t> tail) {
    std::vector<uint8_t> v(17, 0xF7);
    v[0] = 0x0F;
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
  };
  struct {
    const char* Name;
    std::vector<uint8_t> Data;
    int Code;
  } cases[] = {
      {"literal tree declares more than 256 values", std::vector<uint8_t>(18, 0xFF),
       kMsgAmbiguousTree},
      // Length and distance trees of a single 1-bit code; then a match whose length code
      // takes the missing half.
      {"incomplete tree, used where it has no code",
       tree({0x00, 0x00, 0x00, 0x00, 0x00, 0x02}), kMsgAmbiguousTree},
      {"three codes of 1 bit: over-subscribed", tree({0x01, 0x10, 0x00}), kMsgAmbiguousTree},
      {"truncated", {data.begin(), data.begin() + static_cast<long>(data.size() / 2)},
       kMsgUnexpectedEnd},
      {"empty", {}, kMsgUnexpectedEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TDecoded d = Decode(6, c.Data, size, flag);
    EXPECT_EQ(d.Result.Code, c.Code) << d.Result.Message;
    EXPECT_LE(d.Out.size(), static_cast<size_t>(size));
  }
}

TEST(LegacyDecoders, OutputNeverExceedsTheDeclaredSize) {
  struct { const char* Zip; uint32_t Method; int Code; } cases[] = {
      {"zip-legacy/shrink.zip", 1, kMsgOutputTooLong},  // runs to the end of its input
      {"zip-legacy/reduce3.zip", 4, 0},                // stop at the declared size
      {"zip-legacy/implode-4k-2trees.zip", 6, 0},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.Zip);
    uint16_t flag;
    int64_t size;
    const auto data = EntryData(c.Zip, 0, &flag, &size);
    TDecoded full = Decode(c.Method, data, size, flag);
    ASSERT_EQ(full.Result.Code, 0);
    TDecoded cut = Decode(c.Method, data, size - 100, flag);
    EXPECT_EQ(cut.Result.Code, c.Code);
    EXPECT_EQ(cut.Out.size(), static_cast<size_t>(size - 100));
    EXPECT_TRUE(std::equal(cut.Out.begin(), cut.Out.end(), full.Out.begin()));
  }
}

}  // namespace
