// Fuzz target: a whole ZIP extraction in test mode (directory walk, local headers, passwords,
// every decoder, checksums) over any input. The input is written to one in-memory file per process
// and extracted by its /proc name; nothing is written to disk.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/Messages.h"
#include "engine/extract/UnZIP.h"
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
    return ::memfd_create("zipextract", 0);
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
  quil::TUnZIP z;
  z.SetArchiveFile(path);
  z.SetFileSpec({"*"});
  z.Passwords().push_back("Quillet-pw1");
  if (size & 1) {
    z.OnGetPassword = [](quil::TArcMain*, const std::string&, std::string& pw, bool&) {
      pw = "wrong";
    };
  }
  if (size & 2)
    z.OnCorruptZipHeader = [](quil::TArcMain*, uint8_t, bool& cancel) { cancel = false; };
  size_t sink = 0;
  z.OnEnd = [&](quil::TArcMain*, const std::string& fn, bool pass) { sink += fn.size() + pass; };
  try {
    z.ExtractForTest();
  } catch (const quil::E_RAISE&) {
  }
  return static_cast<int>(sink & 0);
}
