// Small services the directory readers share: little-endian fields, exact reads, moving to the
// next header without ever going backwards, stored-name conversion and the next volume of a set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quil {

class TZuvOD;

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Le64(const uint8_t* p) {
  return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
}

namespace reader {

// Reads exactly `n` bytes at `pos`; a short read raises 25236.
void ReadExact(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n);
// Reads up to `n` bytes at `pos`; the number read (0 on an error).
int64_t ReadSome(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n);
// Ends the listing after this step.
void StopListing(TZuvOD& z);
// Moves the read position to the next header at `next`. A position that is not past
// `headerStart` (a chain pointing back or at itself) ends the listing instead.
void MoveTo(TZuvOD& z, int64_t next, int64_t headerStart);
// Refuses a damaged header: 25108 "Bad file header".
[[noreturn]] void BadHeader(TZuvOD& z);
// The zero-terminated text at `pos`, at most `maxLen` bytes before the zero; `pos` moves past the
// zero. nullopt when the zero is missing within the limit or the file ends first.
std::optional<std::string> ReadZText(TZuvOD& z, int64_t& pos, int maxLen);
// The bytes up to the first zero (all of them when there is none).
std::string UpToZero(const uint8_t* p, size_t n);
// A DOS-made stored name (CP437) as UTF-8 with '/' separators.
std::string OemName(std::string_view raw);
// A stored name that is UTF-8 when it is well-formed, else CP437; '/' separators.
std::string Utf8OrOemName(std::string_view raw);
// Appends one '/' to a folder entry's name unless it has one.
std::string AsFolder(std::string name);

// Name of the next volume after `current` (same case as its extension):
//   x.part1.rar -> x.part2.rar, x.part01.rar -> x.part02.rar   (newStyle)
//   x.rar -> x.r00 -> x.r01 ... -> x.r99 -> x.s00             (letter 'r')
//   x.ace -> x.c00 ...;  x.arj -> x.a01 ...
// `number` is the 0-based number of the volume wanted after the first (for the letter scheme).
std::string NextVolumeFileName(const std::string& current, char letter, int number);
// True when `name` ends with ".part<digits>.rar" (any case).
bool IsNewStyleVolumeName(const std::string& name);
// Asks for and opens volume `name` (the OnNextVolume protocol), reopening the lister's archive
// file on it; updates the archive size, the end position and VolumeName. False when refused.
bool SwitchToVolume(TZuvOD& z, std::string name, int number);

}  // namespace reader
}  // namespace quil
