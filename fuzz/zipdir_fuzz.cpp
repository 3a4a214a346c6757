// Fuzz target: the lister's ZIP directory walk (detection, central and local-header mode) over any
// input. The input is written to one in-memory file per process and listed by its /proc name.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/list/ZuvOD.h"
#include "fuzz/fuzz_memfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = quil::fuzz::InputAsFile("zipdir", data, size);
  if (path.empty()) return 0;
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
