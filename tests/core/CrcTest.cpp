#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/core/Crc.h"

using namespace quil;

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(gen());
  return v;
}

// zlib works on finished values: its crc32(c, ...) is the complement of our raw register update
// started from ~c.
uint32_t ZlibRaw(uint32_t reg, const uint8_t* p, size_t n) {
  return ~static_cast<uint32_t>(crc32(~reg, p, static_cast<uInt>(n)));
}

}  // namespace

TEST(Crc, CheckValues) {
  struct { const char* text; uint32_t crc32; uint16_t crc16; } cases[] = {
      {"", 0x00000000, 0x0000},
      {"123456789", 0xCBF43926, 0xBB3D},
      {"a", 0xE8B7BE43, 0xE8C1},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339, 0xFCDF},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Crc32Of(c.text, std::strlen(c.text)), c.crc32) << c.text;
    EXPECT_EQ(Crc16Of(c.text, std::strlen(c.text)), c.crc16) << c.text;
  }
  const z_crc_t* zt = get_crc_table();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(Crc32Table[i], zt[i]) << i;
}

// Every code path against zlib on random data of every length up to a few wide steps, at every
// alignment, from a random start register: no path may differ from the byte-wise rule anywhere.
TEST(Crc, AllPathsAgreeWithZlib) {
  const auto data = RandomBytes(600 + 16, 1);
  std::mt19937 gen(7);
  for (size_t align = 0; align < 16; ++align) {
    for (size_t len = 0; len <= 600; ++len) {
      const uint8_t* p = data.data() + align;
      const uint32_t start = gen();
      const uint32_t want = ZlibRaw(start, p, len);
      ASSERT_EQ(crc_impl::Bytewise(start, p, len), want) << align << "/" << len;
      ASSERT_EQ(crc_impl::Slice8(start, p, len), want) << align << "/" << len;
      if (crc_impl::FoldedAvailable()) {
        ASSERT_EQ(crc_impl::Folded(start, p, len), want) << align << "/" << len;
      }
      if (crc_impl::WideFoldedAvailable()) {
        ASSERT_EQ(crc_impl::WideFolded(start, p, len), want) << align << "/" << len;
      }
      uint32_t reg = start;
      CrcUpdate32(p, len, reg);
      ASSERT_EQ(reg, want) << align << "/" << len;
    }
  }
}

// A long buffer fed in uneven pieces gives the same register as in one piece and as zlib.
TEST(Crc, LongBufferInPieces) {
  const auto data = RandomBytes((1 << 20) + 13, 2);
  const uint8_t* p = data.data() + 3;
  const size_t n = data.size() - 3;
  const uint32_t want = ZlibRaw(0xFFFFFFFF, p, n);
  uint32_t whole = 0xFFFFFFFF;
  CrcUpdate32(p, n, whole);
  EXPECT_EQ(whole, want);
  uint32_t pieces = 0xFFFFFFFF;
  size_t at = 0;
  for (size_t step = 1; at < n; step = step * 3 + 1) {
    size_t len = std::min(step, n - at);
    CrcUpdate32(p + at, len, pieces);
    at += len;
  }
  EXPECT_EQ(pieces, want);
}

TEST(Crc, RegisterKinds) {
  const char text[] = "123456789";
  TCrcRegister r;
  r.Start(CrcKind32, 0xFFFFFFFF);
  r.Update(text, 4);
  r.Update(CrcKind32, text + 4, 5);
  EXPECT_EQ(~r.Value, 0xCBF43926u);

  r.Start(CrcKind16, 0);
  r.Update(text, 9);
  EXPECT_EQ(r.Value, 0xBB3Du);  // stays within 16 bits

  for (int32_t kind : {0, 8, 17, 31, 33, -32}) {
    r.Start(kind, 0x1234);
    r.Update(text, 9);
    EXPECT_EQ(r.Value, 0x1234u) << kind;
  }
}

// CRC-16/ARC of a stored entry in an archive made by ARC 5.21 equals the CRC in its header
// (and in the independent listing): RANDBIN.DAT, 2000 bytes, CRC 0x9910.
TEST(Crc, Crc16MatchesStoredArcEntry) {
  std::ifstream in(std::string(QUIL_FIXTURES) + "/arc/methods.arc", std::ios::binary);
  ASSERT_TRUE(in);
  std::vector<uint8_t> arc((std::istreambuf_iterator<char>(in)), {});
  bool found = false;
  // ARC header: 0x1A, method, name[13], packed size (4), date (2), time (2), CRC (2), size (4).
  for (size_t pos = 0; pos + 29 <= arc.size() && arc[pos] == 0x1A && arc[pos + 1] != 0;) {
    const uint8_t* h = arc.data() + pos;
    auto u32 = [&](int off) {
      return uint32_t(h[off]) | uint32_t(h[off + 1]) << 8 | uint32_t(h[off + 2]) << 16 |
             uint32_t(h[off + 3]) << 24;
    };
    uint32_t packed = u32(15), size = u32(25);
    uint16_t stored = static_cast<uint16_t>(h[23] | h[24] << 8);
    ASSERT_LE(pos + 29 + packed, arc.size());
    if (std::strncmp(reinterpret_cast<const char*>(h + 2), "RANDBIN.DAT", 13) == 0) {
      ASSERT_EQ(h[1], 2);  // stored
      ASSERT_EQ(packed, size);
      EXPECT_EQ(stored, 0x9910);
      EXPECT_EQ(Crc16Of(h + 29, size), stored);
      found = true;
    }
    pos += 29 + packed;
  }
  EXPECT_TRUE(found);
}
