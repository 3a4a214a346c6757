// Volume information for the file system a path lives on: the Linux stand-in for drive letters,
// volume labels, drive types and free space. Tests replace the source with one of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quil {

// Drive type codes as the engine uses them.
enum TDriveType : uint8_t {
  dtUnknown = 0, dtNoRoot = 1, dtRemovable = 2, dtFixed = 3, dtRemote = 4, dtCDROM = 5, dtRAMDisk = 6,
};

struct TVolumeInfo {
  std::string MountPoint;        // root of the volume ("drive"), e.g. "/media/usb0"
  std::string Label;             // volume label, empty when none
  uint32_t Serial = 0;           // volume serial number
  uint32_t MaxComponentLength = 255;
  uint32_t FileSystemFlags = 0;
  std::string FileSystemName;    // "vfat", "ext4", ...
  TDriveType DriveType = dtUnknown;
  // Free-space figures (filled for every volume; the engine reads them for removable ones).
  uint64_t TotalBytes = 0;
  uint64_t FreeBytes = 0;
  uint32_t BytesPerSector = 512;
  uint32_t SectorsPerCluster = 1;
  uint64_t FreeClusters = 0;
  uint64_t TotalClusters = 0;
};

// Where volume information comes from. The real source reads the mount table, statvfs,
// /sys/block/*/removable and /dev/disk/by-label.
class IVolumeSource {
 public:
  virtual ~IVolumeSource() = default;
  // The root of the volume that holds `path` (the path need not exist yet; its nearest existing
  // parent decides). Empty on failure.
  virtual std::string VolumeRootOf(const std::string& path) = 0;
  // Information about the volume mounted at `root`. False (with errno-style text in `error`) when it
  // cannot be read, e.g. no medium in a removable drive.
  virtual bool Query(const std::string& root, TVolumeInfo& info, std::string& error) = 0;
};

// The process-wide source: the real one unless a test installed another.
IVolumeSource& VolumeSource();
// Installs a source (nullptr restores the real one). Not thread-safe; for tests and start-up.
void SetVolumeSource(std::shared_ptr<IVolumeSource> source);

}  // namespace quil
