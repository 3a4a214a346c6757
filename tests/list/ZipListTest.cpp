// The lister's driver and the ZIP directory walk on archives built for one fault each.
#include <gtest/gtest.h>


#include "list/ListHarness.h"
#include "support/FakeVolume.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

using namespace quil;
using namespace quil::test;

namespace {

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

std::vector<TZipEntrySpec> ThreeFiles() {
  return {{"a.txt", "alpha"}, {"docs/b.doc", "bravo"}, {"docs/c.txt", "charlie"}};
}

}  // namespace

TEST(Lister, ActivateChecksReportInOrder) {
  TTempDir dir;
  std::string text = dir.Write("notes.txt", std::string(100, 'x'));
  std::string zip = dir.Write("a.zip", BuildZip(ThreeFiles()));
  struct Case {
    std::string path;
    bool withOnRead;
    int32_t code;
  } cases[] = {
      {dir / "missing.zip", true, 25172},
      {zip, false, 25270},
      {text, true, 25302},
      {dir.Write("tiny.zip", "PK"), true, 25172},  // too small to inspect: a file error
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    TListRun r = ListArchive(c.path, [&](TZuvOD& z) {
      if (!c.withOnRead) z.OnRead = nullptr;
    });
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Errors, std::vector<int32_t>{c.code});
    EXPECT_FALSE(r.Deactivated);  // nothing was opened
    EXPECT_TRUE(r.Entries.empty());
  }
}

TEST(Lister, FiltersFireOnReadFileForEveryEntry) {
  TTempDir dir;
  std::string zip = dir.Write("a.zip", BuildZip(ThreeFiles()));
  struct Case {
    std::vector<std::string> specs, excludes;
    std::vector<std::string> listed;
  } cases[] = {
      {{}, {}, {}},
      {{"*"}, {}, {"a.txt", "docs/b.doc", "docs/c.txt"}},
      {{"*.txt"}, {}, {"a.txt", "docs/c.txt"}},
      {{"docs/*.doc"}, {}, {"docs/b.doc"}},  // a pattern is matched on the name part
      {{"*"}, {"*.doc"}, {"a.txt", "docs/c.txt"}},
  };
  for (const auto& c : cases) {
    TListRun r = ListArchive(zip, [&](TZuvOD& z) { z.SetExcludeSpec(c.excludes); }, c.specs);
    std::vector<std::string> names;
    for (const auto& e : r.Entries) names.push_back(e.Name);
    EXPECT_EQ(names, c.listed);
    EXPECT_EQ(r.NamesRead.size(), 3u);
    EXPECT_EQ(r.Totals, static_cast<int32_t>(c.listed.size()));
    EXPECT_TRUE(r.Ok);
  }
}

TEST(Lister, CancelFromOnReadStopsAfterTheCurrentHeader) {
  TTempDir dir;
  std::string zip = dir.Write("a.zip", BuildZip(ThreeFiles()));
  TZuvOD* lister = nullptr;
  TListRun r = ListArchive(zip, [&](TZuvOD& z) {
    lister = &z;
    auto inner = z.OnRead;
    z.OnRead = [&, inner](TArcMain* s, int64_t o, int32_t n) {
      inner(s, o, n);
      lister->SetCancel(true);
    };
  });
  EXPECT_EQ(r.Entries.size(), 1u);
  EXPECT_EQ(r.Totals, 1);
  EXPECT_TRUE(r.Deactivated);
}

TEST(Lister, NamesOfAnyLengthAndBothEncodings) {
  TTempDir dir;
  std::string longName = std::string(300, 'd') + "/" + std::string(400, 'f') + ".txt";
  std::string zip = dir.Write("a.zip", BuildZip({
                                           {longName, "x"},
                                           {"caf\x82.txt", "y"},                 // CP437 e-acute
                                           {"caf\xc3\xa9.txt", "z", 0x0800},     // UTF-8 flag
                                           {"win\\path\\n.txt", "w"},
                                       }));
  TListRun r = ListArchive(zip);
  ASSERT_EQ(r.Entries.size(), 4u);
  EXPECT_EQ(r.Entries[0].Name, longName);
  EXPECT_EQ(r.Entries[1].Name, "caf\xc3\xa9.txt");
  EXPECT_EQ(r.Entries[2].Name, "caf\xc3\xa9.txt");
  EXPECT_EQ(r.Entries[3].Name, "win/path/n.txt");
}

TEST(Lister, LyingOrMissingHeadersEndTheWalkWithTheMessage) {
  TTempDir dir;
  std::string good = BuildZip(ThreeFiles());
  // The third central header claims a name running past the end of the file.
  std::string lying = good;
  size_t third = lying.rfind(std::string("PK\x01\x02", 4));
  lying[third + 28] = '\xff';
  lying[third + 29] = '\xff';
  TListRun r = ListArchive(dir.Write("lying.zip", lying));
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Errors, std::vector<int32_t>{25236});
  EXPECT_EQ(r.Entries.size(), 2u);  // what was read before stays listed
  EXPECT_TRUE(r.Deactivated);

  // A ZIP signature at the start but no header behind it: 25108, and the listing still succeeds.
  std::string bare = std::string("PK\x05\x06", 4) + std::string(60, '\0');
  TListRun b = ListArchive(dir.Write("bare.zip", bare));
  EXPECT_TRUE(b.Ok);
  EXPECT_EQ(b.Errors, std::vector<int32_t>{25108});
  EXPECT_TRUE(b.Entries.empty());
}

TEST(Lister, NumberedSplitSetNeedsThePartsItsDirectoryUses) {
  TTempDir dir;
  for (const char* p : {"span.z01", "span.z02", "span.zip"})
    dir.Write(p, ReadWhole(Fixture(std::string("zip-span/") + p)));
  // The directory lies wholly in the last part: the earlier parts are not needed to list.
  std::remove((dir / "span.z01").c_str());
  TListRun r = ListArchive(dir / "span.zip");
  EXPECT_TRUE(r.Ok);
  EXPECT_EQ(r.Entries.size(), 3u);

  // A set whose directory starts in the first part and continues in the last one.
  std::string whole = BuildZip(ThreeFiles());
  uint32_t cd = static_cast<uint8_t>(whole[whole.size() - 6]) |
                (static_cast<uint8_t>(whole[whole.size() - 5]) << 8);
  size_t cut = cd + 50;  // inside the first central header's name
  std::string last = whole.substr(cut);
  last[last.size() - 18] = 1;  // this disk: 1; directory starts on disk 0
  dir.Write("set.z01", whole.substr(0, cut));
  std::string lastPath = dir.Write("set.zip", last);
  TListRun s = ListArchive(lastPath);
  EXPECT_TRUE(s.Ok);
  ASSERT_EQ(s.Entries.size(), 3u);
  EXPECT_EQ(s.Entries[2].Name, "docs/c.txt");

  std::remove((dir / "set.z01").c_str());
  TListRun m = ListArchive(lastPath);
  EXPECT_FALSE(m.Ok);
  EXPECT_EQ(m.Errors, std::vector<int32_t>{25172});
}

TEST(Lister, SpannedDisksAreRequestedLastThenInOrder) {
  TTempDir dir;
  // Disk 1 begins with the spanning marker; the directory starts there and ends on disk 2.
  std::string whole = BuildZip(ThreeFiles(), std::string("PK\x07\x08", 4));
  uint32_t cd = static_cast<uint8_t>(whole[whole.size() - 6]) |
                (static_cast<uint8_t>(whole[whole.size() - 5]) << 8);
  size_t cut = cd + 50;
  std::string disk1 = whole.substr(0, cut), disk2 = whole.substr(cut);
  disk2[disk2.size() - 18] = 1;
  TwoDiskDrive drive(dir.Path(), disk1, disk2);
  std::string path = drive.Path();
  drive.Insert(1);  // the user starts with the first disk in the drive
  std::vector<std::string> asked;
  TListRun r = ListArchive(path, [&](TZuvOD& z) {
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
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"last", "1", "2"}));
  EXPECT_TRUE(r.Ok);
  ASSERT_EQ(r.Entries.size(), 3u);
  EXPECT_EQ(r.Entries[0].Name, "a.txt");
  EXPECT_EQ(r.Entries[2].Name, "docs/c.txt");
}

TEST(Lister, SelfExtractorWithUnadjustedOffsetsListsFromLocalHeaders) {
  // A program stub in front of a ZIP whose directory offsets still count from the ZIP's start.
  TTempDir dir;
  std::string stub = "MZ" + std::string(26000, '\0');
  std::string exe = dir.Write("setup.exe", stub + BuildZip(ThreeFiles()));
  TListRun r = ListArchive(exe);
  EXPECT_TRUE(r.Ok);
  ASSERT_EQ(r.Entries.size(), 3u);
  EXPECT_EQ(r.Entries[0].Name, "a.txt");
  EXPECT_EQ(r.Entries[0].Offset, 26002);  // the local header's own place in the file
  EXPECT_EQ(r.Entries[2].Name, "docs/c.txt");
}

TEST(Lister, SpannedSetIsPreparedFromTheLastDiskToTheFirst) {
  TTempDir dir;
  std::string whole = BuildZip(ThreeFiles(), std::string("PK\x07\x08", 4));
  uint32_t cd = static_cast<uint8_t>(whole[whole.size() - 6]) |
                (static_cast<uint8_t>(whole[whole.size() - 5]) << 8);
  std::string disk1 = whole.substr(0, cd + 50), disk2 = whole.substr(cd + 50);
  disk2[disk2.size() - 18] = 1;
  TwoDiskDrive drive(dir.Path(), disk1, disk2);
  drive.Insert(2);
  TZuvOD z;
  z.SetArchiveFile(dir / "backup.zip");
  EXPECT_EQ(z.ArcType(), atZipMV);
  std::vector<std::string> asked;
  z.OnGetZipLastDisk = [&](TArcMain*, bool& cancel) { asked.push_back("last"), cancel = false; };
  z.OnGetZipFirstDisk = [&](TArcMain*, bool& cancel) {
    asked.push_back("first");
    drive.Insert(1);
    cancel = false;
  };
  std::string text;
  int32_t number = -1;
  bool ok = z.PrepareSpannedSet(text, number);
  EXPECT_TRUE(ok);
  EXPECT_EQ(text, "002");  // the disk that was in the drive
  EXPECT_EQ(number, 2);
  EXPECT_EQ(asked, std::vector<std::string>{"first"});  // the last disk was already there
  EXPECT_EQ(z.CurrentDisk(), 1);
  EXPECT_EQ(z.VolumeName(), "PKBACK# 001");
}
