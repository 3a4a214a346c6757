// The extractor's rules around passwords, unsupported methods, file specs and cancelling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExtractHarness.h"
#include "engine/extract/ZipCrypto.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

namespace quil::test {
namespace {

std::string Data(const std::string& name) { return std::string(QUIL_EXTRACT_DATA) + "/" + name; }

// pw-three.zip: three deflated entries under the password "alpha".
TEST(ZipPasswords, FirstMatchingStringOfPasswordsOpensEveryEntry) {
  TUnZIP z;
  z.Passwords() = {"beta", "alpha", "gamma"};
  TExtractLog log = RunUnZip(z, Data("pw-three.zip"), "");
  EXPECT_EQ(log.Passed(), 3);
  EXPECT_TRUE(log.Errors.empty());
  EXPECT_EQ(z.CurrentPassword(), "alpha");
}

TEST(ZipPasswords, TypedPasswordGoesToTheFrontAndIsNotAskedAgain) {
  TUnZIP z;
  z.Passwords() = {"beta"};
  int asked = 0;
  TExtractLog log;
  Record(z, log);
  z.OnGetPassword = [&](TArcMain*, const std::string&, std::string& pw, bool&) {
    ++asked;
    log.Events.push_back("password");
    pw = "alpha";
  };
  RunUnZip(z, Data("pw-three.zip"), "");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(log.Passed(), 3);
  EXPECT_EQ(z.Passwords(), (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(log.Events, (std::vector<std::string>{"begin", "password", "end", "begin", "end",
                                                  "begin", "end"}));
}

TEST(ZipPasswords, ThreeWrongAnswersEndTheRun) {
  TUnZIP z;
  TExtractLog log;
  Record(z, log);
  int asked = 0;
  z.OnGetPassword = [&](TArcMain*, const std::string&, std::string& pw, bool&) {
    ++asked;
    pw = "wrong" + std::to_string(asked);
  };
  RunUnZip(z, Data("pw-three.zip"), "");
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(log.Errors, (std::vector<int32_t>{26517, 26517, 26517, 26522}));
  ASSERT_EQ(log.Ends.size(), 1u);  // the later entries are not tried
  EXPECT_FALSE(log.Ends[0].Pass);
  EXPECT_EQ(z.FileCount(), 1);
}

TEST(ZipPasswords, WithoutAHandlerLockedEntriesFailQuietlyAndTheRunGoesOn) {
  TUnZIP z;
  TExtractLog log = RunUnZip(z, Data("pw-three.zip"), "");
  ASSERT_EQ(log.Ends.size(), 3u);
  EXPECT_EQ(log.Passed(), 0);
  EXPECT_TRUE(log.Errors.empty());
}

// pw-stored-dd.zip: one stored encrypted entry written with a data descriptor (flag bit 3), so its
// check byte is the high byte of the DOS time, not of the CRC.
TEST(ZipPasswords, StoredEntryWithDataDescriptorIsDecryptedOnTheWayOut) {
  const std::string zip = ReadWhole(Data("pw-stored-dd.zip"));
  ASSERT_GT(zip.size(), 30u + 1 + 12);
  const auto* h = reinterpret_cast<const uint8_t*>(zip.data());
  const uint16_t flag = static_cast<uint16_t>(h[6] | (h[7] << 8));
  const uint16_t time = static_cast<uint16_t>(h[10] | (h[11] << 8));
  ASSERT_EQ(flag & 0x09, 0x09);
  const uint8_t* header = h + 30 + (h[26] | (h[27] << 8)) + (h[28] | (h[29] << 8));
  const uint32_t crc = 0xfe67d742u;  // from unzip -lv
  TZipCrypto keys;
  EXPECT_TRUE(CheckZipPassword(header, flag, "alpha", time, crc, keys));
  EXPECT_FALSE(CheckZipPassword(header, flag & ~0x08, "alpha", time, crc, keys));
  EXPECT_FALSE(CheckZipPassword(header, flag, "", time, crc, keys));

  TTempDir dir;
  TUnZIP z;
  TExtractLog log = RunUnZip(z, Data("pw-stored-dd.zip"), dir.Path(), "alpha");
  ASSERT_EQ(log.Ends.size(), 1u);
  EXPECT_TRUE(log.Ends[0].Pass);
  std::string want;
  for (int i = 0; i < 40; ++i) want += "stored secret bytes\n";
  EXPECT_EQ(ReadWhole(dir / "-"), want);
}

// d64.zip: one.txt in Deflate64 (method 9), two.txt deflated.
TEST(ZipMethods, UnsupportedMethodFailsOnlyItsEntry) {
  TUnZIP z;
  std::vector<std::string> details;
  TExtractLog log;
  Record(z, log);
  auto record = z.OnError;
  z.OnError = [&](TArcMain* s, const std::string& fn, const std::string& extra,
                  const std::string& vol, int32_t code) {
    details.push_back(extra);
    record(s, fn, extra, vol, code);
  };
  RunUnZip(z, Data("d64.zip"), "");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"begin", "error 25301", "end", "begin", "end"}));
  ASSERT_EQ(log.Ends.size(), 2u);
  EXPECT_FALSE(log.Ends[0].Pass);
  EXPECT_TRUE(log.Ends[1].Pass);
  EXPECT_EQ(details, (std::vector<std::string>{"Deflate64 (9)"}));
}

TEST(ZipFileSpec, OnePlainNameStopsAtTheFirstMatchAWildcardScansAll) {
  TTempDir dir;
  const std::string zip =
      dir.Write("two.zip", BuildZip({{"a/x.txt", "first"}, {"b/x.txt", "second"}, {"c.txt", "c"}}));
  struct {
    const char* Spec;
    size_t Records;
  } cases[] = {{"x.txt", 1}, {"*.txt", 3}, {"x.*", 2}};
  for (const auto& c : cases) {
    TUnZIP z;
    z.SetArchiveFile(zip);
    z.SetFileSpec({c.Spec});
    z.ExtractForTest();
    EXPECT_EQ(z.Records().size(), c.Records) << c.Spec;
  }
}

TEST(ZipFolders, FolderEntriesAreMadeButNotCounted) {
  TTempDir dir;
  TZipEntrySpec folder("empty/", "");
  folder.ExternalAttr = 0x10;
  const std::string zip = dir.Write("d.zip", BuildZip({folder, {"f.txt", "data"}}));
  TUnZIP z;
  TExtractLog log = RunUnZip(z, zip, dir / "out");
  EXPECT_EQ(z.FileCount(), 1);
  EXPECT_EQ(z.TotalUnpackedSize(), 4);
  EXPECT_EQ(log.Ends.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "out/empty"));
}

// A ZIP64 field that declares 2^61 bytes for a 5-byte stored entry: the totals and progress
// steps must not overflow, and both entries fail.
TEST(ZipSizes, HugeDeclaredZip64SizesFailTheEntryCleanly) {
  TTempDir dir;
  std::string extra;
  PutLe(extra, 0x0001, 2);
  PutLe(extra, 16, 2);
  PutLe(extra, uint64_t{1} << 61, 8);
  PutLe(extra, uint64_t{1} << 61, 8);
  TZipEntrySpec e("big.bin", "hello");
  e.Extra = extra;
  std::string zip = BuildZip({e, e});
  for (size_t at = zip.find("PK\x01\x02"); at != std::string::npos;
       at = zip.find("PK\x01\x02", at + 4))
    zip.replace(at + 20, 8, std::string(8, '\xFF'));
  TUnZIP z;
  TExtractLog log = RunUnZip(z, dir.Write("big.zip", zip), "");
  ASSERT_EQ(log.Ends.size(), 2u);
  EXPECT_EQ(log.Passed(), 0);
  EXPECT_EQ(z.TotalUnpackedSize(), int64_t{1} << 62);
}

TEST(ZipCancel, CancelInTheMiddleOfAnEntryEndsItAndTheRun) {
  TUnZIP z;
  TExtractLog log;
  Record(z, log);
  int begun = 0;
  z.OnBegin = [&](TArcMain*, const std::string&, int32_t, bool&) { ++begun; };
  z.OnProgress = [&](TArcMain*, uint8_t byFile, uint8_t) {
    if (begun == 1 && byFile > 0 && byFile < 100) z.SetCancel(true);
  };
  z.SetProgressNotify(Five);
  RunUnZip(z, std::string(QUIL_FIXTURES) + "/zip/large-2mb.zip", "");
  EXPECT_EQ(begun, 1);
  ASSERT_EQ(log.Ends.size(), 1u);
  EXPECT_FALSE(log.Ends[0].Pass);
  EXPECT_TRUE(log.Errors.empty());  // no messages while cancelling
}

}  // namespace
}  // namespace quil::test
