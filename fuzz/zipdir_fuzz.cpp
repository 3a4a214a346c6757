// Fuzz target: the lister's ZIP directory walk (detection, central and local-header mode) over any
// input. The input is written to one in-memory file per process and listed by its /proc name.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/list/ZuvOD.h"
#include "platform/VolumeInfo.h"

namespace {

// Every path lives on one fixed disk: no mount-table lookups per input.
class TFixedDisk : public quil::IVolumeSource {
 public:
  std::string VolumeRootOf(const std::string&) override { return "/"; }
  bool Query(const std::string&, quil::TVolumeInfo& info, std::string&) override {
    info.MountPoint = "/";
    info.DriveType = quil::dtFixed;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = [] {
    quil::SetVolumeSource(std::make_shared<TFixedDisk>());
    return ::memfd_create("zipdir", 0);
  }();
  if (fd < 0) return 0;
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (::ftruncate(fd, 0) != 0) return 0;
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return 0;
    done += static_cast<size_t>(n);
  }
  quil::TZuvOD z;
  z.SetArchiveFile(path);
  z.SetFileSpec({"*"});
  z.SetShowBlankDirs(size & 1);
  size_t sink = 0;
  z.OnRead = [&](quil::TArcMain*, int64_t offset, int32_t num) {
    const quil::TEntryInfo& e = z.Entry();
    sink += e.FileName.size() + static_cast<size_t>(offset) + static_cast<size_t>(num) +
            e.MethodName.size() + (e.FileComment ? e.FileComment->size() : 0);
  };
  if (size & 2)
    z.OnCorruptZipHeader = [](quil::TArcMain*, uint8_t, bool& cancel) { cancel = false; };
  z.Activate();
  return static_cast<int>(sink & 0);
}
