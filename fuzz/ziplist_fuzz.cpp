// Fuzzes TZipKeeper::List: the input is written to an in-memory file and listed.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "zipbridge/ZipKeeper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = ::memfd_create("ziplist", 0);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    ssize_t w = ::write(fd, data + done, size - done);
    if (w <= 0) break;
    done += size_t(w);
  }
  {
    quil::TZipKeeper k;
    uint64_t sum = 0;
    k.OnNewName = [&](quil::TZipKeeper&, int n, const quil::ZipDirEntry& e) {
      sum += uint64_t(n) + e.EntryName.size() + e.EntryComment.size();
    };
    k.SetZipFileName("/proc/self/fd/" + std::to_string(fd));
    for (const auto& e : k.Contents()) sum += e.UncompressedSize64;
    (void)sum;
  }
  ::close(fd);
  return 0;
}
