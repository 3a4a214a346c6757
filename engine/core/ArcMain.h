// TArcMain: the root of every engine component. Owns the archive's name, its detected type and
// the detection state, the current-entry record and the run totals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/ArcFileAttr.h"
#include "engine/core/ArcType.h"
#include "engine/core/DiskManager.h"
#include "engine/core/EntryInfo.h"

namespace quil {

// The fixed ZIP header buffers that detection fills and the ZIP directory reader reuses, and the
// TAR header buffer. Little-endian layouts as stored.
struct TZipHeaders {
  uint8_t EndRecord[22] = {};
  uint8_t CentralHeader[46] = {};
  uint8_t LocalHeader[30] = {};
  uint8_t TarHeader[512] = {};
};

// What detection found out about a file.
struct TDetection {
  TArcType ArcType = atNA;
  // ZIP types: 0-based offset of the central directory (or of the first local header).
  // Other types: 1-based position of the first header.
  int64_t ArcOffset = 1;
  uint8_t ZipFlags = 0;       // 0x01 end record, 0x08 central header, 0x10 local header confirmed
  int64_t ArchiveSize = 0;
  int32_t ArchiveDate = 29221;  // the file's DOS date-time; 29221 when unknown or not an archive
  int64_t ReaderStart = 1;    // 1-based start position for the directory readers
  char VolumeLetter = 0;
  int32_t VolumeNumber = 0;
  TZipHeaders Headers;
};

class TArcMain {
 public:
  TArcMain();
  virtual ~TArcMain();
  TArcMain(const TArcMain&) = delete;
  TArcMain& operator=(const TArcMain&) = delete;

  // --- published ---
  const std::string& ArchiveFile() const { return FArchiveFile; }
  // Assigning a non-empty name resets FileCount, detects the type and computes the volume suffix
  // state; an empty name clears it and sets atNA.
  virtual void SetArchiveFile(const std::string& name);
  TArcType ArcType() const { return FDetect.ArcType; }
  // Ignores the value and detects again.
  virtual void SetArcType(TArcType);

  bool UseStoredDirs() const { return FUseStoredDirs; }
  void SetUseStoredDirs(bool v) { FUseStoredDirs = v; }
  int32_t PasswordAttempts() const { return FPasswordAttempts; }
  void SetPasswordAttempts(int32_t v) { FPasswordAttempts = v; }
  std::vector<std::string>& Passwords() { return FPasswords; }
  int32_t ZipCmntBufSize() const { return FZipCmntBufSize; }
  void SetZipCmntBufSize(int32_t v) { FZipCmntBufSize = v < 2000 ? 2000 : (v > 32767 ? 32767 : v); }
  TArcFileAttr& FileAttribute() { return FFileAttribute; }

  // --- detection state ---
  int64_t ArcOffset() const { return FDetect.ArcOffset; }
  uint8_t ZipFlags() const { return FDetect.ZipFlags; }
  int64_t ArchiveSize() const { return FDetect.ArchiveSize; }
  int32_t ArchiveDate() const { return FDetect.ArchiveDate; }
  char VolumeLetter() const { return FDetect.VolumeLetter; }
  int32_t VolumeNumber() const { return FDetect.VolumeNumber; }
  const TDetection& Detection() const { return FDetect; }
  TDiskManager& DiskManager() { return FDisk; }

  // --- current entry and totals ---
  TEntryInfo& Entry() { return FEntry; }
  const TEntryInfo& Entry() const { return FEntry; }
  int32_t FileCount() const { return FFileCount; }
  int64_t TotalPackedSize() const { return FTotalPackedSize; }
  int64_t TotalUnpackedSize() const { return FTotalUnpackedSize; }
  uint8_t TotalRatio() const { return FTotalRatio; }
  const std::string& VolumeName() const { return FVolumeName; }

 protected:
  // Runs type detection on FArchiveFile and stores the result in FDetect, then computes the
  // volume suffix state.
  void DetectArcType();

  std::string FArchiveFile;
  TDetection FDetect;
  TDiskManager FDisk;
  bool FUseStoredDirs = true;
  int32_t FPasswordAttempts = 3;
  std::vector<std::string> FPasswords;
  int32_t FZipCmntBufSize = 0;  // 0 until a component or caller sets it (the lister uses 32000)
  TArcFileAttr FFileAttribute;
  bool FLoading = false;        // being loaded from a stored description: assignments don't detect

  TEntryInfo FEntry;
  int32_t FFileCount = 0;
  int64_t FTotalPackedSize = 0;
  int64_t FTotalUnpackedSize = 0;
  uint8_t FTotalRatio = 0;
  std::string FVolumeName;
};

}  // namespace quil
