// Every ZIP, JAR and self-extracting ZIP fixture lists exactly the entries its expect file names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "list/ListHarness.h"
#include "support/ExpectFile.h"

using namespace quil;
using namespace quil::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> ZipFixtures() {
  std::vector<std::string> out;
  const std::string root = QUIL_FIXTURES;
  for (const char* dir : {"zip", "zip-legacy", "zip-encrypted", "zip-span"})
    for (const auto& e : fs::directory_iterator(root + "/" + dir)) {
      std::string p = e.path().string();
      if (fs::exists(p + ".expect.tsv")) out.push_back(p);
    }
  out.push_back(root + "/sfx/zip-sfx-adjusted.exe");
  for (const auto& e : fs::directory_iterator(root + "/bad")) {
    std::string n = e.path().filename().string();
    if (n.rfind("zip-", 0) == 0 && fs::exists(e.path().string() + ".expect.tsv"))
      out.push_back(e.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The cut-off archive has no directory at all; it is covered by its own test below.
bool Truncated(const std::string& p) { return p.find("zip-truncated") != std::string::npos; }

}  // namespace

TEST(ZipFixtures, ListExactlyTheExpectedEntries) {
  auto fixtures = ZipFixtures();
  ASSERT_GE(fixtures.size(), 20u);
  for (const std::string& path : fixtures) {
    if (Truncated(path)) continue;
    SCOPED_TRACE(path);
    bool ok = false;
    auto expect = ReadExpectFile(path + ".expect.tsv", &ok);
    ASSERT_TRUE(ok);
    TListRun r = ListArchive(path);
    EXPECT_TRUE(r.Ok);
    EXPECT_TRUE(r.Errors.empty());
    ASSERT_EQ(r.Entries.size(), expect.size());
    int files = 0;
    for (size_t i = 0; i < expect.size(); ++i) {
      std::string name = expect[i].Name;
      std::replace(name.begin(), name.end(), '\\', '/');  // stored names use '/' throughout
      EXPECT_EQ(r.Entries[i].Name, name);
      EXPECT_EQ(static_cast<uint64_t>(r.Entries[i].Size), expect[i].Size) << name;
      EXPECT_EQ(r.Entries[i].Crc, expect[i].Crc) << name;
      EXPECT_EQ(std::to_string(r.Entries[i].Method), expect[i].Method) << name;
      if (!expect[i].IsDir()) ++files;
      EXPECT_EQ(r.Entries[i].Filenum, files) << name;
    }
    EXPECT_EQ(r.Totals, files);
  }
}

TEST(ZipFixtures, CutOffArchiveListsFromLocalHeadersOnlyWhenAccepted) {
  const std::string path = std::string(QUIL_FIXTURES) + "/bad/zip-truncated.zip";
  // The handler sees the incomplete structure and, leaving Cancel set, refuses the listing.
  int asked = 0;
  uint8_t flag = 0;
  TListRun refused = ListArchive(path, [&](TZuvOD& z) {
    z.OnCorruptZipHeader = [&](TArcMain*, uint8_t f, bool&) { ++asked, flag = f; };
  });
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(flag, 0x10);
  EXPECT_TRUE(refused.Entries.empty());  // as the oracle: nothing from a missing directory
  EXPECT_TRUE(refused.Deactivated);
  // Accepting lists the complete local entries: the leading ones of the archive it was cut from.
  TListRun accepted = ListArchive(path, [](TZuvOD& z) {
    z.OnCorruptZipHeader = [](TArcMain*, uint8_t, bool& cancel) { cancel = false; };
  });
  auto whole = ReadExpectFile(std::string(QUIL_FIXTURES) + "/zip/deflate-l6-comments.zip.expect.tsv");
  ASSERT_GE(accepted.Entries.size(), 2u);
  ASSERT_LT(accepted.Entries.size(), whole.size());
  for (size_t i = 0; i < accepted.Entries.size(); ++i) {
    EXPECT_EQ(accepted.Entries[i].Name, whole[i].Name);
    EXPECT_EQ(accepted.Entries[i].Crc, whole[i].Crc);
    EXPECT_EQ(accepted.Entries[i].Offset >= 0, true);
  }
}

TEST(ZipFixtures, DirectoriesAreCountedOnlyAsFiles) {
  const std::string path = std::string(QUIL_FIXTURES) + "/zip/stored-dirs.zip";
  TListRun hidden = ListArchive(path, [](TZuvOD&) {});
  ASSERT_EQ(hidden.Entries.size(), 5u);
  for (const auto& e : hidden.Entries) EXPECT_NE(e.Name.back(), '/');
  EXPECT_EQ(hidden.Totals, 5);
  // Shown, a folder carries the number of files reported before it, and the count stays 5.
  TListRun shown = ListArchive(path);
  ASSERT_EQ(shown.Entries.size(), 7u);
  EXPECT_EQ(shown.Entries[3].Name, "sub/");
  EXPECT_EQ(shown.Entries[3].Filenum, 3);
  EXPECT_EQ(shown.Totals, 5);
}

TEST(ZipFixtures, EntryCommentsAreReadAndTheWalkContinues) {
  TListRun r = ListArchive(std::string(QUIL_FIXTURES) + "/zip/deflate-l6-comments.zip");
  int withComment = 0;
  for (const auto& e : r.Entries) withComment += !e.Comment.empty();
  EXPECT_EQ(withComment, 2);
  EXPECT_EQ(r.Entries.size(), 6u);
  EXPECT_TRUE(r.Errors.empty());
}
