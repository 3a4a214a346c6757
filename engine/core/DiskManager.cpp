#include "engine/core/DiskManager.h"

#include <cstdio>
#include <utility>

#include "engine/core/Messages.h"

namespace quil {

namespace {
TRetryCancelQuestion& Question() {
  static TRetryCancelQuestion q;
  return q;
}
}  // namespace

void SetRetryCancelQuestion(TRetryCancelQuestion q) { Question() = std::move(q); }

bool AskRetryCancel(const std::string& text) {
  const TRetryCancelQuestion& q = Question();
  return q ? q(text) : false;
}

TQuietVolumeErrors::TQuietVolumeErrors() : FSaved(std::move(Question())) { Question() = nullptr; }

TQuietVolumeErrors::~TQuietVolumeErrors() { Question() = std::move(FSaved); }

const char* const DriveTypeNames[9] = {
    "Unknown", "None", "Floppy", "Fixed", "Network", "CD-ROM", "RAM", "3\u00bd Floppy", "5\u00bc Floppy",
};

int32_t LabelDiskNumber(const std::string& label) {
  static const std::string kMarker = "PKBACK# ";
  size_t at = label.rfind(kMarker);
  if (at == std::string::npos) return 0;
  std::string rest = label.substr(at + kMarker.size());
  if (rest.empty()) return 0;  // an empty text converts to nothing
  int64_t v = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return 0;
  }
  return static_cast<int32_t>(v);
}

// "<volume root> is not accessible.\n\n<system text>"
static std::string NotAccessibleText(const std::string& root, const std::string& error) {
  return root + " " + std::string(MessageText(25157)) + "\n\n" + error;
}

bool CheckDriveReady(const std::string& path) {
  IVolumeSource& src = VolumeSource();
  std::string root = src.VolumeRootOf(path);
  while (true) {
    TVolumeInfo info;
    std::string error;
    if (!root.empty() && src.Query(root, info, error)) return true;
    if (root.empty()) error = "No such file or directory";
    if (!AskRetryCancel(NotAccessibleText(root.empty() ? path : root, error))) return false;
    root = src.VolumeRootOf(path);
  }
}

TDiskManager::~TDiskManager() = default;

bool TDiskManager::SelectDrive(const std::string& path) {
  std::string root = VolumeSource().VolumeRootOf(path);
  if (!FDrive.empty() && root == FDrive) return false;
  FDrive = root;
  Refresh();
  SetWatch(FWatch);
  if (OnChange) OnChange(*this);
  return true;
}

bool TDiskManager::Refresh() {
  IVolumeSource& src = VolumeSource();
  while (true) {
    TVolumeInfo info;
    std::string error;
    if (!FDrive.empty() && src.Query(FDrive, info, error)) {
      FInfo = std::move(info);
      FDiskNumber = LabelDiskNumber(FInfo.Label);
      // No floppy size probe on this system: removable volumes show "Unknown".
      FNameIndex = FInfo.DriveType == dtRemovable ? 0 : FInfo.DriveType;
      FReadable = true;
      return true;
    }
    if (FDrive.empty()) error = "No such file or directory";
    if (!AskRetryCancel(NotAccessibleText(FDrive, error))) break;
  }
  FInfo = TVolumeInfo{};
  FInfo.MountPoint = FDrive;
  FDiskNumber = 0;
  FNameIndex = 0;
  FReadable = false;
  return false;
}

std::string TDiskManager::SerialNumber() const {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", FInfo.Serial);
  return buf;
}

std::string TDiskManager::DriveTypeName() const {
  return DriveTypeNames[FNameIndex >= 0 && FNameIndex < 9 ? FNameIndex : 0];
}

void TDiskManager::SetWatch(bool on) {
  FWatch = on;
  if (on) FRememberedSerial = FInfo.Serial;
}

bool TDiskManager::Watching() const {
  return FWatch && FPollInterval > 0 &&
         (FInfo.DriveType == dtRemovable || FInfo.DriveType == dtCDROM);
}

void TDiskManager::Poll() {
  if (!Watching()) return;
  IVolumeSource& src = VolumeSource();
  TVolumeInfo info;
  std::string error;
  if (!src.Query(FDrive, info, error)) return;  // no medium: wait for the next poll
  if (info.Serial != FRememberedSerial) {
    FRememberedSerial = info.Serial;
    FInfo = std::move(info);
    FDiskNumber = LabelDiskNumber(FInfo.Label);
    FReadable = true;
    if (OnDiskChanged) OnDiskChanged(*this);
  }
}

}  // namespace quil
