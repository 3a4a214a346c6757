// Shared by the fuzz targets that need their input as a file: one in-memory file per process,
// rewritten for every input and opened by its /proc name, and a volume source that puts every path
// on one fixed disk (no mount-table lookups per input).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/VolumeInfo.h"

namespace quil::fuzz {

class TFixedDisk : public IVolumeSource {
 public:
  std::string VolumeRootOf(const std::string&) override { return "/"; }
  bool Query(const std::string&, TVolumeInfo& info, std::string&) override {
    info.MountPoint = "/";
    info.DriveType = dtFixed;
    return true;
  }
};

// Writes the input to the process's in-memory file and returns its path; empty on failure.
inline std::string InputAsFile(const char* name, const uint8_t* data, size_t size) {
  static const int fd = [name] {
    SetVolumeSource(std::make_shared<TFixedDisk>());
    return ::memfd_create(name, 0);
  }();
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return {};
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return {};
    done += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace quil::fuzz
