// Unshrink: ZIP method 1 (dynamic LZW, 9 to 13 bit codes, partial clearing).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/decode/DecodeIO.h"

namespace quil {

class TUnshrinker {
 public:
  TUnshrinker(TByteInput& in, TOutWindow& out);
  // Decodes until the input ends. Raises "Bad block" (missing first code, bad control code, broken
  // code chain, code size above 13) and "Stack overflow" (a code chain longer than the stack).
  void Run();

 private:
  static constexpr int kCodes = 8192;
  static constexpr int kControl = 256;

  void PartialClear();

  TLsbBitReader FBits;
  TOutWindow& FOut;
  std::vector<int32_t> FParent;
  std::vector<uint8_t> FChar;
  std::vector<uint16_t> FChildren;
  std::vector<uint16_t> FFree;  // free code numbers in [FFreeIndex, kCodes)
  int FFreeIndex = 257;
  std::vector<uint8_t> FStack;
};

}  // namespace quil
