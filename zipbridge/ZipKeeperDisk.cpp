// TZipKeeper: drive and disk primitives. Linux has no drive letters: every path counts as a
// fixed drive, so no disk question is ever asked and the parts of a split set are told apart by
// their file names (name001.zip, name002.zip, ...).
#include <sys/statvfs.h>

#include "zipbridge/ZipKeeper.h"

namespace quil {

namespace {
constexpr int kDriveFixed = 3;
}

void TZipKeeper::QueryDiskSpace(int which) {
  int64_t freeBytes = -1, totalBytes = -1;
  struct statvfs vs {};
  if (::statvfs(FDriveRoot.empty() ? "." : FDriveRoot.c_str(), &vs) == 0) {
    freeBytes = int64_t(vs.f_bavail) * int64_t(vs.f_frsize);
    totalBytes = int64_t(vs.f_blocks) * int64_t(vs.f_frsize);
  }
  if (which & 1) FDiskFree = freeBytes;
  if (which & 2) FDiskTotal = totalBytes;
}

bool TZipKeeper::ProbeDrive() {
  FDiskTotal = 0;
  FVolumeLabel.clear();
  QueryDiskSpace(3);
  return true;  // like a network path: always usable
}

int TZipKeeper::PromptForDisk() {
  // A fixed drive never asks; the next disk is the next file.
  FNewDiskNeeded = false;
  return kDriveFixed;
}

bool TZipKeeper::MatchDiskLabel(int) {
  std::string name = FInFileName;
  auto slash = name.find_last_of('/');
  auto dot = name.find_last_of('.');
  std::string ext;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    ext = name.substr(dot);
    name.resize(dot);
  }
  size_t keep = name.size() >= 3 ? name.size() - 3 : 0;
  if (slash != std::string::npos && keep < slash + 1) keep = std::min(name.size(), slash + 1);
  FInFileName = name.substr(0, keep) + DiskSetNumber(FCurrentDisk) + ext;
  return true;
}

void TZipKeeper::SwitchToDisk(int32_t n) {
  FInFile.Close();
  FCurrentDisk = n;
  int t = kDriveFixed;
  do {
    FNewDiskNeeded = true;
    t = PromptForDisk();
  } while (!MatchDiskLabel(t));
  if (!FInFile.Open(FInFileName, TArcFile::ReadOnly)) throw ZipKeeperError(11001);
}

}  // namespace quil
