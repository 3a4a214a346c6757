// Fuzz target: a whole ZIP extraction in test mode (directory walk, local headers, passwords,
// every decoder, checksums) over any input. The input is written to one in-memory file per process
// and extracted by its /proc name; nothing is written to disk.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/Messages.h"
#include "engine/extract/UnZIP.h"
#include "fuzz/fuzz_memfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = quil::fuzz::InputAsFile("zipextract", data, size);
  if (path.empty()) return 0;
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
