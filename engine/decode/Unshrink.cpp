#include "engine/decode/Unshrink.h"

#include "engine/core/Messages.h"

namespace quil {

TUnshrinker::TUnshrinker(TByteInput& in, TOutWindow& out)
    : FBits(in), FOut(out), FParent(kCodes, -1), FChar(kCodes, 0), FChildren(kCodes, 0),
      FFree(kCodes, 0), FStack(kCodes) {
  for (int c = 0; c < 256; ++c) FChar[c] = static_cast<uint8_t>(c);
  for (int c = 257; c < kCodes; ++c) FFree[c] = static_cast<uint16_t>(c);
}

void TUnshrinker::PartialClear() {
  // Every code without children (leaves and unused codes) goes back to the free list, so that new
  // codes are assigned from the lowest cleared one upwards.
  std::vector<uint16_t> leaves;
  for (int c = 257; c < kCodes; ++c)
    if (FChildren[c] == 0) leaves.push_back(static_cast<uint16_t>(c));
  FFreeIndex = kCodes;
  for (auto it = leaves.rbegin(); it != leaves.rend(); ++it) {
    const int c = *it;
    const int p = FParent[c];
    if (p >= 0 && FChildren[p] > 0) --FChildren[p];
    FParent[c] = -1;
    FChar[c] = 0;
    FChildren[c] = 0;
    FFree[--FFreeIndex] = static_cast<uint16_t>(c);
  }
}

void TUnshrinker::Run() {
  int codeSize = 9;
  int32_t code = FBits.Bits(codeSize);
  if (code < 0 || code > 255) throw E_RAISE(kMsgBadBlock);
  FOut.Put(static_cast<uint8_t>(code));
  int32_t prevCode = code;
  uint8_t prevChar = static_cast<uint8_t>(code);

  for (;;) {
    code = FBits.Bits(codeSize);
    if (code < 0) break;
    if (code == kControl) {
      const int32_t sub = FBits.Bits(codeSize);
      if (sub == 1) {
        if (++codeSize > 13) throw E_RAISE(kMsgBadBlock);
      } else if (sub == 2) {
        PartialClear();
      } else {
        throw E_RAISE(kMsgBadBlock);
      }
      continue;
    }
    if (code >= kCodes) throw E_RAISE(kMsgBadBlock);

    size_t depth = 0;
    int32_t cur = code;
    if (cur > kControl && FParent[cur] < 0) {
      // Not yet defined: the previous string followed by its own first character.
      FStack[depth++] = prevChar;
      cur = prevCode;
    }
    while (cur > kControl) {
      if (FParent[cur] < 0) throw E_RAISE(kMsgBadBlock);  // chain through a cleared code
      if (depth >= FStack.size()) {
        FOut.Flush();
        throw E_RAISE(kMsgStackOverflow);
      }
      FStack[depth++] = FChar[cur];
      cur = FParent[cur];
    }
    if (cur == kControl) throw E_RAISE(kMsgBadBlock);
    const uint8_t first = static_cast<uint8_t>(cur);
    FOut.Put(first);
    while (depth > 0) FOut.Put(FStack[--depth]);

    if (FFreeIndex < kCodes) {
      const int nc = FFree[FFreeIndex++];
      FParent[nc] = prevCode;
      FChar[nc] = first;
      ++FChildren[prevCode];
    }
    prevCode = code;
    prevChar = first;
  }
}

}  // namespace quil
