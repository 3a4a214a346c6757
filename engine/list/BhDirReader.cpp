// BH directory reader: 37-byte headers behind the signature 0x07054842, the name after them.
#include <string>
#include <vector>

#include "engine/core/DateTime.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 37;
constexpr uint32_t kBhSig = 0x07054842;

const char* BhMethodName(uint8_t m) {
  switch (m) {
    case 0: return "Stored";
    case 1: return "Fused";
    case 2:
    case 8: return "Deflate";
    default: return "Unknown";
  }
}

class TBhDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override {
    z.SetHeaderSize(kFixed);
    z.SetStartPos(z.ArcOffset());
  }
  void ReadEntry(TZuvOD& z) override;
};

void TBhDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  if (Le32(b) != kBhSig || Le16(b + 4) == 0) return StopListing(z);
  const int nameLen = b[33];
  std::vector<uint8_t> raw(static_cast<size_t>(nameLen));
  ReadExact(z, z.ReadPos(), raw.data(), nameLen);
  const int64_t packed = Le32(b + 15);
  std::string name = OemName(UpToZero(raw.data(), raw.size()));
  const bool directory = !name.empty() && name.back() == '/';
  z.SetEntryName(name);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = DosToDateTime(Le32(b + 11));
  e.VersionMadeBy = b[7];
  e.VersionNeeded = b[8];
  e.Encrypted = b[9] & 0x01;
  e.Method = b[10];
  e.MethodName = BhMethodName(b[10]);
  e.PackedSize = packed;
  e.UnpackedSize = Le32(b + 19);
  e.CRC = Le32(b + 23);
  e.InternalAttr = Le16(b + 27);
  e.ExternalAttr = Le16(b + 27);
  if (z.EntryPasses()) z.ReportEntry(start, directory);
  MoveTo(z, z.ReadPos() + nameLen + packed, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeBhDirReader() { return std::make_unique<TBhDirReader>(); }

}  // namespace quil
