// Explode: ZIP method 6 (imploded: Shannon-Fano trees and a 4 KiB or 8 KiB dictionary).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/decode/DecodeIO.h"

namespace quil {

class TExploder {
 public:
  // flag: the entry's general-purpose bit flag (bit 1: 8 KiB dictionary, bit 2: three trees).
  // size: the declared unpacked size, < 0 unknown.
  TExploder(TByteInput& in, TOutWindow& out, uint16_t flag, int64_t size);
  // Decodes until `size` bytes have been produced (unknown size: until the input ends). Raises
  // "Ambiguous Shannon-Fano decode tree encountered" for a tree that is ambiguous, incomplete where
  // used, or declares more values than it has leaves, and "Error reading file or unexpected end
  // of file" when the input ends early.
  void Run();

 private:
  // A binary decoding tree: child 0 / 1 of each inner node; 0 = empty, > 0 inner node index,
  // < 0 a leaf holding the value -(child + 1).
  using TTree = std::vector<std::array<int32_t, 2>>;

  void ReadTree(TTree& tree, int leaves);
  int32_t Decode(const TTree& tree);
  int32_t Need(int n);
  bool Done() const { return FSize >= 0 && FOut.Produced() >= FSize; }

  TLsbBitReader FBits;
  TOutWindow& FOut;
  bool FLargeDictionary;
  bool FLiteralTree;
  int64_t FSize;
  TTree FLiterals, FLengths, FDistances;
};

}  // namespace quil
