#include "engine/decode/Unreduce.h"

#include "engine/core/Messages.h"

namespace quil {

namespace {
constexpr uint8_t kDle = 144;

// Bits needed to index a follower set of n bytes.
int IndexBits(int n) {
  if (n <= 2) return 1;
  if (n <= 4) return 2;
  if (n <= 8) return 3;
  if (n <= 16) return 4;
  if (n <= 32) return 5;
  return 6;
}
}  // namespace

TUnreducer::TUnreducer(TByteInput& in, TOutWindow& out, int factor, int64_t size)
    : FBits(in), FOut(out), FFactor(factor), FSize(size) {}

int32_t TUnreducer::Need(int n) {
  const int32_t v = FBits.Bits(n);
  if (v < 0) throw E_RAISE(kMsgUnexpectedEnd);
  return v;
}

void TUnreducer::Run() {
  for (int set = 255; set >= 0; --set) {
    const int n = Need(6);
    if (n > 32) throw E_RAISE(kMsgCorruptInput);
    FCount[set] = static_cast<uint8_t>(n);
    for (int i = 0; i < n; ++i) FFollowers[set][i] = static_cast<uint8_t>(Need(8));
  }

  const uint32_t lengthMask = 0xFFu >> FFactor;  // 127, 63, 31, 15
  uint8_t last = 0;
  int state = 0;
  uint32_t v = 0, length = 0;
  while (!Done()) {
    int32_t c;
    if (FCount[last] == 0) {
      c = FBits.Bits(8);
    } else {
      c = FBits.Bits(1);
      if (c == 1) {
        c = FBits.Bits(8);
      } else if (c == 0) {
        c = FBits.Bits(IndexBits(FCount[last]));
        if (c >= 0) c = c < FCount[last] ? FFollowers[last][c] : -2;
      }
    }
    if (c == -2) throw E_RAISE(kMsgCorruptInput);  // index past the end of the follower set
    if (c < 0) {
      if (FSize < 0) break;  // unknown size: the end of the input ends the entry
      throw E_RAISE(kMsgUnexpectedEnd);
    }
    last = static_cast<uint8_t>(c);

    switch (state) {
      case 0:
        if (c == kDle) state = 1;
        else FOut.Put(last);
        break;
      case 1:
        if (c == 0) {
          FOut.Put(kDle);
          state = 0;
        } else {
          v = static_cast<uint32_t>(c);
          length = v & lengthMask;
          state = length == lengthMask ? 2 : 3;
        }
        break;
      case 2:
        length += static_cast<uint32_t>(c);
        state = 3;
        break;
      default: {
        const uint32_t distance = ((v >> (8 - FFactor)) << 8) + static_cast<uint32_t>(c) + 1;
        for (uint32_t k = 0; k < length + 3 && !Done(); ++k) FOut.Put(FOut.Back(distance));
        state = 0;
        break;
      }
    }
  }
}

}  // namespace quil
