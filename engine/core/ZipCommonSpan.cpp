// TZipCommon: requests for the disks of a ZIP archive spanned over removable disks labelled
// "PKBACK# 001", "PKBACK# 002", ... (disk numbers come from the labels).
#include <string>

#include "engine/core/DiskManager.h"
#include "engine/core/ZipCommon.h"

namespace quil {

namespace {
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
const char kMarker[] = "PKBACK# ";
}  // namespace

int32_t TZipCommon::VolumeLabelDisk() { return LabelDiskNumber(FDisk.VolumeLabel()); }

bool TZipCommon::Reopen() {
  if (!FArcFile.Close()) RaiseError(FArchiveFile, "", std::to_string(FCurrentDisk), 25137);
  if (!FArcFile.Open(FArchiveFile, TArcFile::ReadOnly))
    RaiseError(FArchiveFile, "", std::to_string(FCurrentDisk), 25236);
  FDetect.ArchiveSize = FArcFile.Size();
  FEndPos = FDetect.ArchiveSize;
  bool readable = FDisk.Refresh();
  FVolumeName = FDisk.VolumeLabel();
  FCurrentDisk = VolumeLabelDisk();
  return readable;
}

bool TZipCommon::RequestLastDisk() {
  FDisk.SelectDrive(FArchiveFile);
  if (!FDisk.IsRemovable()) {
    FCentralStartDisk = 0;
    return true;
  }
  if (!OnGetZipLastDisk) return false;
  TArcType remembered = FDetect.ArcType;
  while (!(FDetect.ZipFlags & 0x01)) {
    bool cancel = true;
    OnGetZipLastDisk(this, cancel);
    if (cancel || FCancel) {
      FDetect.ArcType = remembered;
      return false;
    }
    std::string name = FArchiveFile;
    SetArchiveFile(name);
  }
  FDetect.ArcType = remembered;
  FDisk.SelectDrive(FArchiveFile);
  FCentralStartDisk = Le16(FDetect.Headers.EndRecord + 6);
  SetArcOffset(Le32(FDetect.Headers.EndRecord + 16));
  FStartPos = FDetect.ArcOffset;
  return Reopen();
}

bool TZipCommon::RequestFirstDisk() {
  if (FDetect.ZipFlags & 0x10) return Reopen();
  bool result = false;
  while (!(FDetect.ZipFlags & 0x10)) {
    bool cancel = true;
    if (OnGetZipFirstDisk) OnGetZipFirstDisk(this, cancel);
    if (cancel || FCancel) break;
    std::string name = FArchiveFile;
    SetArchiveFile(name);
    result = Reopen() && VolumeLabelDisk() == 1;
  }
  if (result) {
    FCurrentDisk = VolumeLabelDisk();
    FVolumeName = FDisk.VolumeLabel();
  }
  return result;
}

bool TZipCommon::RequestDisk(int32_t n) {
  bool cancel = true;
  while (VolumeLabelDisk() != n) {
    if (!OnGetZipNextDisk) return false;
    cancel = true;
    OnGetZipNextDisk(this, std::to_string(n), cancel);
    if (cancel || FCancel) return false;
    FDisk.Refresh();
  }
  return Reopen();
}

bool TZipCommon::PrepareSpannedSet(std::string& diskText, int32_t& diskNumber) {
  FDisk.SelectDrive(FArchiveFile);
  if (!FDisk.IsRemovable()) {
    FCentralStartDisk = 0;
    return true;
  }
  const std::string& label = FDisk.VolumeLabel();
  size_t at = label.rfind(kMarker);
  if (at == std::string::npos) return false;
  diskText = label.substr(at + sizeof(kMarker) - 1);
  bool digits = !diskText.empty();
  for (char c : diskText) digits = digits && c >= '0' && c <= '9';
  if (digits && diskText.size() < 10) {
    diskNumber = std::stoi(diskText);
  } else {
    diskText.clear();
    diskNumber = 0;
  }
  SetZipCmntBufSize(32000);
  if (!OnGetZipLastDisk) return false;
  while (!(FDetect.ZipFlags & 0x01)) {
    bool cancel = true;
    OnGetZipLastDisk(this, cancel);
    if (cancel || FCancel) return false;
    std::string name = FArchiveFile;
    SetArchiveFile(name);
  }
  return RequestFirstDisk();
}

}  // namespace quil
