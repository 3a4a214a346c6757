// Shrunk data into the unshrinker, with an output bound of 1 MiB.
#include "fuzz/decode_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quil::FuzzOneEntry(1, 0, data, size, 1 << 20);
  return 0;
}
