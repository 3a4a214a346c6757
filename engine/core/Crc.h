// The two checksums archive formats store: CRC-32 (reflected polynomial 0xEDB88320: ZIP, GZIP,
// ARJ, RAR) and CRC-16/ARC (reflected polynomial 0xA001: ARC, LHA, ZOO).
//
// The update rules work on a raw register: the caller chooses the start value and any final
// complement (CRC-32 in ZIP starts at 0xFFFFFFFF and is complemented at the end; CRC-16/ARC starts
// at 0 and is used as is). Registers belong to the operation that checksums an entry
// (TCrcRegister); nothing here keeps state between calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quil {

extern const std::array<uint32_t, 256> Crc32Table;
extern const std::array<uint16_t, 256> Crc16Table;

// For each byte b: reg := Crc32Table[(reg xor b) and 0xFF] xor (reg shr 8). Long buffers take the
// fastest code path the processor offers; every path gives the same result.
void CrcUpdate32(const void* data, size_t length, uint32_t& reg);
// The same step with Crc16Table. A register that starts within 16 bits stays within 16 bits.
void CrcUpdate16(const void* data, size_t length, uint32_t& reg);

// The finished checksums of one buffer: CRC-32 as ZIP stores it (start 0xFFFFFFFF, complemented)
// and CRC-16/ARC (start 0).
uint32_t Crc32Of(const void* data, size_t length);
uint16_t Crc16Of(const void* data, size_t length);

// Checksum kinds for TCrcRegister; any other value checksums nothing.
inline constexpr int32_t CrcKind16 = 16;
inline constexpr int32_t CrcKind32 = 32;

// One checksum register, owned by the component or decoder run that checksums an entry. The
// engine's read and write hooks pass every block through Update with the run's checksum kind.
struct TCrcRegister {
  int32_t Kind = 0;
  uint32_t Value = 0;

  // Selects the kind and sets the start value.
  void Start(int32_t kind, uint32_t initial) {
    Kind = kind;
    Value = initial;
  }
  // Kind 32 applies the CRC-32 rule to Value, kind 16 the CRC-16 rule; any other kind does nothing.
  void Update(int32_t kind, const void* data, size_t length) {
    if (kind == CrcKind32)
      CrcUpdate32(data, length, Value);
    else if (kind == CrcKind16)
      CrcUpdate16(data, length, Value);
  }
  void Update(const void* data, size_t length) { Update(Kind, data, length); }
};

// The individual CRC-32 code paths, for the tests and the benchmark. All take and return a raw
// register.
namespace crc_impl {
uint32_t Bytewise(uint32_t reg, const uint8_t* p, size_t n);
uint32_t Slice8(uint32_t reg, const uint8_t* p, size_t n);
// Carry-less multiplication folding on 128-bit registers (x86-64 with PCLMULQDQ), and the same on
// 512-bit registers (AVX-512 with VPCLMULQDQ). Call each only when its ...Available() is true.
// Any length.
bool FoldedAvailable();
uint32_t Folded(uint32_t reg, const uint8_t* p, size_t n);
bool WideFoldedAvailable();
uint32_t WideFolded(uint32_t reg, const uint8_t* p, size_t n);
}  // namespace crc_impl

}  // namespace quil
