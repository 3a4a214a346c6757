// MsGZ directory reader: the directory-name table named at offset 41, then the file records, each
// named with its folder from the table.
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

constexpr int64_t kFixed = 29;
constexpr size_t kMaxFolders = 65536;

class TMsgzDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD& z) override;
  void EndListing(TZuvOD&) override { FFolders.clear(); }

 private:
  std::vector<std::string> FFolders;  // the directory-name table
};

void TMsgzDirReader::BeginListing(TZuvOD& z) {
  FFolders.clear();
  z.SetHeaderSize(kFixed);
  const int64_t size = z.ArchiveSize();
  uint8_t head[45] = {};
  ReadSome(z, 0, head, sizeof head);
  int64_t pos = Le32(head + 41);
  if (pos <= 0 || pos >= size) {
    z.SetStartPos(size);
    return;
  }
  for (;;) {
    uint8_t rec[6];
    ReadExact(z, pos, rec, 6);
    pos += 6;
    const int len = rec[2];
    if (len == 0) break;
    if (len < 6 || FFolders.size() >= kMaxFolders) BadHeader(z);
    std::vector<uint8_t> name(static_cast<size_t>(len - 6));
    ReadExact(z, pos, name.data(), len - 6);
    pos += len - 6;
    FFolders.push_back(OemName(UpToZero(name.data(), name.size())));
  }
  z.SetStartPos(pos - 4);
}

void TMsgzDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  const uint16_t recordSize = Le16(b + 22);
  const int nameLen = b[28];
  if (recordSize < kFixed + nameLen) return StopListing(z);
  std::vector<uint8_t> raw(static_cast<size_t>(nameLen));
  ReadExact(z, z.ReadPos(), raw.data(), nameLen);
  std::string name = OemName(UpToZero(raw.data(), raw.size()));
  const uint16_t folder = Le16(b);
  if (folder < FFolders.size() && !FFolders[folder].empty())
    name = FFolders[folder] + "/" + name;
  z.SetEntryName(name);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.UnpackedSize = Le32(b + 2);
  e.PackedSize = Le32(b + 6);
  e.FileDate = DosToDateTime(SwapWords(Le32(b + 14)));
  e.ExternalAttr = Le32(b + 18);
  e.InternalAttr = static_cast<uint16_t>(Le32(b + 18));
  if (z.EntryPasses()) z.ReportEntry(Le32(b + 10), false);
  MoveTo(z, start + recordSize, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeMsgzDirReader() { return std::make_unique<TMsgzDirReader>(); }

}  // namespace quil
