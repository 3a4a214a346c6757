// ACE directory reader: the archive header, file headers, and files split over volumes (x.ace,
// x.c00, x.c01, ...), each reported once with the packed sizes of all its parts.
#include <string>
#include <vector>

#include "engine/core/DateTime.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 7;

const char* AceMethodName(uint8_t quality) {
  static const char* const kNames[] = {"Fastest", "Fast", "Normal", "Good", "Best", "Lzw"};
  return quality < 6 ? kNames[quality] : "Unknown";
}

class TAceDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD& z) override;
  void EndListing(TZuvOD& z) override { z.DetectionState().VolumeNumber = FVolumeNumber; }

 private:
  // Reads the archive header at `pos`; the position of the first file header after it.
  int64_t ArchiveHeader(TZuvOD& z, int64_t pos);
  int FVolumeNumber = 0;
  int FNext = 0;
  uint8_t FCreator = 0;
  int64_t FPacked = 0;
  int64_t FEntryOffset = -1;
};

int64_t TAceDirReader::ArchiveHeader(TZuvOD& z, int64_t pos) {
  uint8_t h[31];
  ReadExact(z, pos, h, 31);
  if (h[4] != 0 || std::string_view(reinterpret_cast<char*>(h + 7), 7) != "**ACE**") BadHeader(z);
  FCreator = h[15];
  return pos + 4 + Le16(h + 2);
}

void TAceDirReader::BeginListing(TZuvOD& z) {
  FVolumeNumber = z.VolumeNumber();
  FNext = 0;
  FPacked = 0;
  FEntryOffset = -1;
  z.SetHeaderSize(kFixed);
  z.SetStartPos(ArchiveHeader(z, z.ArcOffset() - 1) + 1);
}

void TAceDirReader::ReadEntry(TZuvOD& z) {
  const int64_t start = z.StartPos() - 1;
  const uint8_t* b = z.Buffer();
  const uint16_t size = Le16(b + 2);
  const uint8_t type = b[4];
  const uint16_t flags = Le16(b + 5);
  if (size < 3) return StopListing(z);
  std::vector<uint8_t> h(4 + size);
  std::copy(b, b + kFixed, h.begin());
  ReadExact(z, start + kFixed, h.data() + kFixed, static_cast<int64_t>(h.size()) - kFixed);
  if (type == 2 && (flags & 0x0001) && h.size() >= 11) {  // recovery record: passed over
    return MoveTo(z, start + 4 + size + Le32(&h[7]), start);
  }
  if (type != 1 || h.size() < 35) return StopListing(z);
  const size_t nameLen = Le16(&h[33]);
  // A file header always carries its packed size (flag 0x0001) and a name inside the header.
  if (!(flags & 0x0001) || nameLen == 0 || 35 + nameLen > h.size()) BadHeader(z);
  const int64_t packed = Le32(&h[7]);
  const int64_t next = start + 4 + size + packed;
  if (FEntryOffset < 0) FEntryOffset = start;
  FPacked = (flags & 0x1000) ? FPacked + packed : packed;
  if (flags & 0x2000) {  // continues in the next volume: the last part reports the file
    std::string vol = NextVolumeFileName(z.VolumeName(), 'c', FNext++);
    if (!SwitchToVolume(z, vol, z.VolumeNumber())) return StopListing(z);
    z.SetReadPos(ArchiveHeader(z, 0));
    return;
  }
  const uint32_t attr = Le32(&h[19]);
  const bool directory = attr & 0x10;
  std::string name = OemName(std::string_view(reinterpret_cast<const char*>(&h[35]), nameLen));
  z.SetEntryName(directory ? AsFolder(name) : name);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = DosToDateTime(Le32(&h[15]));
  e.VersionMadeBy = e.VersionNeeded = FCreator;
  e.PackedSize = FPacked;
  e.UnpackedSize = Le32(&h[11]);
  e.CRC = Le32(&h[23]);
  e.Encrypted = flags & 0x4000;
  e.Method = h[28];
  e.MethodName = directory ? "Dir" : AceMethodName(h[28]);
  e.InternalAttr = static_cast<uint16_t>(attr);
  e.ExternalAttr = attr;
  const int64_t offset = FEntryOffset;
  FEntryOffset = -1;
  FPacked = 0;
  if ((directory && z.ShowBlankDirs()) || z.EntryPasses()) z.ReportEntry(offset, directory);
  MoveTo(z, next, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeAceDirReader() { return std::make_unique<TAceDirReader>(); }

}  // namespace quil
