// The existing archive a command changes: its central directory (with ZIP64 sizes and offsets
// resolved), its comment and the bytes in front of its first entry. Every field read is
// bounds-checked; an archive that cannot be understood throws ZipAbort{QZIP_MSG_BAD_ARCHIVE}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quil::qzip {

struct OldEntry {
  std::string Central;  // the 46-byte central header as stored
  std::string Name;     // stored name, '\\' turned into '/'
  std::string RawName;  // stored name bytes
  std::string Extra;    // central extra field without its ZIP64 block
  std::string Comment;
  uint64_t CompressedSize = 0;
  uint64_t UncompressedSize = 0;
  uint64_t Offset = 0;  // actual offset of the local header in the file
  uint16_t Flag = 0;
  uint32_t DosTime = 0;  // time in the low, date in the high 16 bits
  // Filled by Locate(): length of local header + data + data descriptor.
  uint64_t SpanLength = 0;
};

class OldArchive {
 public:
  // Reads the directory of `path`; a missing file is an empty archive.
  void Read(const std::string& path);
  bool Exists() const { return FFd >= 0; }
  ~OldArchive();

  std::vector<OldEntry>& Entries() { return FEntries; }
  const std::string& Comment() const { return FComment; }
  int Fd() const { return FFd; }
  // Bytes in front of the first local header (a self-extractor stub), copied unchanged.
  uint64_t PrefixLength() const { return FPrefix; }
  // Measures an entry's local header, data and descriptor; throws for a damaged entry.
  void Locate(OldEntry& e) const;
  mode_t Mode() const { return FMode; }

 private:
  void ReadAt(uint64_t pos, void* buf, size_t n) const;
  int FFd = -1;
  uint64_t FSize = 0;
  uint64_t FPrefix = 0;
  mode_t FMode = 0;
  std::string FComment;
  std::vector<OldEntry> FEntries;
};

}  // namespace quil::qzip
