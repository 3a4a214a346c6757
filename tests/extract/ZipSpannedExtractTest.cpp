// Sets spanned over removable disks: the disks are asked for in order and an encrypted deflated
// entry that runs from one disk onto the next decodes and passes its check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExtractHarness.h"
#include "support/FakeVolume.h"
#include "support/TempDir.h"

namespace quil::test {
namespace {

uint32_t Get32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8) |
         (static_cast<uint8_t>(s[at + 2]) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}
size_t Get16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

TEST(ZipSpanned, EncryptedEntryAcrossTwoRemovableDisks) {
  // pw-three.zip behind the spanning marker, cut inside the data of its last entry; the central
  // directory and the end record go to the second disk.
  std::string zip = ReadWhole(std::string(QUIL_EXTRACT_DATA) + "/pw-three.zip");
  ASSERT_GT(zip.size(), 22u);
  const size_t endAt = zip.size() - 22;
  ASSERT_EQ(Get32(zip, endAt), 0x06054B50u);
  const uint32_t cdOffset = Get32(zip, endAt + 16);
  std::string whole = std::string("PK\x07\x08", 4) + zip;
  // Every local-header offset moves by the marker's 4 bytes.
  size_t lastData = 0, lastPacked = 0;
  for (size_t p = 4 + cdOffset; p + 46 <= 4 + endAt;) {
    ASSERT_EQ(Get32(whole, p), 0x02014B50u);
    const size_t local = 4 + Get32(whole, p + 42);
    lastData = local + 30 + Get16(whole, local + 26) + Get16(whole, local + 28);
    lastPacked = Get32(whole, p + 20);
    Put32(whole, p + 42, Get32(whole, p + 42) + 4);
    p += 46 + Get16(whole, p + 28) + Get16(whole, p + 30) + Get16(whole, p + 32);
  }
  ASSERT_GT(lastPacked, 20u);
  const size_t cut = lastData + lastPacked / 2;  // inside three.txt's data
  std::string disk1 = whole.substr(0, cut), disk2 = whole.substr(cut);
  const size_t end2 = disk2.size() - 22;
  Put16(disk2, end2 + 4, 1);                     // this disk
  Put16(disk2, end2 + 6, 1);                     // the directory's disk
  Put32(disk2, end2 + 16, 4 + cdOffset - cut);   // the directory's offset on it

  TTempDir dir;
  TwoDiskDrive drive(dir.Path(), disk1, disk2);
  drive.Insert(2);  // the user starts with the last disk in the drive
  std::vector<std::string> asked;
  TUnZIP z;
  z.OnGetZipLastDisk = [&](TArcMain*, bool& cancel) {
    asked.push_back("last");
    drive.Insert(2);
    cancel = false;
  };
  z.OnGetZipNextDisk = [&](TArcMain*, const std::string& n, bool& cancel) {
    asked.push_back(n);
    drive.Insert(std::stoi(n));
    cancel = false;
  };
  TExtractLog log = RunUnZip(z, drive.Path(), "", "alpha");
  EXPECT_EQ(z.ArcType(), atZipMV);
  EXPECT_EQ(asked, (std::vector<std::string>{"1", "2"}));
  ASSERT_EQ(log.Ends.size(), 3u);
  EXPECT_EQ(log.Passed(), 3);
  EXPECT_TRUE(log.Errors.empty());
}

}  // namespace
}  // namespace quil::test
