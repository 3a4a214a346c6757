// Writes small hand-made deflate streams for the tests: raw bits, stored blocks and dynamic
// blocks with any code lengths the header can express (also ones a real encoder never writes).
#pragma once

#include <cstdint>
#include <vector>

namespace quil::test {

class TDeflateWriter {
 public:
  void Bits(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
      if (FBit == 0) Data.push_back(0);
      Data.back() |= ((value >> i) & 1) << FBit;
      FBit = (FBit + 1) & 7;
    }
  }
  // A prefix code is sent most significant bit first.
  void Code(uint32_t code, unsigned len) {
    for (unsigned i = len; i-- > 0;) Bits((code >> i) & 1, 1);
  }
  void AlignByte() { FBit = 0; }

  // Canonical codes of a set of code lengths.
  static std::vector<uint32_t> Codes(const std::vector<uint8_t>& lens) {
    unsigned count[16] = {}, next[16] = {};
    for (uint8_t l : lens) ++count[l];
    count[0] = 0;
    for (unsigned len = 1, code = 0; len < 16; ++len) next[len] = code = (code + count[len - 1]) << 1;
    std::vector<uint32_t> codes(lens.size());
    for (size_t s = 0; s < lens.size(); ++s)
      if (lens[s]) codes[s] = next[lens[s]]++;
    return codes;
  }

  // A dynamic block header sending every code length literally with a 4-bit code-length code
  // (symbols 0-15 at length 4). Afterwards Lit(...) and Dist(...) send symbols.
  void DynamicHeader(bool last, const std::vector<uint8_t>& lit, const std::vector<uint8_t>& dist) {
    Bits(last, 1);
    Bits(2, 2);
    Bits(static_cast<uint32_t>(lit.size() - 257), 5);
    Bits(static_cast<uint32_t>(dist.size() - 1), 5);
    Bits(19 - 4, 4);
    static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (uint8_t s : order) Bits(s < 16 ? 4 : 0, 3);
    for (uint8_t l : lit) Code(l, 4);  // symbol s has the 4-bit code s
    for (uint8_t l : dist) Code(l, 4);
    FLitLens = lit;
    FDistLens = dist;
    FLitCodes = Codes(lit);
    FDistCodes = Codes(dist);
  }
  void Lit(unsigned sym) { Code(FLitCodes[sym], FLitLens[sym]); }
  void Dist(unsigned sym) { Code(FDistCodes[sym], FDistLens[sym]); }

  void Stored(bool last, const std::vector<uint8_t>& bytes, bool badNlen = false) {
    Bits(last, 1);
    Bits(0, 2);
    AlignByte();
    const uint32_t len = static_cast<uint32_t>(bytes.size());
    Bits(len, 16);
    Bits((len ^ 0xFFFF) ^ (badNlen ? 1 : 0), 16);
    Data.insert(Data.end(), bytes.begin(), bytes.end());
  }

  std::vector<uint8_t> Data;

 private:
  unsigned FBit = 0;
  std::vector<uint8_t> FLitLens, FDistLens;
  std::vector<uint32_t> FLitCodes, FDistCodes;
};

}  // namespace quil::test
