// Every ZIP-family fixture extracts to the content the independent tools found (sha256 from the
// expect files), and tests clean; the damaged ones fail the right entry with the right message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ExtractHarness.h"
#include "support/ExpectFile.h"
#include "support/Sha256.h"
#include "support/TempDir.h"

namespace quil::test {
namespace {

namespace fs = std::filesystem;

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

std::string PasswordOf(const std::string& archive) {
  std::ifstream in(archive + ".password");
  std::string pw;
  std::getline(in, pw);
  return pw;
}

class ZipFixtureExtract : public testing::TestWithParam<const char*> {};

TEST_P(ZipFixtureExtract, ContentMatchesExpectFile) {
  const std::string archive = Fixture(GetParam());
  bool ok = false;
  const auto expect = ReadExpectFile(archive + ".expect.tsv", &ok);
  ASSERT_TRUE(ok);
  TTempDir dir;
  TUnZIP z;
  TExtractLog log = RunUnZip(z, archive, dir.Path(), PasswordOf(archive));
  EXPECT_FALSE(log.Threw);
  EXPECT_TRUE(log.Errors.empty());
  int files = 0;
  for (const auto& e : expect) {
    if (e.IsDir()) {
      EXPECT_TRUE(fs::is_directory(dir / e.Name)) << e.Name;
      continue;
    }
    ++files;
    EXPECT_EQ(Sha256Hex(ReadWhole(dir / e.Name)), e.Sha256) << e.Name;
  }
  EXPECT_EQ(log.Passed(), files);
  EXPECT_EQ(static_cast<int>(log.Ends.size()), files);
  EXPECT_EQ(z.FileCount(), files);  // folders are not counted

  TUnZIP t;
  TExtractLog tested = RunUnZip(t, archive, "", PasswordOf(archive));
  EXPECT_EQ(tested.Passed(), files);
  EXPECT_TRUE(tested.Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    All, ZipFixtureExtract,
    testing::Values("zip/datadesc-stream.zip", "zip/deflate-l1-nodirs.zip",
                    "zip/deflate-l6-comments.zip", "zip/empty-archive.zip", "zip/hello.jar",
                    "zip/la_zip_comment_stored_1.zip", "zip/la_zip_zip64a.zip",
                    "zip/large-2mb.zip", "zip/stored-dirs.zip",
                    "zip-legacy/implode-4k-2trees.zip", "zip-legacy/implode-8k-3trees.zip",
                    "zip-legacy/reduce1.zip", "zip-legacy/reduce3.zip", "zip-legacy/reduce4.zip",
                    "zip-legacy/sc_Zip.implode.zip", "zip-legacy/sc_Zip.shrink.zip",
                    "zip-legacy/shrink.zip", "zip-encrypted/zipcrypto-all.zip",
                    "zip-encrypted/zipcrypto-mixed.zip", "zip-span/span.zip",
                    "sfx/zip-sfx-adjusted.exe"));

// 20 MiB of zeros packed 1000:1 streams through in test mode; nothing is held in memory.
TEST(ZipRatio, HighlyPackedEntryTestsClean) {
  TUnZIP z;
  TExtractLog log = RunUnZip(z, Fixture("bad/zip-ratio-1000.zip"), "");
  ASSERT_EQ(log.Ends.size(), 1u);
  EXPECT_TRUE(log.Ends[0].Pass);
  EXPECT_EQ(z.TotalUnpackedSize(), 20971520);
}

struct TBadCase {
  const char* Archive;
  const char* FailingEntry;  // the one entry that fails ("" = the last one reached)
  int32_t Message;
  int Passed;
};

class ZipBadFixture : public testing::TestWithParam<TBadCase> {};

TEST_P(ZipBadFixture, FailsTheEntryWithItsMessage) {
  const TBadCase& c = GetParam();
  TUnZIP z;
  TExtractLog log = RunUnZip(z, Fixture(c.Archive), "");
  EXPECT_FALSE(log.Threw);
  EXPECT_EQ(log.Passed(), c.Passed);
  ASSERT_EQ(static_cast<int>(log.Ends.size()), c.Passed + 1);
  bool found = false;
  for (const auto& e : log.Ends)
    if (!e.Pass) {
      found = true;
      EXPECT_EQ(e.Name, c.FailingEntry);
    }
  EXPECT_TRUE(found);
  if (c.Message) {
    ASSERT_EQ(log.Errors.size(), 1u);
    EXPECT_EQ(log.Errors[0], c.Message);
  } else {
    EXPECT_TRUE(log.Errors.empty());  // a checksum failure is told by OnEnd
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, ZipBadFixture,
    testing::Values(TBadCase{"bad/zip-crc-error.zip", "readme.txt", 0, 1},
                    // Declared 4 GiB, 1620 bytes stored: the data is whole but not what was declared.
                    TBadCase{"bad/zip-bogus-size.zip", "sub/notes.txt", 25173, 0},
                    // No central directory: the local headers are walked up to the cut entry.
                    TBadCase{"bad/zip-truncated.zip", "data.bin", 0, 1}));

TEST(ZipTraversal, NothingIsWrittenOutsideTheFolder) {
  TTempDir root;
  const std::string out = root / "a/b/out";
  fs::create_directories(out);
  TUnZIP z;
  TExtractLog log = RunUnZip(z, Fixture("bad/zip-traversal.zip"), out);
  EXPECT_EQ(log.Passed(), 5);
  // Everything written is below out/.
  for (auto& e : fs::recursive_directory_iterator(root.Path())) {
    std::string p = e.path().string();
    if (e.is_regular_file()) {
      EXPECT_EQ(p.rfind(out + "/", 0), 0u) << p;
    }
  }
  EXPECT_FALSE(fs::exists("/tmp/quillet-absolute.txt"));
  EXPECT_EQ(ReadWhole(out + "/good.txt").size(), 9u);
  EXPECT_EQ(Sha256Hex(ReadWhole(out + "/tmp/quillet-absolute.txt")),
            "b8308994266f20529269e52ea4383bba44c7d83e3560575d53e39adee4668dbb");
}

}  // namespace
}  // namespace quil::test
