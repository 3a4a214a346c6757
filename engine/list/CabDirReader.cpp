// CAB directory reader: the cabinet header, its folders and file records, and the next cabinet of
// a set for files that continue there.
#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "engine/core/Charsets.h"
#include "engine/core/DateTime.h"
#include "engine/core/Names.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 16;

struct TCabinet {
  uint8_t MinorVersion = 0, MajorVersion = 0;
  uint16_t FolderCount = 0, FileCount = 0, Flags = 0;
  uint32_t FirstFile = 0;
  std::string NextCabinet, NextDisk;
  std::vector<uint16_t> FolderTypes;
};

const char* CabMethodName(uint16_t type) {
  switch (type & 0x0F) {
    case 0: return "Stored";
    case 1: return "MsZIP";
    case 2: return "Quantum";
    case 3: return "Lzx";
    default: return "Unknown";
  }
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Reads the cabinet header and folder records at `pos`; false when it is not a cabinet.
bool ReadCabinetHeader(TZuvOD& z, int64_t pos, TCabinet& c) {
  uint8_t h[36];
  if (ReadSome(z, pos, h, 36) != 36 || Le32(h) != 0x4643534D) return false;
  c = TCabinet{};
  c.FirstFile = Le32(h + 16);
  c.MinorVersion = h[24];
  c.MajorVersion = h[25];
  c.FolderCount = Le16(h + 26);
  c.FileCount = Le16(h + 28);
  c.Flags = Le16(h + 30);
  int64_t at = pos + 36;
  uint8_t folderSpare = 0;
  if (c.Flags & 0x0004) {
    uint8_t s[4];
    if (ReadSome(z, at, s, 4) != 4) return false;
    folderSpare = s[2];
    at += 4 + Le16(s);
  }
  auto text = [&](std::string& out) {
    auto t = ReadZText(z, at, 255);
    if (!t) return false;
    out = *t;
    return true;
  };
  std::string ignored;
  if (c.Flags & 0x0001 && !(text(ignored) && text(ignored))) return false;
  if (c.Flags & 0x0002 && !(text(c.NextCabinet) && text(c.NextDisk))) return false;
  if (c.NextDisk.empty()) c.NextDisk = "0";
  for (uint16_t i = 0; i < c.FolderCount; ++i) {
    uint8_t f[8];
    if (ReadSome(z, at, f, 8) != 8) return false;
    c.FolderTypes.push_back(Le16(f + 6));
    at += 8 + folderSpare;
  }
  return c.FolderCount > 0 || c.FileCount == 0;
}

class TCabDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD& z) override;

 private:
  bool NextCabinet(TZuvOD& z);
  TCabinet FCab;
  int FLeft = 0;
  std::set<std::string> FSeen;
};

void TCabDirReader::BeginListing(TZuvOD& z) {
  FSeen = {z.ArchiveFile()};
  if (!ReadCabinetHeader(z, z.ArcOffset() - 1, FCab)) {
    z.ReportError(z.ArchiveFile(), "", "0", 25108);
    z.SetStartPos(z.ArchiveSize() + 1);
    return;
  }
  FLeft = FCab.FileCount;
  z.SetHeaderSize(kFixed);
  z.SetStartPos(z.ArcOffset() + FCab.FirstFile);
}

bool TCabDirReader::NextCabinet(TZuvOD& z) {
  if (!(FCab.Flags & 0x0002) || FCab.NextCabinet.empty()) return false;
  std::string name = ExtractFilePath(z.ArchiveFile()) + ToPathDelims(FCab.NextCabinet);
  if (Lower(name) == Lower(z.ArchiveFile()) || !FSeen.insert(Lower(name)).second) return false;
  if (!SwitchToVolume(z, name, 0)) return false;
  if (!ReadCabinetHeader(z, 0, FCab)) {
    z.ReportError(name, "", "0", 25108);
    return false;
  }
  FLeft = FCab.FileCount;
  z.SetReadPos(FCab.FirstFile);
  return true;
}

void TCabDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  if (FLeft <= 0) {
    if (!NextCabinet(z)) StopListing(z);
    return;
  }
  --FLeft;
  int64_t pos = z.ReadPos();
  auto raw = ReadZText(z, pos, 1023);
  if (!raw) BadHeader(z);
  const uint16_t folder = Le16(b + 8), attr = Le16(b + 14);
  if (folder != 0xFFFD && folder != 0xFFFF) {
    // Names flagged 0x80 are UTF-8, the others the DOS code page.
    z.SetEntryName(StoredNameToUtf8(*raw, attr & 0x80));
    z.ClearEntry();
    TEntryInfo& e = z.Entry();
    uint16_t type = 0;
    if (!FCab.FolderTypes.empty())
      type = folder < FCab.FolderTypes.size() ? FCab.FolderTypes[folder] : FCab.FolderTypes.back();
    e.FileDate = DosToDateTime(SwapWords(Le32(b + 10)));
    e.VersionMadeBy = FCab.MinorVersion;
    e.VersionNeeded = FCab.MajorVersion;
    e.PackedSize = e.UnpackedSize = Le32(b);
    e.Method = type;
    e.MethodName = CabMethodName(type);
    e.InternalAttr = attr;
    e.ExternalAttr = attr & 0x3F;
    if (z.EntryPasses()) {
      z.ReportEntry(start, false);
    }
  }
  z.SetReadPos(pos);
  if (FLeft == 0 && !NextCabinet(z)) StopListing(z);
}

}  // namespace

std::unique_ptr<TDirReader> MakeCabDirReader() { return std::make_unique<TCabDirReader>(); }

}  // namespace quil
