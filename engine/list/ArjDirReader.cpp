// ARJ directory reader: main header, file headers with their extended headers, and entries split
// over volumes (x.arj, x.a01, ...), reported once with the sizes of all their parts.
#include <string>
#include <vector>

#include "engine/core/DateTime.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr uint16_t kArjId = 0xEA60;
constexpr int64_t kMaxBasic = 2600;

const char* ArjMethodName(uint8_t method, bool directory) {
  static const char* const kNames[] = {"Stored", "Most", "2nd Most", "2nd Fast", "Fastest"};
  if (method < 5 && !directory) return kNames[method];
  return directory ? "Dir" : "Unknown";
}

// One parsed header: the basic header bytes (id and size first) and where the next one is.
struct TArjHeader {
  std::vector<uint8_t> Bytes;  // id (2), size (2), basic header
  int64_t DataPos = 0;         // first byte after the header and its extended headers
};

class TArjDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD& z) override;
  void EndListing(TZuvOD& z) override { z.DetectionState().VolumeNumber = FVolumeNumber; }

 private:
  // Reads the header at `pos` whose first 4 bytes are `head`; false when it is the end marker.
  bool ReadHeader(TZuvOD& z, int64_t pos, const uint8_t* head, TArjHeader& h);
  // Skips the extended headers at `pos` (size 2, data, CRC 4, until a size of 0).
  int64_t SkipExtended(TZuvOD& z, int64_t pos);
  int FVolumeNumber = 0;
};

int64_t TArjDirReader::SkipExtended(TZuvOD& z, int64_t pos) {
  uint8_t s[2];
  for (int guard = 0; guard < 1024; ++guard) {
    ReadExact(z, pos, s, 2);
    pos += 2;
    uint16_t n = Le16(s);
    if (n == 0) return pos;
    pos += n + 4;
    if (pos > z.EndPos()) BadHeader(z);
  }
  BadHeader(z);
}

bool TArjDirReader::ReadHeader(TZuvOD& z, int64_t pos, const uint8_t* head, TArjHeader& h) {
  if (Le16(head) != kArjId) return false;
  uint16_t size = Le16(head + 2);
  if (size == 0) return false;
  if (size > kMaxBasic || size < 30) BadHeader(z);
  h.Bytes.assign(head, head + 4);
  h.Bytes.resize(4 + size);
  ReadExact(z, pos + 4, h.Bytes.data() + 4, size);
  if (h.Bytes[4] > size) BadHeader(z);
  h.DataPos = SkipExtended(z, pos + 4 + size + 4);
  return true;
}

void TArjDirReader::BeginListing(TZuvOD& z) {
  FVolumeNumber = z.VolumeNumber();
  int64_t pos = z.ArcOffset() - 1;
  uint8_t head[4];
  if (ReadSome(z, pos, head, 4) != 4 || Le16(head) != kArjId || Le16(head + 2) == 0 ||
      Le16(head + 2) > kMaxBasic)
    BadHeader(z);
  int64_t first = SkipExtended(z, pos + 4 + Le16(head + 2) + 4);
  z.SetHeaderSize(4);
  z.SetStartPos(first + 1);
}

void TArjDirReader::ReadEntry(TZuvOD& z) {
  const int64_t start = z.StartPos() - 1;
  TArjHeader h;
  if (!ReadHeader(z, start, z.Buffer(), h)) return StopListing(z);
  auto field = [&](const TArjHeader& x, size_t off) { return x.Bytes.data() + off; };
  auto nameOf = [&](const TArjHeader& x) {
    size_t at = 4 + x.Bytes[4];
    std::string raw = UpToZero(x.Bytes.data() + at, x.Bytes.size() - at);
    uint8_t host = x.Bytes[7];
    // DOS-made archives store CP437; Unix-made ones store the system's (UTF-8) names.
    return host == 2 ? Utf8OrOemName(raw) : OemName(raw);
  };
  int64_t packed = Le32(field(h, 16)), unpacked = Le32(field(h, 20));
  int64_t next = h.DataPos + packed;
  TArjHeader last = h;
  // Parts in the following volumes.
  while (last.Bytes[8] & 0x04) {
    std::string vol = NextVolumeFileName(z.VolumeName(), 'a', z.VolumeNumber());
    if (!SwitchToVolume(z, vol, z.VolumeNumber())) return StopListing(z);
    uint8_t head[4];
    ReadExact(z, 0, head, 4);
    if (Le16(head) != kArjId || Le16(head + 2) == 0 || Le16(head + 2) > kMaxBasic) BadHeader(z);
    int64_t at = SkipExtended(z, 4 + Le16(head + 2) + 4);
    ReadExact(z, at, head, 4);
    TArjHeader part;
    if (!ReadHeader(z, at, head, part)) return StopListing(z);
    packed += Le32(field(part, 16));
    unpacked += Le32(field(part, 20));
    next = part.DataPos + Le32(field(part, 16));
    last = std::move(part);
  }
  const bool directory = h.Bytes[10] == 3;
  std::string name = nameOf(last);
  z.SetEntryName(directory ? AsFolder(name) : name);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  // Unix-made archives keep Unix seconds in the time field, the others a DOS date-time.
  const uint32_t stamp = Le32(field(h, 12));
  e.FileDate = h.Bytes[7] == 2 ? UnixToDateTime(stamp) : DosToDateTime(stamp);
  e.VersionMadeBy = h.Bytes[5];
  e.VersionNeeded = h.Bytes[6];
  e.PackedSize = packed;
  e.UnpackedSize = unpacked;
  e.CRC = Le32(field(last, 24));
  e.Encrypted = h.Bytes[8] & 0x01;
  e.Method = h.Bytes[9];
  e.MethodName = ArjMethodName(h.Bytes[9], directory);
  e.InternalAttr = Le16(field(h, 30));
  e.ExternalAttr = Le16(field(h, 30));
  if (directory) e.ExternalAttr |= 0x10;
  if ((directory && z.ShowBlankDirs()) || z.EntryPasses()) z.ReportEntry(start, directory);
  z.SetReadPos(next);
}

}  // namespace

std::unique_ptr<TDirReader> MakeArjDirReader() { return std::make_unique<TArjDirReader>(); }

}  // namespace quil
