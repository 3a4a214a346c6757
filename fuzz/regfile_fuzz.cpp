// The settings file reader: any bytes parse without crashing, and what was read survives being
// written and read again unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  quil::TRegTree tree = quil::ParseRegFile(text);
  std::string written = quil::FormatRegFile(tree);
  size_t skipped = 0;
  quil::TRegTree again = quil::ParseRegFile(written, &skipped);
  if (skipped != 0 || !(again == tree) || quil::FormatRegFile(again) != written) std::abort();
  return 0;
}
