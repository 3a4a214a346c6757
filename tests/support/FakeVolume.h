// A volume source for tests: every path lies on one volume with the given properties, which a
// test changes to swap disks, eject the medium or move the volume away.
#pragma once

#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include "platform/VolumeInfo.h"

namespace quil::test {

struct FakeVolume : IVolumeSource {
  TVolumeInfo Info;
  bool Readable = true;
  int Queries = 0;
  std::string VolumeRootOf(const std::string&) override { return Info.MountPoint; }
  bool Query(const std::string&, TVolumeInfo& info, std::string& error) override {
    ++Queries;
    if (!Readable) {
      error = "No medium found";
      return false;
    }
    info = Info;
    return true;
  }
};

// Installs a fake volume at "/media/disk" for the scope of a test.
class FakeVolumeScope {
 public:
  FakeVolumeScope(TDriveType type, const std::string& label, uint32_t serial = 0x1234ABCD)
      : FVol(std::make_shared<FakeVolume>()) {
    FVol->Info.MountPoint = "/media/disk";
    FVol->Info.DriveType = type;
    FVol->Info.Label = label;
    FVol->Info.Serial = serial;
    FVol->Info.FileSystemName = "vfat";
    SetVolumeSource(FVol);
  }
  ~FakeVolumeScope() { SetVolumeSource(nullptr); }
  FakeVolumeScope(const FakeVolumeScope&) = delete;
  FakeVolumeScope& operator=(const FakeVolumeScope&) = delete;
  FakeVolume& operator*() { return *FVol; }
  FakeVolume* operator->() { return FVol.get(); }

 private:
  std::shared_ptr<FakeVolume> FVol;
};

// A drive that holds one disk of a two-disk set at a time, as backup.zip in `folder` (which is
// also the volume's root). Insert(n) puts disk n in: its image, the label "PKBACK# 00n" and a
// serial of its own. The volume is installed for the lifetime of the object.
class TwoDiskDrive {
 public:
  TwoDiskDrive(std::string folder, std::string disk1, std::string disk2,
               TDriveType type = dtRemovable)
      : FVol(std::make_shared<FakeVolume>()),
        FFolder(std::move(folder)),
        FDisks{std::move(disk1), std::move(disk2)} {
    FVol->Info.MountPoint = FFolder;
    FVol->Info.DriveType = type;
    FVol->Info.FileSystemName = "vfat";
    SetVolumeSource(FVol);
  }
  ~TwoDiskDrive() { SetVolumeSource(nullptr); }
  TwoDiskDrive(const TwoDiskDrive&) = delete;
  TwoDiskDrive& operator=(const TwoDiskDrive&) = delete;

  std::string Path() const { return FFolder + "/backup.zip"; }
  void Insert(int n) {
    FVol->Readable = true;
    FVol->Info.Label = "PKBACK# 00" + std::to_string(n);
    FVol->Info.Serial = 100 + uint32_t(n);
    std::ofstream(Path(), std::ios::binary | std::ios::trunc) << FDisks[n == 1 ? 0 : 1];
  }
  FakeVolume* operator->() { return FVol.get(); }

 private:
  std::shared_ptr<FakeVolume> FVol;
  std::string FFolder;
  std::string FDisks[2];
};

}  // namespace quil::test
