// Reduced data into the unreducer: the first byte picks the factor (1-4) and whether the size is
// known (declared 64 KiB) or not.
#include "fuzz/decode_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t method = 2 + (data[0] & 3);
  quil::FuzzOneEntry(method, 0, data + 1, size - 1, (data[0] & 4) ? -1 : 1 << 16);
  return 0;
}
