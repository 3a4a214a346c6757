// TAR directory reader: 512-byte headers with octal (or base-256) fields. Names come whole from
// the ustar prefix, GNU long-name records ('L') and pax path records ('x'); those records, link
// names, global headers and volume labels are not entries themselves.
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

constexpr int64_t kBlock = 512;
constexpr int64_t kMaxNameRecord = 64 * 1024;
constexpr int64_t kMaxSize = int64_t{1} << 60;

// A numeric field: octal text, or base-256 when the first byte has its top bit set.
int64_t Numeric(const uint8_t* p, size_t n, bool& ok) {
  ok = true;
  if (p[0] & 0x80) {
    uint64_t v = p[0] & 0x3F;
    for (size_t i = 1; i < n; ++i) {
      if (v > (uint64_t{1} << 55)) { ok = false; return 0; }
      v = (v << 8) | p[i];
    }
    return static_cast<int64_t>(v);
  }
  std::string_view t(reinterpret_cast<const char*>(p), n);
  size_t digits = 0;
  for (char c : t) digits += c >= '0' && c <= '7';
  if (digits > 21) { ok = false; return 0; }
  return static_cast<int64_t>(ParseOctal(t));
}

bool ChecksumOk(const uint8_t* b) {
  uint32_t sum = 0;
  for (int i = 0; i < kBlock; ++i) sum += (i >= 148 && i < 156) ? ' ' : b[i];
  std::string_view f(reinterpret_cast<const char*>(b + 148), 8);
  return ParseOctal(f) == sum;
}

class TTarDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override {
    z.SetHeaderSize(kBlock);
    z.SetStartPos(z.ArcOffset());
    FLongName.reset();
  }
  void ReadEntry(TZuvOD& z) override;

 private:
  std::string ReadRecord(TZuvOD& z, int64_t pos, int64_t size) {
    if (size > kMaxNameRecord) BadHeader(z);
    std::string s(static_cast<size_t>(size), '\0');
    ReadExact(z, pos, reinterpret_cast<uint8_t*>(s.data()), size);
    return s;
  }
  std::optional<std::string> FLongName;
  std::optional<int64_t> FPaxSize;
};

// The value of `key` in pax records ("length key=value\n" ...).
std::optional<std::string> PaxValue(const std::string& rec, const std::string& key) {
  size_t i = 0;
  std::optional<std::string> found;
  while (i < rec.size()) {
    size_t sp = rec.find(' ', i);
    if (sp == std::string::npos) break;
    size_t len = 0;
    for (size_t k = i; k < sp; ++k) {
      if (rec[k] < '0' || rec[k] > '9' || len > rec.size()) return found;
      len = len * 10 + static_cast<size_t>(rec[k] - '0');
    }
    if (len <= sp - i || i + len > rec.size()) break;
    std::string body = rec.substr(sp + 1, i + len - sp - 1);
    if (!body.empty() && body.back() == '\n') body.pop_back();
    size_t eq = body.find('=');
    if (eq != std::string::npos && body.compare(0, eq, key) == 0 && eq == key.size())
      found = body.substr(eq + 1);
    i += len;
  }
  return found;
}

void TTarDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  if (z.HeaderBytes() < kBlock || b[0] == 0 || !ChecksumOk(b)) return StopListing(z);
  bool ok = true;
  int64_t size = Numeric(b + 124, 12, ok);
  if (!ok || size < 0 || size > kMaxSize) BadHeader(z);
  const int64_t data = start + kBlock;
  const int64_t next = data + (size + kBlock - 1) / kBlock * kBlock;
  const char type = static_cast<char>(b[156]);
  if (type == 'L') {
    FLongName = UpToZero(reinterpret_cast<const uint8_t*>(ReadRecord(z, data, size).c_str()),
                         static_cast<size_t>(size));
    return MoveTo(z, next, start);
  }
  if (type == 'x') {
    std::string rec = ReadRecord(z, data, size);
    if (auto p = PaxValue(rec, "path")) FLongName = *p;
    if (auto s = PaxValue(rec, "size")) {
      bool digits = !s->empty() && s->size() < 19 && AllDigits(*s);
      if (digits) FPaxSize = std::stoll(*s);
    }
    return MoveTo(z, next, start);
  }
  if (type == 'K' || type == 'g' || type == 'V' || type == 'M' || type == 'N') {
    return MoveTo(z, next, start);
  }
  std::string raw;
  if (FLongName) {
    raw = *FLongName;
  } else {
    raw = UpToZero(b, 100);
    if (std::string_view(reinterpret_cast<const char*>(b + 257), 5) == "ustar" && b[345] != 0)
      raw = UpToZero(b + 345, 155) + "/" + raw;
  }
  FLongName.reset();
  if (FPaxSize) size = *FPaxSize;
  const int64_t realNext =
      FPaxSize ? data + (size + kBlock - 1) / kBlock * kBlock : next;
  FPaxSize.reset();
  while (!raw.empty() && raw.back() == ' ') raw.pop_back();
  const bool directory = type == '5' || (!raw.empty() && raw.back() == '/');
  std::string name = Utf8OrOemName(raw);
  if (name.empty()) return StopListing(z);
  z.SetEntryName(directory ? AsFolder(name) : name);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  bool timeOk = true;
  int64_t mtime = Numeric(b + 136, 12, timeOk);
  e.FileDate = timeOk ? UnixToDateTime(mtime) : DateOf1980;
  const bool file = type == 0 || type == '0' || type == '1' || type == '2' || type == '7';
  e.PackedSize = e.UnpackedSize = (file && type != '1' && type != '2') ? size : 0;
  e.CRC = static_cast<uint32_t>(
      ParseOctal(std::string_view(reinterpret_cast<const char*>(b + 148), 8)));
  e.MethodName = "Tarred";
  bool modeOk = true;
  e.UnixMode = static_cast<uint32_t>(Numeric(b + 100, 8, modeOk)) & 07777;
  e.ExternalAttr = directory ? 0x10 : 0;
  if ((file || directory) && z.EntryPasses()) z.ReportEntry(start, directory);
  MoveTo(z, realNext, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeTarDirReader() { return std::make_unique<TTarDirReader>(); }

}  // namespace quil
