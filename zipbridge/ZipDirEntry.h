// One central-directory entry of the ZIP maintenance object's model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quil {

struct ZipDirEntry {
  // The central header's fields from its offset 4 to 45, as stored.
  uint16_t MadeBy = 0;
  uint16_t NeededVersion = 0;
  uint16_t GeneralFlag = 0;
  uint16_t CompressionMethod = 0;
  uint32_t DosDateTime = 0;  // time in the low, date in the high 16 bits
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t StartDisk = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  uint32_t LocalHeaderOffset = 0;
  // Stored name after code-page conversion, '\\' turned into '/'; folders end with '/'.
  std::string EntryName;
  std::string EntryComment;
  bool IsEncrypted = false;
  // The sizes and offset with the ZIP64 extra field applied (equal to the fields above when the
  // entry has none).
  uint64_t CompressedSize64 = 0;
  uint64_t UncompressedSize64 = 0;
  uint64_t LocalHeaderOffset64 = 0;

  bool IsFolder() const { return !EntryName.empty() && EntryName.back() == '/'; }
};

// The model of a whole directory.
using ZipDirList = std::vector<ZipDirEntry>;

}  // namespace quil
