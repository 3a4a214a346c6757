// Archive-type detection on a buffer in memory: whatever the bytes, detection must end with a
// type and never read outside its buffers. Runs on a fixed disk and on a removable disk labelled
// as one disk of a spanned ZIP set.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/Detect.h"
#include "engine/core/DiskManager.h"

namespace {
struct SpannedDisk : quil::IVolumeSource {
  std::string VolumeRootOf(const std::string&) override { return "/media/disk"; }
  bool Query(const std::string& root, quil::TVolumeInfo& info, std::string&) override {
    info.MountPoint = root;
    info.DriveType = quil::dtRemovable;
    info.Label = "PKBACK# 002";
    return true;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool installed = (quil::SetVolumeSource(std::make_shared<SpannedDisk>()), true);
  (void)installed;
  quil::TMemoryReadAt in(data, size);
  quil::TDiskManager disk;
  for (int run = 0; run < 3; ++run) {
    quil::TDetectOptions opt;
    opt.FileName = "/media/disk/fuzz.zip";
    opt.ZipCmntBufSize = run == 0 ? 0 : 32000;
    opt.Disk = run == 2 ? &disk : nullptr;
    quil::TDetection d;
    quil::DetectArcType(in, opt, d);
    if (d.ArcType >= quil::ArcTypeCount) __builtin_trap();
  }
  return 0;
}
