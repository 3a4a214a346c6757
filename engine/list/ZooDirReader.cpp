// ZOO directory reader: the archive header, then the chain of directory entries with their
// comments, long names and folder names. Deleted entries are passed over.
#include <string>
#include <vector>

#include "engine/core/DateTime.h"
#include "engine/core/Names.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 58;
constexpr uint32_t kZooTag = 0xFDC4A7DC;

const char* ZooMethodName(uint8_t m) {
  static const char* const kNames[] = {"Stored", "Fastest", "Greatest"};
  return m < 3 ? kNames[m] : "Unknown";
}

class TZooDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override {
    z.SetHeaderSize(kFixed);
    z.SetStartPos(z.ArcOffset());
    FArchiveHeader = true;
    FArchiveComment.clear();
  }
  void ReadEntry(TZuvOD& z) override;
  void EndListing(TZuvOD&) override { FArchiveComment.clear(); }
  const std::string& ArchiveComment() const { return FArchiveComment; }

 private:
  std::string ReadText(TZuvOD& z, int64_t pos, int64_t len) {
    std::string s(static_cast<size_t>(len), '\0');
    ReadExact(z, pos, reinterpret_cast<uint8_t*>(s.data()), len);
    return s;
  }
  bool FArchiveHeader = true;
  std::string FArchiveComment;
};

void TZooDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  if (FArchiveHeader) {
    FArchiveHeader = false;
    const uint32_t first = Le32(b + 24), negated = Le32(b + 28);
    if (Le32(b + 20) != kZooTag || static_cast<uint32_t>(first + negated) != 0)
      return StopListing(z);
    if (uint16_t len = Le16(b + 39); len != 0 && Le32(b + 35) + int64_t{len} <= z.EndPos())
      FArchiveComment = ReadText(z, Le32(b + 35), len);
    return MoveTo(z, first, start);
  }
  const int64_t next = Le32(b + 6);
  if (Le32(b) != kZooTag || next == 0) return StopListing(z);
  if (b[30] == 0) {  // not deleted
    std::string name = UpToZero(b + 38, 13), folder;
    if (b[4] == 2 && Le16(b + 51) != 0) {
      // Variable part: long name, then folder name.
      const int longLen = b[56], dirLen = b[57];
      std::string var = ReadText(z, z.ReadPos(), longLen + dirLen);
      if (longLen > 0) name = UpToZero(reinterpret_cast<const uint8_t*>(var.data()), longLen);
      folder = UpToZero(reinterpret_cast<const uint8_t*>(var.data()) + longLen, dirLen);
    }
    folder = OemName(folder);
    while (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
    if (folder.rfind("./", 0) == 0) folder.erase(0, 2);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    z.SetEntryName(folder + OemName(name));
    z.ClearEntry();
    TEntryInfo& e = z.Entry();
    if (uint16_t len = Le16(b + 36); len != 0 && Le32(b + 32) + int64_t{len} <= z.EndPos())
      e.FileComment = ReadText(z, Le32(b + 32), len);
    e.FileDate = DosToDateTime(SwapWords(Le32(b + 14)));
    e.VersionMadeBy = b[28];
    e.VersionNeeded = b[29];
    e.PackedSize = Le32(b + 24);
    e.UnpackedSize = Le32(b + 20);
    e.CRC = Le16(b + 18);
    e.Method = b[5];
    e.MethodName = ZooMethodName(b[5]);
    if (z.EntryPasses()) z.ReportEntry(start, false);
    e.FileComment.reset();
  }
  MoveTo(z, next, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeZooDirReader() { return std::make_unique<TZooDirReader>(); }

}  // namespace quil
