// Unreduce: ZIP methods 2 to 5 (follower sets plus run expansion, compression factor 1 to 4).
#pragma once

#include <cstdint>

#include "engine/decode/DecodeIO.h"

namespace quil {

class TUnreducer {
 public:
  // factor: 1 to 4 (the method number minus 1). size: the declared unpacked size, < 0 unknown.
  TUnreducer(TByteInput& in, TOutWindow& out, int factor, int64_t size);
  // Decodes until `size` bytes have been produced (unknown size: until the input ends). Raises
  // "Corrupt input" for a follower set of more than 32 bytes and "Error reading file or unexpected
  // end of file" when the input ends early.
  void Run();

 private:
  int32_t Need(int n);
  bool Done() const { return FSize >= 0 && FOut.Produced() >= FSize; }

  TLsbBitReader FBits;
  TOutWindow& FOut;
  int FFactor;
  int64_t FSize;
  uint8_t FCount[256] = {};
  uint8_t FFollowers[256][32] = {};
};

}  // namespace quil
