// The current-entry record that directory readers and extractors fill for one entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quil {

// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;
inline constexpr TDateTime DateOf1980 = 29221.0;  // 1 January 1980 00:00

struct TEntryInfo {
  std::string FileName;          // stored path, converted to UTF-8, folders separated by PathDelim
  bool Encrypted = false;
  int64_t PackedSize = 0;
  int64_t UnpackedSize = 0;
  uint8_t Ratio = 0;             // percent saved (RatioOf)
  uint32_t CRC = 0;              // CRC-32, or CRC-16 in the low half
  std::string MethodName;
  uint16_t Method = 0;
  TDateTime FileDate = 0;
  uint8_t DeflateLevel = 0;      // ZIP only
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint16_t InternalAttr = 0;
  uint32_t ExternalAttr = 0;     // DOS attributes (0x10 directory, 0x20 archive, 0x01 read-only, ...)
  uint32_t UnixMode = 0;         // st_mode bits where the format stores them, else 0
  std::optional<std::string> FileComment;  // valid only during the entry's event
};

// Percent saved by packing U bytes into P bytes: 0 when nothing was saved; a saving that rounds
// down to 0 is reported as 1.
inline uint8_t RatioOf(int64_t P, int64_t U) {
  if (P <= 0 || U <= 0 || U <= P) return 0;
  if (U - P > 100000) { P /= 100; U /= 100; }
  if (U <= 0) return 0;
  int64_t r = (U - P) * 100 / U;
  if (r == 0) r = 1;
  return static_cast<uint8_t>(r > 100 ? 100 : r);
}

}  // namespace quil
