#include "engine/decode/Explode.h"

#include <algorithm>

#include "engine/core/Messages.h"

namespace quil {

TExploder::TExploder(TByteInput& in, TOutWindow& out, uint16_t flag, int64_t size)
    : FBits(in), FOut(out), FLargeDictionary(flag & 2), FLiteralTree(flag & 4), FSize(size) {}

int32_t TExploder::Need(int n) {
  const int32_t v = FBits.Bits(n);
  if (v < 0) throw E_RAISE(kMsgUnexpectedEnd);
  return v;
}

void TExploder::ReadTree(TTree& tree, int leaves) {
  // Stored as run lengths: a byte with the count of bytes that follow minus 1, then per byte a
  // bit length (low 4 bits + 1) repeated (high 4 bits + 1) times, for values 0, 1, 2 ...
  struct TCode {
    uint8_t Len;
    uint16_t Value;
  };
  std::vector<TCode> codes;
  const int bytes = Need(8) + 1;
  for (int i = 0; i < bytes; ++i) {
    const int b = Need(8);
    const int len = (b & 15) + 1;
    const int repeat = (b >> 4) + 1;
    for (int r = 0; r < repeat; ++r) {
      if (static_cast<int>(codes.size()) >= leaves) throw E_RAISE(kMsgAmbiguousTree);
      codes.push_back({static_cast<uint8_t>(len), static_cast<uint16_t>(codes.size())});
    }
  }
  std::stable_sort(codes.begin(), codes.end(),
                   [](const TCode& a, const TCode& b) { return a.Len < b.Len; });

  // Codes are handed out from the longest to the shortest: the last element gets all zeros.
  tree.assign(1, {0, 0});
  uint16_t code = 0, increment = 0;
  uint8_t lastLen = 0;
  for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
    code = static_cast<uint16_t>(code + increment);
    if (it->Len != lastLen) {
      lastLen = it->Len;
      increment = static_cast<uint16_t>(1u << (16 - lastLen));
    }
    // Insert the top Len bits of the code, most significant first.
    int32_t node = 0;
    for (int bit = 0; bit < it->Len; ++bit) {
      const int b = (code >> (15 - bit)) & 1;
      int32_t& child = tree[node][b];
      if (bit + 1 == it->Len) {
        if (child != 0) throw E_RAISE(kMsgAmbiguousTree);
        child = -(static_cast<int32_t>(it->Value) + 1);
        break;
      }
      if (child < 0) throw E_RAISE(kMsgAmbiguousTree);
      if (child == 0) {
        child = static_cast<int32_t>(tree.size());
        tree.push_back({0, 0});  // `child` is not used after this point
        node = static_cast<int32_t>(tree.size() - 1);
      } else {
        node = child;
      }
    }
  }
}

int32_t TExploder::Decode(const TTree& tree) {
  int32_t node = 0;
  for (;;) {
    const int32_t b = FBits.Bits(1);
    if (b < 0) return -1;
    const int32_t child = tree[node][b];
    if (child == 0) throw E_RAISE(kMsgAmbiguousTree);
    if (child < 0) return -(child + 1);
    node = child;
  }
}

void TExploder::Run() {
  if (FLiteralTree) ReadTree(FLiterals, 256);
  ReadTree(FLengths, 64);
  ReadTree(FDistances, 64);
  const int lowBits = FLargeDictionary ? 7 : 6;
  const uint32_t dictMask = FLargeDictionary ? 8191 : 4095;
  const uint32_t minMatch = FLiteralTree ? 3 : 2;

  while (!Done()) {
    const int32_t flag = FBits.Bits(1);
    if (flag < 0) break;
    if (flag == 1) {
      const int32_t lit = FLiteralTree ? Decode(FLiterals) : FBits.Bits(8);
      if (lit < 0) break;
      FOut.Put(static_cast<uint8_t>(lit));
      continue;
    }
    const int32_t low = FBits.Bits(lowBits);
    if (low < 0) break;
    const int32_t high = Decode(FDistances);
    if (high < 0) break;
    const uint32_t distance = ((static_cast<uint32_t>(high) << lowBits) | low) & dictMask;
    int32_t length = Decode(FLengths);
    if (length < 0) break;
    if (length == 63) {
      const int32_t more = FBits.Bits(8);
      if (more < 0) break;
      length += more;
    }
    const uint32_t total = static_cast<uint32_t>(length) + minMatch;
    for (uint32_t k = 0; k < total && !Done(); ++k) FOut.Put(FOut.Back(distance + 1));
  }
  if (!Done() && FSize >= 0) throw E_RAISE(kMsgUnexpectedEnd);
}

}  // namespace quil
