// Decodes every entry of the ZIP fixtures made by other tools and compares size and CRC-32 with
// the independent listing beside each archive.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/decode/ExpandZipData.h"

using namespace quil;

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

uint32_t U16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t U32(const uint8_t* p) { return U16(p) | (U16(p + 2) << 16); }
uint64_t U64(const uint8_t* p) { return U32(p) | (uint64_t{U32(p + 4)} << 32); }

struct TZipItem {
  std::string Name;
  uint16_t Flag;
  uint32_t Method;
  uint64_t Packed, Unpacked;
  uint32_t Crc;
  size_t DataOffset;
};

// A tiny central-directory walker: finds the end record, then each central header's local header
// and the start of its data. Zip64 sizes come from the 0x0001 extra field.
std::vector<TZipItem> WalkZip(const std::vector<uint8_t>& z) {
  std::vector<TZipItem> items;
  size_t eocd = std::string::npos;
  for (size_t i = z.size() >= 22 ? z.size() - 22 : 0; i + 1 > 0 && i + 22 <= z.size(); --i) {
    if (U32(&z[i]) == 0x06054b50) { eocd = i; break; }
    if (i == 0) break;
  }
  if (eocd == std::string::npos) return items;
  size_t count = U16(&z[eocd + 10]);
  size_t p = U32(&z[eocd + 16]);
  for (size_t n = 0; n < count && p + 46 <= z.size() && U32(&z[p]) == 0x02014b50; ++n) {
    TZipItem it;
    it.Flag = static_cast<uint16_t>(U16(&z[p + 8]));
    it.Method = U16(&z[p + 10]);
    it.Crc = U32(&z[p + 16]);
    it.Packed = U32(&z[p + 20]);
    it.Unpacked = U32(&z[p + 24]);
    size_t nameLen = U16(&z[p + 28]), extraLen = U16(&z[p + 30]), cmtLen = U16(&z[p + 32]);
    size_t local = U32(&z[p + 42]);
    it.Name.assign(reinterpret_cast<const char*>(&z[p + 46]), nameLen);
    for (size_t e = p + 46 + nameLen; e + 4 <= p + 46 + nameLen + extraLen;) {
      size_t id = U16(&z[e]), len = U16(&z[e + 2]);
      if (id == 1) {
        size_t q = e + 4;
        if (it.Unpacked == 0xFFFFFFFF) { it.Unpacked = U64(&z[q]); q += 8; }
        if (it.Packed == 0xFFFFFFFF) it.Packed = U64(&z[q]);
      }
      e += 4 + len;
    }
    it.DataOffset = local + 30 + U16(&z[local + 26]) + U16(&z[local + 28]);
    items.push_back(it);
    p += 46 + nameLen + extraLen + cmtLen;
  }
  return items;
}

class TCrcSink : public TDecodeSink {
 public:
  bool Write(const uint8_t* d, size_t n) override {
    Crc = crc32(Crc, d, static_cast<uInt>(n));
    Size += n;
    return true;
  }
  uLong Crc = crc32(0, nullptr, 0);
  uint64_t Size = 0;
};

class ZipFixture : public testing::TestWithParam<const char*> {};

TEST_P(ZipFixture, EveryEntryMatchesTheListing) {
  const std::string path = std::string(QUIL_FIXTURES) + "/" + GetParam();
  const std::vector<uint8_t> zip = ReadAll(path);
  ASSERT_FALSE(zip.empty()) << path;
  std::ifstream expect(path + ".expect.tsv");
  std::vector<TZipItem> items = WalkZip(zip);
  size_t row = 0;
  for (std::string line; std::getline(expect, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream cols(line);
    std::string name, size, crc, method;
    std::getline(cols, name, '\t');
    std::getline(cols, size, '\t');
    std::getline(cols, crc, '\t');
    std::getline(cols, method, '\t');
    ASSERT_LT(row, items.size());
    const TZipItem& it = items[row++];
    SCOPED_TRACE(name);
    EXPECT_EQ(it.Method, std::stoul(method));
    if (name.back() == '/') continue;
    ASSERT_LE(it.DataOffset + it.Packed, zip.size());
    TMemorySource src(zip.data() + it.DataOffset, it.Packed);
    TCrcSink sink;
    TExpandResult r = ExpandZipData({it.Flag, it.Method, static_cast<int64_t>(it.Packed),
                                     static_cast<int64_t>(it.Unpacked)}, src, sink);
    EXPECT_EQ(r.Code, 0) << r.Message;
    EXPECT_EQ(sink.Size, std::stoull(size));
    EXPECT_EQ(sink.Crc, std::stoul(crc, nullptr, 16));
  }
  EXPECT_EQ(row, items.size());
}

INSTANTIATE_TEST_SUITE_P(
    Legacy, ZipFixture,
    testing::Values("zip-legacy/shrink.zip", "zip-legacy/sc_Zip.shrink.zip",
                    "zip-legacy/reduce1.zip", "zip-legacy/reduce3.zip", "zip-legacy/reduce4.zip",
                    "zip-legacy/implode-4k-2trees.zip", "zip-legacy/implode-8k-3trees.zip",
                    "zip-legacy/sc_Zip.implode.zip"));
INSTANTIATE_TEST_SUITE_P(
    Deflate, ZipFixture,
    testing::Values("zip/datadesc-stream.zip", "zip/deflate-l1-nodirs.zip",
                    "zip/deflate-l6-comments.zip", "zip/empty-archive.zip", "zip/hello.jar",
                    "zip/la_zip_comment_stored_1.zip", "zip/la_zip_zip64a.zip",
                    "zip/large-2mb.zip", "zip/stored-dirs.zip"));

}  // namespace
