// Fuzzes TZipKeeper::List: the input is written to an in-memory file and listed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_memfile.h"
#include "zipbridge/ZipKeeper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = quil::fuzz::InputAsFile("ziplist", data, size);
  if (path.empty()) return 0;
  {
    quil::TZipKeeper k;
    uint64_t sum = 0;
    k.OnNewName = [&](quil::TZipKeeper&, int n, const quil::ZipDirEntry& e) {
      sum += uint64_t(n) + e.EntryName.size() + e.EntryComment.size();
    };
    k.SetZipFileName(path);
    for (const auto& e : k.Contents()) sum += e.UncompressedSize64;
    (void)sum;
  }
  return 0;
}
