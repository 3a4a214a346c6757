// Little-endian field access and the record signatures of the ZIP format.
#pragma once

#include <cstdint>
#include <string>

namespace quil::qzip {

constexpr uint32_t kLocalSig = 0x04034B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;
constexpr uint32_t kDescriptorSig = 0x08074B50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kTimeExtraId = 0x5455;
constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kMax16 = 0xFFFF;

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | (uint64_t(Get32(p + 4)) << 32); }

// Appends little-endian fields to a byte string.
inline void Put16(std::string& s, uint32_t v) {
  s.push_back(char(v & 0xFF));
  s.push_back(char((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
inline void Put64(std::string& s, uint64_t v) {
  Put32(s, uint32_t(v));
  Put32(s, uint32_t(v >> 32));
}
inline void Set32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
}

}  // namespace quil::qzip
