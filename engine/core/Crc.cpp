#include "engine/core/Crc.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUIL_CRC_FOLDING 1
#endif

namespace quil {

namespace {

constexpr uint32_t kPoly32 = 0xEDB88320u;  // reflected 0x04C11DB7
constexpr uint16_t kPoly16 = 0xA001u;      // reflected 0x8005

constexpr std::array<uint32_t, 256> MakeTable32() {
  std::array<uint32_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = b;
    for (int i = 0; i < 8; ++i) r = (r >> 1) ^ ((r & 1u) ? kPoly32 : 0u);
    t[b] = r;
  }
  return t;
}

constexpr std::array<uint16_t, 256> MakeTable16() {
  std::array<uint16_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = b;
    for (int i = 0; i < 8; ++i) r = (r >> 1) ^ ((r & 1u) ? kPoly16 : 0u);
    t[b] = static_cast<uint16_t>(r);
  }
  return t;
}

// Slicing by 8: row k holds the register contribution of a byte followed by k zero bytes, so eight
// bytes are folded in with eight independent look-ups.
using SliceTables = std::array<std::array<uint32_t, 256>, 8>;
constexpr SliceTables MakeSliceTables() {
  SliceTables t{};
  t[0] = MakeTable32();
  for (int k = 1; k < 8; ++k)
    for (int b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  return t;
}
alignas(64) constexpr SliceTables kSlice = MakeSliceTables();

// Buffers shorter than this take slicing by 8 even where folding is available.
constexpr size_t kFoldMin = 64;

}  // namespace

const std::array<uint32_t, 256> Crc32Table = MakeTable32();
const std::array<uint16_t, 256> Crc16Table = MakeTable16();

namespace crc_impl {

uint32_t Bytewise(uint32_t reg, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) reg = Crc32Table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
  return reg;
}

uint32_t Slice8(uint32_t reg, const uint8_t* p, size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    while (n >= 8) {
      uint64_t v;
      std::memcpy(&v, p, 8);
      v ^= reg;
      reg = kSlice[7][v & 0xFF] ^ kSlice[6][(v >> 8) & 0xFF] ^ kSlice[5][(v >> 16) & 0xFF] ^
            kSlice[4][(v >> 24) & 0xFF] ^ kSlice[3][(v >> 32) & 0xFF] ^
            kSlice[2][(v >> 40) & 0xFF] ^ kSlice[1][(v >> 48) & 0xFF] ^ kSlice[0][v >> 56];
      p += 8;
      n -= 8;
    }
  }
  return Bytewise(reg, p, n);
}

#ifdef QUIL_CRC_FOLDING

// Folding with carry-less multiplication.
//
// Read a 16-byte block little-endian into a 128-bit lane: bit k of the lane is the coefficient of
// x^(127-k) when the block is seen as a polynomial ending at x^0 (the first bit of the stream is
// the highest power, as in every reflected CRC). The low 64-bit half L then stands for
// L(x) * x^64 and the high half H for H(x). To move a lane D bits further down the stream it is
// multiplied by x^D, and since only the value modulo P(x) matters, by x^D mod P(x):
//   L * x^(64+D) + H * x^D  ==  L * (x^(64+D) mod P) + H * (x^D mod P)      (mod P).
// A 64 x 33-bit carry-less product of a reflected half and a reflected constant lands in the lane
// one step "too high" by x^32 (the product's bit k is the coefficient of x^(95-k)), so the
// constants are taken 32 powers lower: x^(32+D) and x^(D-32), bit-reversed into 33 bits.
// The product is at most 96 bits wide and is added (xor) to the block D bits later.
//
// Several lanes run side by side so that the multiplier's latency is hidden; at the end they are
// folded into one (D = 128), which also takes the remaining whole 16-byte blocks. That last lane
// is congruent to the whole message, so its CRC from a zero register is the CRC of the message.

// x^n mod P(x) as the 33-bit reflected constant described above.
constexpr uint64_t FoldConstant(int n) {
  uint32_t r = 1;  // x^0, normal bit order
  for (int i = 0; i < n; ++i) r = (r << 1) ^ ((r & 0x80000000u) ? 0x04C11DB7u : 0u);
  uint32_t rev = 0;
  for (int i = 0; i < 32; ++i)
    if ((r >> i) & 1u) rev |= 1u << (31 - i);
  return static_cast<uint64_t>(rev) << 1;
}

constexpr uint64_t kFold128Low = FoldConstant(128 + 32), kFold128High = FoldConstant(128 - 32);
constexpr uint64_t kFold512Low = FoldConstant(512 + 32), kFold512High = FoldConstant(512 - 32);
constexpr uint64_t kFold2048Low = FoldConstant(2048 + 32), kFold2048High = FoldConstant(2048 - 32);

#define QUIL_TARGET_CLMUL __attribute__((target("pclmul,sse4.1")))
#define QUIL_TARGET_WIDE __attribute__((target("pclmul,sse4.1,avx512f,vpclmulqdq")))

QUIL_TARGET_CLMUL static inline __m128i Fold(__m128i lane, __m128i k, __m128i next) {
  __m128i lo = _mm_clmulepi64_si128(lane, k, 0x00);  // L * k.low
  __m128i hi = _mm_clmulepi64_si128(lane, k, 0x11);  // H * k.high
  return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

QUIL_TARGET_CLMUL static inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

QUIL_TARGET_CLMUL static inline __m128i Constants(uint64_t low, uint64_t high) {
  return _mm_set_epi64x(static_cast<int64_t>(high), static_cast<int64_t>(low));
}

// The CRC of whatever one lane holds, from a zero register.
QUIL_TARGET_CLMUL static uint32_t LaneCrc(__m128i lane) {
  alignas(16) uint8_t bytes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(bytes), lane);
  return Slice8(0, bytes, 16);
}

// Four 128-bit lanes over 64-byte steps (D = 512), then one lane (D = 128). n is a multiple of 16
// and at least 64.
QUIL_TARGET_CLMUL static uint32_t FoldBlocks(uint32_t reg, const uint8_t* p, size_t n) {
  const __m128i k512 = Constants(kFold512Low, kFold512High);
  const __m128i k128 = Constants(kFold128Low, kFold128High);
  // The start register is added to the first 32 bits of the stream.
  __m128i a = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i b = Load(p + 16), c = Load(p + 32), d = Load(p + 48);
  p += 64;
  n -= 64;
  while (n >= 64) {
    a = Fold(a, k512, Load(p));
    b = Fold(b, k512, Load(p + 16));
    c = Fold(c, k512, Load(p + 32));
    d = Fold(d, k512, Load(p + 48));
    p += 64;
    n -= 64;
  }
  a = Fold(a, k128, b);
  a = Fold(a, k128, c);
  a = Fold(a, k128, d);
  for (; n >= 16; p += 16, n -= 16) a = Fold(a, k128, Load(p));
  return LaneCrc(a);
}

// The same with 512-bit registers, each holding four 128-bit lanes side by side: four registers
// over 256-byte steps (D = 2048), then one register over 64-byte steps (D = 512), then its four
// lanes as consecutive blocks. n is a multiple of 16 and at least 256.
QUIL_TARGET_WIDE static inline __m512i WideFold(__m512i lanes, __m512i k, __m512i next) {
  __m512i lo = _mm512_clmulepi64_epi128(lanes, k, 0x00);
  __m512i hi = _mm512_clmulepi64_epi128(lanes, k, 0x11);
  return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);  // lo xor hi xor next
}

QUIL_TARGET_WIDE static inline __m512i WideLoad(const uint8_t* p) {
  return _mm512_loadu_si512(p);
}

QUIL_TARGET_WIDE static inline __m512i WideConstants(uint64_t low, uint64_t high) {
  const auto l = static_cast<long long>(low), h = static_cast<long long>(high);
  return _mm512_set_epi64(h, l, h, l, h, l, h, l);
}

QUIL_TARGET_WIDE static uint32_t WideFoldBlocks(uint32_t reg, const uint8_t* p, size_t n) {
  const __m512i k2048 = WideConstants(kFold2048Low, kFold2048High);
  const __m512i k512 = WideConstants(kFold512Low, kFold512High);
  const __m128i k128 = Constants(kFold128Low, kFold128High);
  const __m512i start =
      _mm512_inserti32x4(_mm512_setzero_si512(), _mm_cvtsi32_si128(static_cast<int>(reg)), 0);
  __m512i a = _mm512_xor_si512(WideLoad(p), start);
  __m512i b = WideLoad(p + 64), c = WideLoad(p + 128), d = WideLoad(p + 192);
  p += 256;
  n -= 256;
  while (n >= 256) {
    a = WideFold(a, k2048, WideLoad(p));
    b = WideFold(b, k2048, WideLoad(p + 64));
    c = WideFold(c, k2048, WideLoad(p + 128));
    d = WideFold(d, k2048, WideLoad(p + 192));
    p += 256;
    n -= 256;
  }
  a = WideFold(a, k512, b);
  a = WideFold(a, k512, c);
  a = WideFold(a, k512, d);
  for (; n >= 64; p += 64, n -= 64) a = WideFold(a, k512, WideLoad(p));
  alignas(64) uint8_t four[64];
  _mm512_store_si512(four, a);
  __m128i x = Load(four);
  x = Fold(x, k128, Load(four + 16));
  x = Fold(x, k128, Load(four + 32));
  x = Fold(x, k128, Load(four + 48));
  for (; n >= 16; p += 16, n -= 16) x = Fold(x, k128, Load(p));
  return LaneCrc(x);
}

bool FoldedAvailable() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  }();
  return available;
}

bool WideFoldedAvailable() {
  static const bool available = [] {
    __builtin_cpu_init();
    return FoldedAvailable() && __builtin_cpu_supports("avx512f") &&
           __builtin_cpu_supports("vpclmulqdq");
  }();
  return available;
}

uint32_t Folded(uint32_t reg, const uint8_t* p, size_t n) {
  if (n < 64) return Slice8(reg, p, n);
  const size_t whole = n & ~static_cast<size_t>(15);
  reg = FoldBlocks(reg, p, whole);
  return Slice8(reg, p + whole, n - whole);
}

uint32_t WideFolded(uint32_t reg, const uint8_t* p, size_t n) {
  if (n < 256) return Folded(reg, p, n);
  const size_t whole = n & ~static_cast<size_t>(15);
  reg = WideFoldBlocks(reg, p, whole);
  return Slice8(reg, p + whole, n - whole);
}

#else

bool FoldedAvailable() { return false; }
bool WideFoldedAvailable() { return false; }
uint32_t Folded(uint32_t reg, const uint8_t* p, size_t n) { return Slice8(reg, p, n); }
uint32_t WideFolded(uint32_t reg, const uint8_t* p, size_t n) { return Slice8(reg, p, n); }

#endif

}  // namespace crc_impl

namespace {
using Crc32Path = uint32_t (*)(uint32_t, const uint8_t*, size_t);

// The fastest path this processor runs, chosen on first use.
Crc32Path LongBufferPath() {
  static const Crc32Path path = crc_impl::WideFoldedAvailable() ? crc_impl::WideFolded
                                : crc_impl::FoldedAvailable()   ? crc_impl::Folded
                                                                : crc_impl::Slice8;
  return path;
}
}  // namespace

void CrcUpdate32(const void* data, size_t length, uint32_t& reg) {
  const auto* p = static_cast<const uint8_t*>(data);
  reg = length >= kFoldMin ? LongBufferPath()(reg, p, length) : crc_impl::Slice8(reg, p, length);
}

void CrcUpdate16(const void* data, size_t length, uint32_t& reg) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < length; ++i) reg = Crc16Table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
}

uint32_t Crc32Of(const void* data, size_t length) {
  uint32_t reg = 0xFFFFFFFFu;
  CrcUpdate32(data, length, reg);
  return ~reg;
}

uint16_t Crc16Of(const void* data, size_t length) {
  uint32_t reg = 0;
  CrcUpdate16(data, length, reg);
  return static_cast<uint16_t>(reg);
}

}  // namespace quil
