// Inflate: the Deflate format (RFC 1951) decoder used for ZIP method 8, GZIP and BH.
//
// Design: a 64-bit bit buffer refilled a word at a time, one lookup table per code with combined
// length/distance base and extra-bit entries (11-bit first level for literal/lengths, 8-bit for
// distances, sub-tables below), and a large output buffer (32 KiB of history plus a chunk) into
// which matches are copied with overlapping 8/16-byte moves. Near the ends of the input and of the
// output a careful byte-at-a-time path takes over.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/decode/DecodeIO.h"

namespace quil {

class TInflater {
 public:
  TInflater(TByteInput& in, TDecodeOutput& out);

  // Decodes blocks up to and including the final one and writes all output. Raises E_RAISE:
  // "Bad block" (input ends, block type 3, stored length check, bad symbol in a fixed block),
  // "Incomplete code set" (tables of a dynamic block, bad symbol in a dynamic block), "Corrupt
  // input" (a distance reaching before the start of the data), and the output's own messages.
  void Run();
  // Writes decoded bytes that are not yet written (used after an error). Never throws.
  void FlushPending() noexcept;

 private:
  static constexpr size_t kWindow = 32768;
  static constexpr size_t kCap = 256 * 1024;  // history + chunk
  static constexpr size_t kSlack = 64;        // room for the overlapping copies past the end

  // Bit buffer handling (members).
  void Refill();
  uint32_t Take(unsigned n) {
    uint32_t v = static_cast<uint32_t>(FBitBuf & ((uint64_t{1} << n) - 1));
    FBitBuf >>= n;
    FBitCnt -= n;
    return v;
  }
  void CheckInput() const;

  void StoredBlock();
  void DynamicTables();
  void BuildFixed();
  template <unsigned LitBits, unsigned DistBits>
  void DecodeSymbols(const uint32_t* lit, const uint32_t* dist, int symbolError);

  // Output buffer handling.
  void MakeRoom();
  void Flush();
  void ComputeStop();

  TByteInput& FIn;
  TDecodeOutput& FOut;

  uint64_t FBitBuf = 0;
  unsigned FBitCnt = 0;
  unsigned FPadBits = 0;  // zero bits appended after the end of the input

  // Not zero-filled: only bytes already decoded are ever read back.
  std::unique_ptr<uint8_t[]> FBuf;
  size_t FPos = 0;
  size_t FFlushed = 0;
  size_t FStop = 0;  // FPos may not pass this without MakeRoom

  std::vector<uint32_t> FLit, FDist;             // current dynamic block
  std::vector<uint32_t> FFixedLit, FFixedDist;   // built at most once per run
};

}  // namespace quil
