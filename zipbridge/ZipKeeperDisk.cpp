// TZipKeeper: drive and disk primitives on the engine's volume layer. The "drive" of a ZIP is the
// volume that holds its folder (DriveRoot). The disks of a set are told apart in one of two ways:
// - removable media and CD-ROMs (media one swaps): every disk holds the same file name and carries
//   the volume label "PKBACK# nnn"; the user is asked to insert the disk that is needed;
// - every other volume (fixed, network, RAM disk, unknown): the disks are numbered files beside
//   each other (name001.zip, name002.zip, ...) and nobody is asked anything.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "engine/core/DiskManager.h"
#include "zipbridge/ZipKeeper.h"

namespace quil {

namespace {

TDiskQuestion& DiskQuestion() {
  static TDiskQuestion question;
  return question;
}

std::function<void()>& ProcessMessages() {
  static std::function<void()> hook;
  return hook;
}

bool AskDiskQuestion(const std::string& text, bool stopIcon) {
  const TDiskQuestion& q = DiskQuestion();
  return q ? q(text, stopIcon) : false;
}

// Media one swaps: the disks of a set are recognised by their labels.
bool Swappable(int driveType) { return driveType == dtRemovable || driveType == dtCDROM; }

int64_t ToBytes(uint64_t v) { return v > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(v); }

// Reads the volume that holds `path` without asking Retry/Cancel when it can't be read.
void ReadVolume(TDiskManager& disk, const std::string& path) {
  TQuietVolumeErrors quiet;
  disk.SelectDrive(path);
}

}  // namespace

void SetZipDiskQuestion(TDiskQuestion question) { DiskQuestion() = std::move(question); }

void SetZipProcessMessages(std::function<void()> hook) { ProcessMessages() = std::move(hook); }

void TZipKeeper::QueryDiskSpace(int which) {
  TDiskManager disk;
  ReadVolume(disk, FDriveRoot);
  StoreDiskSpace(disk, which);
}

void TZipKeeper::StoreDiskSpace(const TDiskManager& disk, int which) {
  const bool readable = disk.VolumeReadable();
  if (which & 1) FDiskFree = readable ? ToBytes(disk.FreeBytes()) : -1;
  if (which & 2) FDiskTotal = readable ? ToBytes(disk.TotalBytes()) : -1;
}

bool TZipKeeper::ProbeDrive() {
  FDiskTotal = 0;
  FVolumeLabel.clear();
  TDiskManager disk;
  ReadVolume(disk, FDriveRoot);
  if (disk.Drive().empty()) throw ZipKeeperError(11004, FDriveRoot);
  // No medium: usable only when the disk is about to be formatted.
  if (!disk.VolumeReadable()) return AddOptions.Has(AddDiskSpanErase);
  FVolumeRoot = disk.Drive();
  FVolumeType = disk.DriveType();
  FVolumeLabel = disk.VolumeLabel();
  FDiskSerial = disk.Serial();
  StoreDiskSpace(disk, 3);  // the free space of the volume just read
  return disk.DriveType() == dtRemote || FDiskTotal != -1;
}

int TZipKeeper::DriveTypeOfRoot() {
  TDiskManager disk;
  ReadVolume(disk, FDriveRoot);
  if (disk.VolumeReadable()) {
    FVolumeRoot = disk.Drive();
    FVolumeType = disk.DriveType();
  } else if (disk.Drive().empty() || disk.Drive() != FVolumeRoot) {
    return dtUnknown;
  }
  return FVolumeType;
}

int TZipKeeper::PromptForDisk() {
  if (ProcessMessages()) ProcessMessages()();
  const int t = DriveTypeOfRoot();
  bool ok = true;
  while ((ok && !ProbeDrive()) || FNewDiskNeeded) {
    if (!Swappable(t)) {
      FNewDiskNeeded = false;
      break;
    }
    if (Unattended) throw ZipKeeperError(11025);
    std::string text;
    bool stopIcon = false;
    if (FCurrentDisk < 0) {
      text = ZipText(11033);
      stopIcon = true;
    } else if (FWriteBusy) {
      // Writing a set: announce how many disks it is estimated to take.
      int64_t capacity = FDiskTotal;
      if (MaxVolumeSize != 0 && MaxVolumeSize < capacity) capacity = MaxVolumeSize;
      FLastDisk = FCurrentDisk;
      if (capacity > 0) {
        int64_t estimate = (FZipEnd + KeepFreeOnDisk1 + 4) / capacity;
        FLastDisk = int32_t(std::max<int64_t>(FLastDisk, std::min<int64_t>(estimate, INT32_MAX - 1)));
        text = ZipTextFormat(11034, int64_t(FCurrentDisk) + 1, int64_t(FLastDisk) + 1);
      } else {
        text = ZipTextFormat(11046, int64_t(FCurrentDisk) + 1);
      }
    } else {
      text = ZipTextFormat(11034, int64_t(FCurrentDisk) + 1, int64_t(FLastDisk) + 1);
    }
    text += ZipTextFormat(11035, FDriveRoot);
    ok = AskDiskQuestion(text, stopIcon);
    FNewDiskNeeded = false;
  }
  if (!ok) throw ZipKeeperError(11007);
  return t;
}

bool TZipKeeper::MatchDiskLabel(int driveType) {
  if (Swappable(driveType)) return FVolumeLabel == "PKBACK# " + DiskSetNumber(FCurrentDisk);
  // Numbered files: the last three characters before the extension become the disk number.
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
  int t = dtUnknown;
  bool failed = false;
  do {
    if (failed) {
      // A numbered file that isn't there won't appear by asking; a disk may be the wrong one.
      if (!Swappable(t)) throw ZipKeeperError(11001);
      RecordError(11001);
    }
    do {
      FNewDiskNeeded = true;
      t = PromptForDisk();
    } while (!MatchDiskLabel(t));
    failed = !FInFile.Open(FInFileName, TArcFile::ReadOnly);
  } while (failed);
}

}  // namespace quil
