// LHA/LZH directory reader: header levels 0, 1 and 2, extended headers with the file and folder
// names, self-extracting archives.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/DateTime.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 22;

std::string LhaMethodName(char m, bool directory) {
  if (directory) return "Dir";
  if (m == '0') return "Stored";
  if (m >= '1' && m <= '6') return std::string("Frozen-") + m;
  return "Unknown";
}

// A folder from a directory-name extended header: 0xFF and '\\' separate folders.
std::string FolderText(const uint8_t* p, size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  size_t z = s.find('\0');
  if (z != std::string::npos) s.resize(z);
  for (char& c : s)
    if (static_cast<uint8_t>(c) == 0xFF) c = '/';
  while (!s.empty() && (s.back() == ' ' || s.back() == '/')) s.pop_back();
  return s;
}

class TLhaDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD& z) override;
};

void TLhaDirReader::BeginListing(TZuvOD& z) {
  z.SetHeaderSize(kFixed);
  uint8_t first[kFixed];
  int64_t got = ReadSome(z, z.ArcOffset() - 1, first, kFixed);
  z.SetStartPos(got > 0 && first[0] == 0 ? z.ArcOffset() + 128 : z.ArcOffset());
}

void TLhaDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  const int level = b[20];
  if (level > 2 || (level < 2 && b[0] == 0) || (level == 2 && Le16(b) == 0)) return StopListing(z);
  if (b[2] != '-' || b[3] != 'l' || b[6] != '-') return StopListing(z);
  const char method = static_cast<char>(b[5]);
  const bool directory = b[4] == 'h' && method == 'd';
  int64_t packed = Le32(b + 7);
  const int64_t unpacked = Le32(b + 11);
  const uint32_t stamp = Le32(b + 15);
  std::string name, folder;
  uint16_t crc = 0;
  int64_t pos = z.ReadPos();  // after the 22 bytes read
  int64_t headerEnd;          // first byte of the data (level 0) or of the extended headers
  uint16_t nextSize = 0;
  if (level < 2) {
    const int nameLen = b[21];
    const int64_t total = static_cast<int64_t>(b[0]) + 2;  // whole basic header
    if (total < kFixed + nameLen + 2) BadHeader(z);
    std::vector<uint8_t> rest(static_cast<size_t>(total - kFixed));
    ReadExact(z, pos, rest.data(), static_cast<int64_t>(rest.size()));
    name.assign(reinterpret_cast<const char*>(rest.data()), static_cast<size_t>(nameLen));
    crc = Le16(rest.data() + nameLen);
    headerEnd = start + total;
    if (level == 1) {
      if (total < kFixed + nameLen + 5) BadHeader(z);
      nextSize = Le16(rest.data() + rest.size() - 2);
    }
  } else {
    uint8_t more[4];
    ReadExact(z, pos, more, 4);  // bytes 22..25 of the header
    crc = static_cast<uint16_t>(b[21] | (more[0] << 8));
    nextSize = Le16(more + 2);  // offset 24
    headerEnd = start + 26;
  }
  // Extended headers: type (1), data, size of the next one (2).
  int64_t at = headerEnd, extBytes = 0;
  std::vector<uint8_t> ext;
  while (nextSize != 0) {
    if (nextSize < 3 || at + nextSize > z.EndPos()) BadHeader(z);
    ext.resize(nextSize);
    ReadExact(z, at, ext.data(), nextSize);
    const uint8_t* data = ext.data() + 1;
    const size_t dataLen = nextSize - 3u;
    if (ext[0] == 0x01) {
      name.assign(reinterpret_cast<const char*>(data), dataLen);
    } else if (ext[0] == 0x02) {
      folder = FolderText(data, dataLen);
    }
    at += nextSize;
    extBytes += nextSize;
    nextSize = Le16(ext.data() + nextSize - 2);
  }
  int64_t next;
  if (level == 0) {
    next = headerEnd + packed;
  } else if (level == 1) {
    // The packed size of a level-1 header counts its extended headers.
    next = headerEnd + packed;
    packed = std::max<int64_t>(0, packed - extBytes);
  } else {
    next = start + Le16(b) + packed;
  }
  // DOS-made archives store CP437 names, Unix-made ones mostly UTF-8.
  std::string full = Utf8OrOemName(name);
  if (!folder.empty()) full = Utf8OrOemName(folder) + "/" + full;
  while (!full.empty() && full.back() == '/') full.pop_back();
  if (directory) full = AsFolder(full);
  z.SetEntryName(full);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = level == 2 ? UnixToDateTime(stamp) : DosToDateTime(stamp);
  e.PackedSize = std::min(packed, unpacked);
  e.UnpackedSize = unpacked;
  e.CRC = crc;
  e.Method = static_cast<uint8_t>(method);
  e.MethodName = LhaMethodName(method, directory);
  e.InternalAttr = 32;
  e.ExternalAttr = directory ? 0x10 : b[19];
  if (z.EntryPasses()) z.ReportEntry(start, directory);
  MoveTo(z, next, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeLhaDirReader() { return std::make_unique<TLhaDirReader>(); }

}  // namespace quil
