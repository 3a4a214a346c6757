// TDiskManager: inspects the volume ("drive") an archive lives on: label, disk number from a
// "PKBACK# nnn" label, serial, type, free space; optionally watches it for a disk change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/VolumeInfo.h"

namespace quil {

// The Retry/Cancel question asked while a volume cannot be read. Arguments: the text to show
// ("<root> is not accessible.\n\n<system text>"). Returns true for Retry. Unset means Cancel.
using TRetryCancelQuestion = std::function<bool(const std::string& text)>;
// The process-wide question the program installs; the engine has no user interface of its own.
void SetRetryCancelQuestion(TRetryCancelQuestion q);
bool AskRetryCancel(const std::string& text);

// While one of these lives, unreadable volumes ask no Retry/Cancel question: they simply read as
// unreadable (for probes that have their own way of asking for a disk).
class TQuietVolumeErrors {
 public:
  TQuietVolumeErrors();
  ~TQuietVolumeErrors();
  TQuietVolumeErrors(const TQuietVolumeErrors&) = delete;
  TQuietVolumeErrors& operator=(const TQuietVolumeErrors&) = delete;

 private:
  TRetryCancelQuestion FSaved;
};

// Drive type names indexed by drive type code, then 7 and 8 for the floppy sizes.
extern const char* const DriveTypeNames[9];

// 0 when the label has no "PKBACK# " marker; else the number after the last marker when it is all
// digits, else 0.
int32_t LabelDiskNumber(const std::string& label);

// True when the volume that holds `path` can be read; while it cannot, asks Retry/Cancel with the
// text "<root> is not accessible.\n\n<system text>". Cancel gives false.
bool CheckDriveReady(const std::string& path);

class TDiskManager {
 public:
  TDiskManager() = default;
  ~TDiskManager();
  TDiskManager(const TDiskManager&) = delete;
  TDiskManager& operator=(const TDiskManager&) = delete;

  // Selects the volume that holds `path` (a file or folder). Does nothing when it is the current
  // one; otherwise refreshes, starts or stops watching, and fires OnChange. Returns true when the
  // volume changed (and was therefore read again).
  bool SelectDrive(const std::string& path);
  // Re-reads the current volume's information; returns VolumeReadable().
  bool Refresh();

  const std::string& Drive() const { return FDrive; }  // volume root, empty before selection
  const std::string& VolumeLabel() const { return FInfo.Label; }
  int32_t DiskNumber() const { return FDiskNumber; }
  std::string SerialNumber() const;  // 8 upper-case hex digits
  uint32_t Serial() const { return FInfo.Serial; }
  uint32_t MaxComponentLength() const { return FInfo.MaxComponentLength; }
  uint32_t FileSystemFlags() const { return FInfo.FileSystemFlags; }
  const std::string& FileSystemName() const { return FInfo.FileSystemName; }
  TDriveType DriveType() const { return FInfo.DriveType; }
  std::string DriveTypeName() const;
  bool VolumeReadable() const { return FReadable; }
  bool IsRemovable() const { return FInfo.DriveType == dtRemovable; }
  uint64_t TotalBytes() const { return FInfo.TotalBytes; }
  uint64_t FreeBytes() const { return FInfo.FreeBytes; }
  uint32_t SectorsPerCluster() const { return FInfo.SectorsPerCluster; }
  uint32_t BytesPerSector() const { return FInfo.BytesPerSector; }
  uint64_t FreeClusters() const { return FInfo.FreeClusters; }
  uint64_t TotalClusters() const { return FInfo.TotalClusters; }

  bool Watch() const { return FWatch; }
  // The watch flag is on and the volume is one that can change under us (removable or CD-ROM)
  // with a positive poll interval.
  bool Watching() const;
  void SetWatch(bool on);
  int32_t PollInterval() const { return FPollInterval; }
  void SetPollInterval(int32_t ms) { FPollInterval = ms; }
  // Called by the owner's event loop while watching (removable and CD-ROM volumes only): re-reads
  // the volume and fires OnDiskChanged when the serial number changed.
  void Poll();

  std::function<void(TDiskManager&)> OnChange;
  std::function<void(TDiskManager&)> OnDiskChanged;

 private:
  std::string FDrive;
  TVolumeInfo FInfo;
  int32_t FDiskNumber = 0;
  bool FReadable = false;
  bool FWatch = false;
  int32_t FPollInterval = 2000;
  uint32_t FRememberedSerial = 0;
  int FNameIndex = 0;
};

}  // namespace quil
