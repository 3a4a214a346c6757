// The disk manager over a fake volume source, and the Linux volume source on this machine.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "TestFiles.h"
#include "engine/core/DiskManager.h"

using namespace quil;
using namespace quil::test;

TEST(DiskManager, LabelDiskNumber) {
  struct {
    const char* label;
    int number;
  } cases[] = {
      {"PKBACK# 002", 2}, {"PKBACK# 117", 117}, {"DATA", 0}, {"", 0}, {"PKBACK# ", 0},
      {"PKBACK# 12a", 0}, {"PKBACK# 001PKBACK# 7", 7}, {"X PKBACK# 004", 4}, {"PKBACK#004", 0},
  };
  for (auto c : cases) EXPECT_EQ(LabelDiskNumber(c.label), c.number) << c.label;
}

TEST(DiskManager, SelectsReadsAndKeepsTheVolume) {
  FakeVolumeScope vol(dtRemovable, "PKBACK# 003", 0x00C0FFEE);
  TDiskManager dm;
  int changes = 0;
  dm.OnChange = [&](TDiskManager&) { ++changes; };
  EXPECT_TRUE(dm.SelectDrive("/media/disk/a.zip"));
  EXPECT_FALSE(dm.SelectDrive("/media/disk/b.zip"));  // same volume: not read again
  EXPECT_EQ(vol->Queries, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(dm.VolumeReadable());
  EXPECT_EQ(dm.Drive(), "/media/disk");
  EXPECT_EQ(dm.VolumeLabel(), "PKBACK# 003");
  EXPECT_EQ(dm.DiskNumber(), 3);
  EXPECT_EQ(dm.SerialNumber(), "00C0FFEE");
  EXPECT_TRUE(dm.IsRemovable());
  EXPECT_EQ(dm.DriveTypeName(), "Unknown");  // no floppy size probe here
  EXPECT_EQ(dm.FileSystemName(), "vfat");
}

TEST(DiskManager, UnreadableVolumeAsksRetryOrCancel) {
  FakeVolumeScope vol(dtRemovable, "DISK");
  vol->Readable = false;
  std::string asked;
  int answers = 0;
  SetRetryCancelQuestion([&](const std::string& text) {
    asked = text;
    if (++answers == 2) vol->Readable = true;  // the user inserts the disk, then Retry
    return true;
  });
  TDiskManager dm;
  dm.SelectDrive("/media/disk/a.zip");
  EXPECT_TRUE(dm.VolumeReadable());
  EXPECT_EQ(answers, 2);
  EXPECT_EQ(asked, "/media/disk is not accessible.\n\nNo medium found");

  vol->Readable = false;
  SetRetryCancelQuestion([](const std::string&) { return false; });  // Cancel
  EXPECT_FALSE(dm.Refresh());
  EXPECT_FALSE(dm.VolumeReadable());
  EXPECT_FALSE(CheckDriveReady("/media/disk/a.zip"));
  vol->Readable = true;
  EXPECT_TRUE(CheckDriveReady("/media/disk/a.zip"));
  SetRetryCancelQuestion(nullptr);
}

TEST(DiskManager, WatchingReportsADiskChange) {
  for (TDriveType type : {dtRemovable, dtCDROM, dtFixed}) {
    SCOPED_TRACE(int(type));
    FakeVolumeScope vol(type, "ONE", 1);
    TDiskManager dm;
    int changed = 0;
    dm.OnDiskChanged = [&](TDiskManager&) { ++changed; };
    dm.SetWatch(true);
    dm.SelectDrive("/media/disk/a.zip");
    dm.Poll();
    vol->Info.Serial = 2;
    vol->Info.Label = "PKBACK# 002";
    dm.Poll();
    dm.Poll();
    bool watched = type != dtFixed;
    EXPECT_EQ(changed, watched ? 1 : 0);
    EXPECT_EQ(dm.DiskNumber(), watched ? 2 : 0);
  }
}

// The real source: a scratch folder lies on a mounted volume whose root is a prefix of it.
TEST(VolumeSource, MountTableOnThisMachine) {
  ScratchDir dir;
  char real[PATH_MAX];
  ASSERT_NE(::realpath(dir.Path().c_str(), real), nullptr);
  IVolumeSource& src = VolumeSource();
  std::string root = src.VolumeRootOf(dir.Path() + "/not/yet/there.zip");
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(std::string(real).rfind(root == "/" ? "/" : root + "/", 0), 0u) << root;
  TVolumeInfo info;
  std::string error;
  ASSERT_TRUE(src.Query(root, info, error)) << error;
  EXPECT_FALSE(info.FileSystemName.empty());
  EXPECT_GT(info.TotalBytes, 0u);
  EXPECT_NE(info.DriveType, dtUnknown);
  EXPECT_FALSE(src.Query("/no/such/mount", info, error));
  EXPECT_FALSE(error.empty());
}
