#include "engine/decode/Inflate.h"

#include <algorithm>
#include <cstring>

#include "engine/core/Messages.h"

namespace quil {

namespace {

// A table entry (32 bits):
//   bits 0-7   bits to drop for this entry: code bits + extra bits
//   bits 8-11  code bits (for a sub-table link: the sub-table's index width)
//   bits 12-15 kind
//   bits 16-31 literal value, length or distance base, or the sub-table's first index
enum : uint32_t { kLiteral = 0, kBase = 1, kEndOfBlock = 2, kLink = 3, kInvalid = 4 };

constexpr uint32_t Kind(uint32_t e) { return (e >> 12) & 0xF; }
constexpr uint32_t Value(uint32_t e) { return e >> 16; }
constexpr unsigned DropBits(uint32_t e) { return e & 0xFF; }
constexpr unsigned CodeBits(uint32_t e) { return (e >> 8) & 0xF; }
// A symbol's template: value, kind and extra-bit count; the builder adds the code bits.
constexpr uint32_t Template(uint32_t value, uint32_t kind, uint32_t extra) {
  return (value << 16) | (kind << 12) | extra;
}
constexpr uint32_t kInvalidEntry = Template(0, kInvalid, 0);

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// Order in which the code-length code lengths are stored.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

struct TTemplates {
  uint32_t Lit[288];
  uint32_t Dist[32];
  uint32_t CodeLen[19];
  constexpr TTemplates() : Lit(), Dist(), CodeLen() {
    for (uint32_t s = 0; s < 256; ++s) Lit[s] = Template(s, kLiteral, 0);
    Lit[256] = Template(0, kEndOfBlock, 0);
    for (uint32_t s = 257; s < 286; ++s)
      Lit[s] = Template(kLengthBase[s - 257], kBase, kLengthExtra[s - 257]);
    Lit[286] = Lit[287] = kInvalidEntry;  // may carry a length, never decode
    for (uint32_t s = 0; s < 30; ++s) Dist[s] = Template(kDistBase[s], kBase, kDistExtra[s]);
    Dist[30] = Dist[31] = kInvalidEntry;
    for (uint32_t s = 0; s < 19; ++s) CodeLen[s] = Template(s, kLiteral, 0);
  }
};
constexpr TTemplates kTemplates;

enum TBuildResult { kComplete, kIncomplete, kOversubscribed };

uint32_t Reverse(uint32_t code, unsigned len) {
  uint32_t r = 0;
  for (unsigned i = 0; i < len; ++i, code >>= 1) r = (r << 1) | (code & 1);
  return r;
}

// Builds the decoding table of a canonical prefix code from its code lengths (0 = unused, at
// most 15). The first `bits` bits of the input index the first level; longer codes go through
// sub-tables all of the same width. Holes of an incomplete code decode as invalid.
TBuildResult BuildTable(const uint8_t* lens, unsigned n, const uint32_t* templ, unsigned bits,
                        std::vector<uint32_t>& table, unsigned* usedCodes = nullptr,
                        unsigned* maxLenOut = nullptr) {
  unsigned count[16] = {};
  for (unsigned s = 0; s < n; ++s) ++count[lens[s] & 15];
  count[0] = 0;
  int left = 1;
  unsigned maxLen = 0, used = 0;
  for (unsigned len = 1; len <= 15; ++len) {
    left = (left << 1) - static_cast<int>(count[len]);
    if (left < 0) return kOversubscribed;
    if (count[len]) maxLen = len;
    used += count[len];
  }
  if (usedCodes) *usedCodes = used;
  if (maxLenOut) *maxLenOut = maxLen;

  // Symbols sorted by code length, then by value.
  unsigned offs[17] = {};
  for (unsigned len = 1; len <= 15; ++len) offs[len + 1] = offs[len] + count[len];
  uint16_t sorted[288];
  for (unsigned s = 0; s < n; ++s)
    if (lens[s]) sorted[offs[lens[s]]++] = static_cast<uint16_t>(s);

  const uint32_t mainSize = 1u << bits;
  const unsigned subBits = maxLen > bits ? maxLen - bits : 0;
  table.assign(mainSize, kInvalidEntry);
  uint32_t code = 0;
  unsigned k = 0;
  for (unsigned len = 1; len <= maxLen; ++len, code <<= 1) {
    for (unsigned c = 0; c < count[len]; ++c, ++code) {
      const uint32_t t = templ[sorted[k++]];
      const uint32_t rev = Reverse(code, len);
      if (len <= bits) {
        const uint32_t e = (t & 0xFFFFF000u) | (len << 8) | (len + (t & 0xFF));
        for (uint32_t i = rev; i < mainSize; i += 1u << len) table[i] = e;
        continue;
      }
      const uint32_t prefix = rev & (mainSize - 1);
      if (Kind(table[prefix]) != kLink) {
        const uint32_t start = static_cast<uint32_t>(table.size());
        table.resize(start + (1u << subBits), kInvalidEntry);
        table[prefix] = (start << 16) | (kLink << 12) | (subBits << 8) | bits;
      }
      const uint32_t start = Value(table[prefix]);
      const unsigned rest = len - bits;
      const uint32_t e = (t & 0xFFFFF000u) | (rest << 8) | (rest + (t & 0xFF));
      for (uint32_t i = rev >> bits; i < (1u << subBits); i += 1u << rest) table[start + i] = e;
    }
    if (k == used) break;
  }
  return left > 0 ? kIncomplete : kComplete;
}

// A literal/length or distance code is usable when complete, or when it is a single code of
// length 1 (one symbol, the other half of the code space decodes as invalid).
bool Usable(TBuildResult r, unsigned used, unsigned maxLen) {
  if (r == kComplete) return true;
  return r == kIncomplete && used == 1 && maxLen == 1;
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;  // little-endian host
}

}  // namespace

TInflater::TInflater(TByteInput& in, TDecodeOutput& out)
    : FIn(in), FOut(out), FBuf(new uint8_t[kCap + kSlack]) {
  ComputeStop();
}

void TInflater::Refill() {
  if (FIn.End - FIn.Next < 8) FIn.Refill();  // keeps the unread bytes, appends the next block
  if (FIn.End - FIn.Next >= 8) {
    FBitBuf |= Load64(FIn.Next) << FBitCnt;
    FIn.Next += (63 - FBitCnt) >> 3;
    FBitCnt |= 56;
    return;
  }
  while (FBitCnt < 56) {
    if (FIn.Next == FIn.End && !FIn.Refill() && FIn.Next == FIn.End) {
      // No more input: further bits read as zero; consuming them is an error (CheckInput).
      FPadBits += 8;
      FBitCnt += 8;
      continue;
    }
    if (FIn.End - FIn.Next >= 8) {
      FBitBuf |= Load64(FIn.Next) << FBitCnt;
      FIn.Next += (63 - FBitCnt) >> 3;
      FBitCnt |= 56;
      return;
    }
    FBitBuf |= static_cast<uint64_t>(*FIn.Next++) << FBitCnt;
    FBitCnt += 8;
  }
}

void TInflater::CheckInput() const {
  if (FBitCnt < FPadBits) throw E_RAISE(kMsgBadBlock);
}

void TInflater::ComputeStop() {
  const int64_t room = FOut.Room() - static_cast<int64_t>(FPos - FFlushed);
  FStop = FPos + static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(kCap - FPos)));
}

void TInflater::Flush() {
  if (FPos > FFlushed) {
    const size_t from = FFlushed;
    FFlushed = FPos;
    FOut.Write(FBuf.get() + from, FPos - from);
  }
}

void TInflater::MakeRoom() {
  if (FPos >= kCap) {
    Flush();
    std::memmove(FBuf.get(), FBuf.get() + FPos - kWindow, kWindow);
    FPos = FFlushed = kWindow;
  }
  ComputeStop();
  if (FPos >= FStop) {
    Flush();
    throw E_RAISE(kMsgOutputTooLong);
  }
}

void TInflater::FlushPending() noexcept {
  try {
    Flush();
  } catch (...) {
  }
}

template <unsigned LitBits, unsigned DistBits>
void TInflater::DecodeSymbols(const uint32_t* lit, const uint32_t* dist, int symbolError) {
  constexpr unsigned litBits = LitBits, distBits = DistBits;
  constexpr uint64_t litMask = (uint64_t{1} << litBits) - 1;
  constexpr uint64_t distMask = (uint64_t{1} << distBits) - 1;
  uint8_t* const out = FBuf.get();

  // Hot state in locals; written back around every call that uses the members.
  uint64_t bb = FBitBuf;
  unsigned bc = FBitCnt;
  const uint8_t* in = FIn.Next;
  const uint8_t* inEnd = FIn.End;
  size_t pos = FPos;
  size_t stop = FStop;
  unsigned pad = FPadBits;

#define QUIL_SAVE() (FBitBuf = bb, FBitCnt = bc, FIn.Next = in, FPos = pos)
#define QUIL_LOAD()                                                                        \
  (bb = FBitBuf, bc = FBitCnt, in = FIn.Next, inEnd = FIn.End, pos = FPos, stop = FStop, \
   pad = FPadBits)

  for (;;) {
    if (inEnd - in >= 8) {
      bb |= Load64(in) << bc;
      in += (63 - bc) >> 3;
      bc |= 56;
    } else {
      QUIL_SAVE();
      Refill();
      QUIL_LOAD();
    }

    uint32_t e = lit[bb & litMask];
    if (Kind(e) == kLink) {
      bb >>= litBits;
      bc -= litBits;
      e = lit[Value(e) + (bb & ((uint64_t{1} << CodeBits(e)) - 1))];
    }
    const uint32_t kind = Kind(e);
    if (kind == kLiteral) {
      bb >>= DropBits(e);
      bc -= DropBits(e);
      if (bc < pad) break;
      if (pos >= stop) {
        QUIL_SAVE();
        MakeRoom();
        QUIL_LOAD();
      }
      out[pos++] = static_cast<uint8_t>(Value(e));
      // At least 41 bits remain after a refill and one literal: enough for one more literal,
      // taken here without a refill when it is one.
      e = lit[bb & litMask];
      if (Kind(e) == kLiteral && pos < stop) {
        bb >>= DropBits(e);
        bc -= DropBits(e);
        if (bc < pad) break;
        out[pos++] = static_cast<uint8_t>(Value(e));
      }
      continue;
    }
    if (kind != kBase) {
      if (kind == kEndOfBlock) {
        bb >>= DropBits(e);
        bc -= DropBits(e);
        if (bc < pad) break;
        QUIL_SAVE();
        return;
      }
      QUIL_SAVE();
      CheckInput();  // running out of input is the more telling error
      throw E_RAISE(symbolError);
    }
    unsigned drop = DropBits(e);
    const uint32_t len = Value(e) + static_cast<uint32_t>((bb & ((uint64_t{1} << drop) - 1)) >>
                                                          CodeBits(e));
    bb >>= drop;
    bc -= drop;

    e = dist[bb & distMask];
    if (Kind(e) == kLink) {
      bb >>= distBits;
      bc -= distBits;
      e = dist[Value(e) + (bb & ((uint64_t{1} << CodeBits(e)) - 1))];
    }
    if (Kind(e) != kBase) {
      QUIL_SAVE();
      CheckInput();
      throw E_RAISE(symbolError);
    }
    drop = DropBits(e);
    const uint32_t d = Value(e) + static_cast<uint32_t>((bb & ((uint64_t{1} << drop) - 1)) >>
                                                        CodeBits(e));
    bb >>= drop;
    bc -= drop;
    if (bc < pad) break;
    if (d > pos) {
      QUIL_SAVE();
      throw E_RAISE(kMsgCorruptInput);  // reaches before the start of the data
    }

    if (len <= stop - pos) {
      uint8_t* dst = out + pos;
      const uint8_t* src = dst - d;
      uint8_t* const end = dst + len;
      pos += len;
      if (d >= 16) {
        do {
          std::memcpy(dst, src, 16);
          dst += 16;
          src += 16;
        } while (dst < end);
      } else if (d >= 8) {
        do {
          std::memcpy(dst, src, 8);
          dst += 8;
          src += 8;
        } while (dst < end);
      } else if (d == 1) {
        std::memset(dst, *src, len);
      } else {
        do *dst++ = *src++;
        while (dst < end);
      }
      continue;
    }
    // Near the end of the buffer or of the allowed output: one byte at a time.
    for (uint32_t k = 0; k < len; ++k) {
      if (pos >= stop) {
        QUIL_SAVE();
        MakeRoom();
        QUIL_LOAD();
      }
      out[pos] = out[pos - d];
      ++pos;
    }
  }
  // Bits past the end of the input were consumed.
  QUIL_SAVE();
  throw E_RAISE(kMsgBadBlock);
#undef QUIL_SAVE
#undef QUIL_LOAD
}


void TInflater::Run() {
  for (;;) {
    FOut.CheckCancel();
    Refill();
    const uint32_t last = Take(1);
    const uint32_t type = Take(2);
    CheckInput();
    switch (type) {
      case 0:
        StoredBlock();
        break;
      case 1:
        if (FFixedLit.empty()) BuildFixed();
        DecodeSymbols<9, 5>(FFixedLit.data(), FFixedDist.data(), kMsgBadBlock);
        break;
      case 2:
        DynamicTables();
        DecodeSymbols<11, 8>(FLit.data(), FDist.data(), kMsgIncompleteCodeSet);
        break;
      default:
        throw E_RAISE(kMsgBadBlock);
    }
    if (last) break;
  }
  Flush();
}

void TInflater::StoredBlock() {
  Take(FBitCnt & 7);
  Refill();
  const uint32_t len = Take(16);
  const uint32_t nlen = Take(16);
  CheckInput();
  if ((len ^ 0xFFFF) != nlen) throw E_RAISE(kMsgBadBlock);
  uint32_t left = len;
  // Whole bytes still in the bit buffer come first.
  while (left > 0 && FBitCnt >= 8) {
    const uint8_t b = static_cast<uint8_t>(Take(8));
    CheckInput();
    if (FPos >= FStop) MakeRoom();
    FBuf[FPos++] = b;
    --left;
  }
  if (FBitCnt < 8) {
    CheckInput();
    FBitBuf = 0;  // the bits above the count belong to bytes read directly below
    FBitCnt = 0;
    FPadBits = 0;
  }
  while (left > 0) {
    if (FIn.Next == FIn.End && !FIn.Refill() && FIn.Next == FIn.End)
      throw E_RAISE(kMsgBadBlock);
    if (FPos >= FStop) MakeRoom();
    const size_t n = std::min<size_t>({left, static_cast<size_t>(FIn.End - FIn.Next),
                                       FStop - FPos});
    std::memcpy(FBuf.get() + FPos, FIn.Next, n);
    FIn.Next += n;
    FPos += n;
    left -= static_cast<uint32_t>(n);
  }
}

void TInflater::BuildFixed() {
  uint8_t lens[288];
  std::fill(lens, lens + 144, 8);
  std::fill(lens + 144, lens + 256, 9);
  std::fill(lens + 256, lens + 280, 7);
  std::fill(lens + 280, lens + 288, 8);
  if (BuildTable(lens, 288, kTemplates.Lit, 9, FFixedLit) != kComplete)
    throw E_RAISE(kMsgIncompleteCodeSet);
  std::fill(lens, lens + 32, 5);
  if (BuildTable(lens, 32, kTemplates.Dist, 5, FFixedDist) == kOversubscribed)
    throw E_RAISE(kMsgIncompleteCodeSet);
}

void TInflater::DynamicTables() {
  Refill();
  const unsigned nlit = Take(5) + 257;
  const unsigned ndist = Take(5) + 1;
  const unsigned ncl = Take(4) + 4;
  uint8_t clLens[19] = {};
  for (unsigned i = 0; i < ncl; ++i) {
    if (FBitCnt < 3) Refill();
    clLens[kCodeLengthOrder[i]] = static_cast<uint8_t>(Take(3));
  }
  CheckInput();
  std::vector<uint32_t>& clTable = FDist;  // reused as scratch before the distance table
  if (BuildTable(clLens, 19, kTemplates.CodeLen, 7, clTable) != kComplete)
    throw E_RAISE(kMsgIncompleteCodeSet);

  uint8_t lens[288 + 32] = {};
  const unsigned total = nlit + ndist;
  unsigned i = 0;
  while (i < total) {
    if (FBitCnt < 14) Refill();  // longest: a 7-bit code and 7 extra bits
    const uint32_t e = clTable[FBitBuf & 127];
    if (Kind(e) != kLiteral) throw E_RAISE(kMsgIncompleteCodeSet);
    Take(CodeBits(e));
    const uint32_t sym = Value(e);
    unsigned rep;
    uint8_t val = 0;
    if (sym < 16) {
      lens[i++] = static_cast<uint8_t>(sym);
      CheckInput();
      continue;
    } else if (sym == 16) {
      if (i == 0) throw E_RAISE(kMsgIncompleteCodeSet);  // nothing to repeat
      val = lens[i - 1];
      rep = 3 + Take(2);
    } else if (sym == 17) {
      rep = 3 + Take(3);
    } else {
      rep = 11 + Take(7);
    }
    CheckInput();
    if (rep > total - i) throw E_RAISE(kMsgIncompleteCodeSet);
    std::memset(lens + i, val, rep);
    i += rep;
  }
  if (lens[256] == 0) throw E_RAISE(kMsgIncompleteCodeSet);  // no end-of-block code

  unsigned used = 0, maxLen = 0;
  TBuildResult r = BuildTable(lens, nlit, kTemplates.Lit, 11, FLit, &used, &maxLen);
  if (!Usable(r, used, maxLen)) throw E_RAISE(kMsgIncompleteCodeSet);
  r = BuildTable(lens + nlit, ndist, kTemplates.Dist, 8, FDist, &used, &maxLen);
  // No distance code at all is valid: the block then holds literals only.
  if (used != 0 && !Usable(r, used, maxLen)) throw E_RAISE(kMsgIncompleteCodeSet);
}

}  // namespace quil
