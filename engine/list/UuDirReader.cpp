// UU/XX-encoded file reader: the "begin" line gives the one entry; its size is what the encoded
// lines that follow in this file decode to.
#include <algorithm>
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

constexpr int64_t kScan = 32768;
constexpr char kXxTable[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Bytes a line decodes to, from its length character; -1 when the character is not one.
int LineBytes(char c, bool xx) {
  if (xx) {
    const char* p = std::find(kXxTable, kXxTable + 64, c);
    return p == kXxTable + 64 ? -1 : static_cast<int>(p - kXxTable);
  }
  if (c < ' ' || c > '`') return -1;
  return (c - ' ') & 63;
}

class TUuDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD&) override {}
};

void TUuDirReader::BeginListing(TZuvOD& z) {
  z.SetHeaderSize(0);
  const int64_t size = z.ArchiveSize();
  std::string head(static_cast<size_t>(std::min(size, kScan)), '\0');
  head.resize(static_cast<size_t>(ReadSome(z, 0, reinterpret_cast<uint8_t*>(head.data()),
                                           static_cast<int64_t>(head.size()))));
  size_t at = std::string::npos;
  for (size_t i = head.find("begin "); i != std::string::npos; i = head.find("begin ", i + 1)) {
    if (i == 0 || head[i - 1] == '\n') { at = i; break; }
  }
  if (at == std::string::npos) return;
  size_t p = at + 6;
  while (p < head.size() && head[p] != ' ' && head[p] != '\r' && head[p] != '\n') ++p;  // mode
  if (p < head.size() && head[p] == ' ') ++p;
  size_t eol = head.find_first_of("\r\n", p);
  if (eol == std::string::npos) eol = head.size();
  std::string name = head.substr(p, std::min<size_t>(eol - p, 255));
  size_t blank = name.find(' ');
  if (blank != std::string::npos) name.resize(blank);
  z.SetEntryName(Utf8OrOemName(name));

  // Decoded size of the lines after "begin" (up to "end" or the end of this file).
  const std::string ext = ExtractFileExt(z.ArchiveFile());
  const bool xx = ext == ".xxe" || ext == ".XXE";
  int64_t decoded = 0, pos = static_cast<int64_t>(eol);
  std::string line;
  std::vector<uint8_t> chunk(65536);
  bool done = false, first = true, useXx = xx;
  while (!done) {
    int64_t got = ReadSome(z, pos, chunk.data(), static_cast<int64_t>(chunk.size()));
    if (got <= 0) break;
    for (int64_t i = 0; i < got && !done; ++i) {
      char c = static_cast<char>(chunk[i]);
      if (c != '\n') {
        if (line.size() > 1024) { done = true; break; }
        line += c;
        continue;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) {
        if (line == "end" || line.rfind("end ", 0) == 0) { done = true; break; }
        if (first && line[0] == 'h') useXx = true;
        first = false;
        int n = LineBytes(line[0], useXx);
        if (n < 0) { done = true; break; }
        decoded += n;
      }
      line.clear();
    }
    pos += got;
  }
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = DosToDateTime(static_cast<uint32_t>(z.ArchiveDate()));
  e.PackedSize = size;
  e.UnpackedSize = decoded;
  e.InternalAttr = 32;
  e.ExternalAttr = 32;
  z.ReportEntry(0, false);
}

}  // namespace

std::unique_ptr<TDirReader> MakeUuDirReader() { return std::make_unique<TUuDirReader>(); }

}  // namespace quil
