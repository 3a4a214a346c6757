// The ZIP maintenance object on the volume layer: a two-disk set read from a removable drive whose
// disks the "user" swaps when asked, the same set as numbered files on other volumes, and the
// figures the drive probe takes from the volume.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/FakeVolume.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"
#include "zipbridge/ZipKeeper.h"

using namespace quil;
using namespace quil::test;

namespace {

// Disk 1 begins with the spanning marker and holds the data and the first central header; disk 2
// holds the rest of the directory and the end record (this disk 1, directory starting on disk 0).
struct TwoDiskSet {
  std::string Disk1, Disk2;
  TwoDiskSet() {
    std::string whole = BuildZip({{"a.txt", "alpha"}, {"docs/b.doc", "bravo"}, {"c.txt", "x"}},
                                 std::string("PK\x07\x08", 4));
    size_t cd = uint8_t(whole[whole.size() - 6]) | (uint8_t(whole[whole.size() - 5]) << 8);
    size_t cut = cd + 46 + 5;  // after the central header of "a.txt"
    Disk1 = whole.substr(0, cut);
    Disk2 = whole.substr(cut);
    Disk2[Disk2.size() - 18] = 1;
  }
};

// Installs a disk question for one test and removes it afterwards.
struct QuestionScope {
  explicit QuestionScope(TDiskQuestion q) { SetZipDiskQuestion(std::move(q)); }
  ~QuestionScope() { SetZipDiskQuestion(nullptr); }
};

std::string Asking(int disk, const std::string& root) {
  return "Please insert disk volume " + std::to_string(disk) + " of 2\nin drive: " + root;
}

}  // namespace

TEST(ZipKeeperDisk, RemovableSetIsReadByAskingForEachDisk) {
  const TwoDiskSet set;
  // Answers, one letter per question: '1'/'2' insert that disk, 'w' inserts a disk with the
  // right label but without the file, 'e' ejects the medium, 'c' cancels (so does running out).
  struct Case {
    const char* what;
    TDriveType type;
    bool unattended;
    std::string answers;
    int error;
    std::vector<int> asked;
  } cases[] = {
      {"disks inserted in turn", dtRemovable, false, "12", 0, {1, 2}},
      {"CD-ROM drive asks the same way", dtCDROM, false, "12", 0, {1, 2}},
      {"wrong disk is asked for again", dtRemovable, false, "212", 0, {1, 1, 2}},
      {"no medium is asked for again", dtRemovable, false, "e12", 0, {1, 1, 2}},
      {"file missing on the disk", dtRemovable, false, "w12", 11001, {1, 1, 2}},
      {"cancel at the first question", dtRemovable, false, "c", 11007, {1}},
      {"cancel at the second disk", dtRemovable, false, "1c", 11007, {1, 2}},
      {"no medium, then no answer", dtRemovable, false, "e", 11007, {1, 1}},
      {"unattended", dtRemovable, true, "", 11025, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TTempDir dir;
    TwoDiskDrive vol(dir.Path(), set.Disk1, set.Disk2, c.type);
    vol->Info.TotalBytes = 1457664;
    vol.Insert(2);  // the last disk is in the drive when the set is opened
    std::vector<std::string> asked;
    size_t next = 0;
    QuestionScope q([&](const std::string& text, bool stopIcon) {
      EXPECT_FALSE(stopIcon);
      asked.push_back(text);
      char a = next < c.answers.size() ? c.answers[next++] : 'c';
      if (a == '1' || a == '2') vol.Insert(a - '0');
      if (a == 'w') {
        vol.Insert(1);
        std::remove((dir / "backup.zip").c_str());
      }
      if (a == 'e') vol->Readable = false;
      return a != 'c';
    });
    TZipKeeper k;
    k.Unattended = c.unattended;
    k.SetZipFileName(dir / "backup.zip");

    std::vector<std::string> expected;
    for (int d : c.asked) expected.push_back(Asking(d, dir.Path() + "/"));
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(k.ErrorCode(), c.error) << k.ErrorMessage();
    bool failed = c.error != 0 && c.error != 11001;  // a disk without the file is only recorded
    EXPECT_EQ(k.ZipFileName().empty(), failed);
    if (!failed) {
      ASSERT_EQ(k.EntryTotal(), 3);
      EXPECT_EQ(k.Contents()[0].EntryName, "a.txt");
      EXPECT_EQ(k.Contents()[2].EntryName, "c.txt");
      EXPECT_EQ(k.InFileName(), dir / "backup.zip");  // one name on every disk
      EXPECT_EQ(k.VolumeLabel(), "PKBACK# 002");
    }
  }
}

TEST(ZipKeeperDisk, OtherVolumesReadNumberedFilesWithoutAsking) {
  const TwoDiskSet set;
  int questions = 0;
  QuestionScope q([&](const std::string&, bool) { return ++questions, true; });
  for (TDriveType type : {dtFixed, dtRemote, dtRAMDisk, dtUnknown}) {
    SCOPED_TRACE(int(type));
    TTempDir dir;
    FakeVolumeScope vol(type, "PKBACK# 002");  // a label does not matter here
    vol->Info.TotalBytes = 1 << 30;
    dir.Write("set001.zip", set.Disk1);
    std::string last = dir.Write("set002.zip", set.Disk2);
    TZipKeeper k;
    k.SetZipFileName(last);
    EXPECT_EQ(k.ErrorCode(), 0) << k.ErrorMessage();
    EXPECT_EQ(k.EntryTotal(), 3);
    EXPECT_EQ(k.InFileName(), dir / "set002.zip");

    std::remove((dir / "set001.zip").c_str());
    k.SetZipFileName(last);
    EXPECT_EQ(k.ErrorCode(), 11001);  // a missing part ends the reading at once
    EXPECT_TRUE(k.ZipFileName().empty());
  }
  EXPECT_EQ(questions, 0);
}

TEST(ZipKeeperDisk, ProbeAndFreeSpaceComeFromTheVolume) {
  TTempDir dir;
  std::string zip = dir.Write("one.zip", BuildZip({{"a.txt", "alpha"}}));
  FakeVolumeScope vol(dtRemovable, "PKBACK# 001", 0xC0FFEE);
  vol->Info.TotalBytes = 1457664;
  vol->Info.FreeBytes = 1000;
  TZipKeeper k;
  k.SetZipFileName(zip);
  ASSERT_EQ(k.EntryTotal(), 1) << k.ErrorMessage();
  EXPECT_EQ(k.DriveRoot(), dir.Path() + "/");
  EXPECT_EQ(k.DiskTotal(), 1457664);
  EXPECT_EQ(k.DiskFree(), 1000);
  EXPECT_EQ(k.VolumeLabel(), "PKBACK# 001");

  struct Case {
    const char* what;
    TDriveType type;
    bool readable, erase;
    bool usable;
    int64_t total;
    std::string label;
  } cases[] = {
      {"disk in the drive", dtRemovable, true, false, true, 1457664, "PKBACK# 001"},
      {"no medium", dtRemovable, false, false, false, 0, ""},
      {"no medium, disk about to be formatted", dtRemovable, false, true, true, 0, ""},
      {"network volume", dtRemote, true, false, true, 1457664, "PKBACK# 001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vol->Info.DriveType = c.type;
    vol->Readable = c.readable;
    k.AddOptions = c.erase ? AddOpts{AddDiskSpan, AddDiskSpanErase} : AddOpts{};
    k.SetVolumeLabel("stale");
    EXPECT_EQ(k.ProbeDrive(), c.usable);
    EXPECT_EQ(k.DiskTotal(), c.total);
    EXPECT_EQ(k.VolumeLabel(), c.label);
  }

  // A drive whose medium was taken out keeps the type it was read with: the disk is asked for.
  vol->Info.DriveType = dtRemovable;
  vol->Readable = true;
  EXPECT_TRUE(k.ProbeDrive());
  vol->Readable = false;
  k.Unattended = true;
  try {
    k.PromptForDisk();
    ADD_FAILURE() << "no question";
  } catch (const ZipKeeperError& e) {
    EXPECT_EQ(e.Id, 11025);
  }

  // Each bit stores one figure; an unreadable volume gives -1.
  vol->Readable = true;
  k.QueryDiskSpace(3);
  vol->Readable = false;
  k.QueryDiskSpace(1);
  EXPECT_EQ(k.DiskFree(), -1);
  EXPECT_EQ(k.DiskTotal(), 1457664);
  k.QueryDiskSpace(2);
  EXPECT_EQ(k.DiskTotal(), -1);

  // No volume holds the folder.
  vol->Info.MountPoint.clear();
  try {
    k.ProbeDrive();
    ADD_FAILURE() << "no error";
  } catch (const ZipKeeperError& e) {
    EXPECT_EQ(e.Id, 11004);
    EXPECT_EQ(std::string(e.what()), "Drive " + dir.Path() + "/ is NOT defined");
  }
  // Listing from a drive without its medium fails the same way.
  vol->Info.MountPoint = "/media/disk";
  k.AddOptions = {};
  k.SetZipFileName(zip);
  EXPECT_EQ(k.ErrorCode(), 11004);
  EXPECT_TRUE(k.ZipFileName().empty());
}
