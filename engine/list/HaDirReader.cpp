// HA directory reader: headers read at their exact positions (version and method, sizes, CRC-32,
// time, zero-terminated path and name, machine-specific data), the stored path shown in front of
// the name.
#include <string>

#include "engine/core/DateTime.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 17;

const char* HaMethodName(uint8_t m) {
  switch (m) {
    case 0: return "Cpy";
    case 1: return "Asc";
    case 2: return "HSC";
    case 14: return "Dir";
    case 15: return "Special";
    default: return "";
  }
}

// A stored HA path: 0xFF (and either slash) separate folders.
std::string HaPath(std::string s) {
  for (char& c : s)
    if (static_cast<uint8_t>(c) == 0xFF) c = '/';
  return OemName(s);
}

class THaDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override {
    uint8_t head[4];
    FLeft = ReadSome(z, 0, head, 4) == 4 ? Le16(head + 2) : 0;
    z.SetHeaderSize(kFixed);
    z.SetStartPos(5);  // after "HA" and the entry count
  }
  void ReadEntry(TZuvOD& z) override;

 private:
  int FLeft = 0;
};

void THaDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  if (FLeft-- <= 0) return StopListing(z);
  int64_t pos = z.ReadPos();
  auto path = ReadZText(z, pos, 1023);
  if (!path) BadHeader(z);
  auto name = ReadZText(z, pos, 1023);
  if (!name) BadHeader(z);
  uint8_t mdi = 0;
  ReadExact(z, pos, &mdi, 1);
  const int64_t data = pos + 1 + mdi;
  const uint8_t method = b[0] & 0x0F, version = b[0] >> 4;
  const bool directory = method == 14;
  std::string full = HaPath(*path) + HaPath(*name);
  z.SetEntryName(directory ? AsFolder(full) : full);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = UnixToDateTime(Le32(b + 13));
  e.VersionMadeBy = e.VersionNeeded = version;
  e.Method = method;
  e.MethodName = HaMethodName(method);
  e.PackedSize = Le32(b + 1);
  e.UnpackedSize = Le32(b + 5);
  e.CRC = Le32(b + 9);
  e.InternalAttr = 32;
  e.ExternalAttr = directory ? 0x10 : 32;
  if (z.EntryPasses()) z.ReportEntry(start, directory);
  MoveTo(z, data + Le32(b + 1), start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeHaDirReader() { return std::make_unique<THaDirReader>(); }

}  // namespace quil
