// Building the local headers, central headers and end records of the archives the library writes.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace quil::qzip {

// One entry of the new central directory.
struct CentralEntry {
  std::string Name;          // stored bytes
  uint16_t MadeBy = 0x031E;  // Unix, 3.0
  uint16_t Needed = 20;
  uint16_t Flag = 0;
  uint16_t Method = 0;
  uint32_t DosTime = 0;
  uint32_t Crc = 0;
  uint64_t CompressedSize = 0;
  uint64_t UncompressedSize = 0;
  uint64_t Offset = 0;
  uint16_t Internal = 0;
  uint32_t External = 0;
  std::string Extra;  // without a ZIP64 block (added here when needed)
  std::string Comment;
};

// DOS date (high 16 bits) and time (low 16 bits) of a Unix time, in local time; odd seconds are
// rounded up as DOS times count in steps of two. Times before 1980 give 1980-01-01 00:00.
uint32_t DosDateTime(int64_t unixTime);
// Bit 11 of the general flag when the name is UTF-8 with characters outside ASCII.
uint16_t Utf8Flag(const std::string& name);
// The extended time-stamp extra block (modification time), empty when the time does not fit.
std::string TimeExtra(int64_t mtime);

// Local header; with `zip64` a ZIP64 block carrying both sizes (the header fields say 0xFFFFFFFF).
std::string LocalHeader(const CentralEntry& e, bool zip64, const std::string& extra);
// Offset of the CRC field in a local header; the sizes follow it.
constexpr size_t kLocalCrcAt = 14;
std::string CentralHeader(const CentralEntry& e);
// The ZIP64 end record and locator when needed, then the end record with the comment.
std::string EndRecords(uint64_t count, uint64_t cdOffset, uint64_t cdSize,
                       const std::string& comment);

}  // namespace quil::qzip
