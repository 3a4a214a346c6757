// Imploded data into the exploder: the first byte gives the flag bits (8 KiB dictionary, three
// trees) and whether the size is known (declared 64 KiB) or not.
#include "fuzz/decode_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint16_t flag = data[0] & 6;
  quil::FuzzOneEntry(6, flag, data + 1, size - 1, (data[0] & 8) ? -1 : 1 << 16);
  return 0;
}
