// Shared body of the decoder fuzz targets: the input is one entry's compressed data, the output is
// bounded so that no input can make a target write without end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/decode/ExpandZipData.h"

namespace quil {

class TCountingSink : public TDecodeSink {
 public:
  bool Write(const uint8_t* data, size_t n) override {
    // Touch the bytes so that a read outside the decoder's buffers is seen by the sanitizer.
    for (size_t i = 0; i < n; ++i) Sum += data[i];
    Size += n;
    return true;
  }
  uint64_t Sum = 0;
  uint64_t Size = 0;
};

inline void FuzzOneEntry(uint32_t method, uint16_t flag, const uint8_t* data, size_t size,
                         int64_t declared) {
  TMemorySource src(data, size);
  TCountingSink sink;
  TExpandResult r = ExpandZipData({flag, method, static_cast<int64_t>(size), declared}, src, sink);
  if (declared >= 0 && r.Written > declared) __builtin_trap();
}

}  // namespace quil
