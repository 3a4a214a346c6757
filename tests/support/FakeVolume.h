// A volume source for tests: every path lies on one volume with the given properties, which a
// test changes to swap disks, eject the medium or move the volume away.
#pragma once

#include <memory>
#include <string>

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

}  // namespace quil::test
