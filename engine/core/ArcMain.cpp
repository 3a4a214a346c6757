#include "engine/core/ArcMain.h"

#include "engine/core/Detect.h"

namespace quil {

TArcMain::TArcMain() = default;
TArcMain::~TArcMain() = default;

void TArcMain::SetArchiveFile(const std::string& name) {
  if (name.empty() || FLoading) {
    FArchiveFile.clear();
    FDetect = TDetection{};
    FDetect.ArcType = atNA;
    return;
  }
  FFileCount = 0;
  FDetect.ReaderStart = 1;
  FArchiveFile = name;
  DetectArcType();
}

void TArcMain::SetArcType(TArcType) { DetectArcType(); }

void TArcMain::DetectArcType() {
  TDetectOptions opt;
  opt.FileName = FArchiveFile;
  opt.ZipCmntBufSize = FZipCmntBufSize;
  opt.Disk = &FDisk;
  DetectArchiveFile(FArchiveFile, opt, FDetect);
  ComputeVolumeSuffix(FArchiveFile, FDetect);
}

}  // namespace quil
