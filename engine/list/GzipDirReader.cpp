// GZIP family directory reader: one entry per file for gzip (with its extra field, stored name and
// comment), old gzip, compress (.Z), pack and LZH-compressed files, and the trailing name block.
#include <string>

#include "engine/core/Charsets.h"
#include "engine/core/DateTime.h"
#include "engine/core/Names.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 10;

std::string GzipMethodName(uint8_t magic2, uint8_t method) {
  if (magic2 == 0x8B || magic2 == 0x9E) {
    return method == 0 ? "Stored" : method == 8 ? "Deflate" : "Unknown";
  }
  if (magic2 == 0x9D) return "LzwMAGIC";
  if (magic2 == 0x1E) return "PackMAGIC";
  return "LzhMAGIC";
}

// The entry's name when the file stores none: the file's name without folder up to its last '.'
// (x.tgz stands for x.tar).
std::string NameFromArchive(const std::string& archive) {
  std::string n = ExtractFileName(archive);
  std::string ext = ExtractFileExt(n);
  std::string lower = ext;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!ext.empty()) n.resize(n.size() - ext.size());
  if (lower == ".tgz" || lower == ".taz") n += ".tar";
  return n;
}

class TGzipDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override {
    z.SetHeaderSize(kFixed);
    z.SetStartPos(z.ArcOffset());
  }
  void ReadEntry(TZuvOD& z) override;
};

void TGzipDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  const int64_t size = z.EndPos();
  const uint8_t m = b[1];
  if (b[0] != 0x1F || (m != 0x8B && m != 0x9E && m != 0x9D && m != 0x1E && m != 0xA0))
    return StopListing(z);
  const bool gzip = m == 0x8B || m == 0x9E;
  const uint8_t flags = b[3];
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  std::string name;
  if (gzip) {
    int64_t pos = start + kFixed;
    if (flags & 0x04) {
      uint8_t x[2];
      ReadExact(z, pos, x, 2);
      pos += 2 + Le16(x);
    }
    if (flags & 0x08) {
      auto stored = ReadZText(z, pos, 255);
      if (!stored) BadHeader(z);
      name = IsValidUtf8(*stored) ? *stored : Win1252ToUtf8(*stored);
    }
    if (flags & 0x10) {
      // The comment may be long: step over it in pieces.
      for (;;) {
        uint8_t chunk[256];
        int64_t got = ReadSome(z, pos, chunk, sizeof chunk);
        if (got <= 0) BadHeader(z);
        int64_t i = 0;
        while (i < got && chunk[i] != 0) ++i;
        pos += i;
        if (i < got) { ++pos; break; }
      }
    }
    if (flags & 0x02) pos += 2;
    e.FileDate = UnixToDateTime(Le32(b + 4));
    // Trailer: CRC-32 and size, or a name block (name, its length and a marker) after them.
    uint8_t t[8];
    if (size - pos < 8) BadHeader(z);
    ReadExact(z, size - 8, t, 8);
    int64_t trailer = 8;
    if (Le32(t) == 0x00008B1F) {
      const int64_t len = t[4];
      if (size - pos < len + 16) BadHeader(z);
      std::string block(static_cast<size_t>(len), '\0');
      ReadExact(z, size - len - 8, reinterpret_cast<uint8_t*>(block.data()), len);
      name = OemName(block);
      ReadExact(z, size - len - 16, t, 8);
      trailer = len + 16;
    }
    e.CRC = Le32(t);
    e.UnpackedSize = Le32(t + 4);
    e.PackedSize = size - pos - trailer;
    e.Encrypted = flags & 0x20;
  } else {
    e.FileDate = m == 0x9D ? DosToDateTime(static_cast<uint32_t>(z.ArchiveDate()))
                           : UnixToDateTime(Le32(b + 4));
    // Pack stores the original size (big-endian) after its magic; the others store none.
    const int64_t headerLen = m == 0x9D ? 3 : m == 0x1E ? 6 : 2;
    e.PackedSize = size > headerLen ? size - headerLen : 0;
    if (m == 0x1E)
      e.UnpackedSize = (int64_t{b[2]} << 24) | (b[3] << 16) | (b[4] << 8) | b[5];
  }
  if (name.empty()) name = NameFromArchive(z.ArchiveFile());
  z.SetEntryName(name);
  e.ExternalAttr = 0x20;
  e.Method = b[2];
  e.MethodName = GzipMethodName(m, b[2]);
  z.ReportEntry(start, false);
  StopListing(z);
}

}  // namespace

std::unique_ptr<TDirReader> MakeGzipDirReader() { return std::make_unique<TGzipDirReader>(); }

}  // namespace quil
