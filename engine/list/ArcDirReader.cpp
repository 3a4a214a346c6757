// ARC and PAK directory reader: 29-byte headers behind a 0x1A marker; ARC subdirectories
// (method 30 opens one, method 31 closes it) give the folder in front of the names inside.
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
constexpr size_t kMaxDepth = 64;

std::string ArcMethodName(uint8_t m, bool pak, bool directory) {
  if (pak) {
    static const char* const kPak[] = {"",         "Stored",   "Stored",   "RLE",
                                       "Squeezed", "FIXEDLEN", "FIXEDLEN", "FIXEDLEN",
                                       "VARIBLE",  "VARIBLE",  "Crushed",  "Distill"};
    return m >= 1 && m <= 11 ? kPak[m] : "Unknown";
  }
  static const char* const kArc[] = {"",          "Stored",    "Stored",   "Packed",
                                     "Squeezed",  "crunched",  "crunched", "crunched",
                                     "Crunched",  "Squashed",  "Pack10",   "Pack11",
                                     "Pack12"};
  if (m >= 1 && m <= 12) return kArc[m];
  return directory ? "Dir" : "Unknown";
}

class TArcDirReader : public TDirReader {
 public:
  explicit TArcDirReader(bool pak) : FPak(pak) {}
  void BeginListing(TZuvOD& z) override {
    z.SetHeaderSize(kFixed);
    z.SetStartPos(z.ArcOffset());
    FFolders.clear();
  }
  void ReadEntry(TZuvOD& z) override;

 private:
  std::string Prefix() const {
    std::string p;
    for (const auto& f : FFolders) p += f + "/";
    return p;
  }
  bool FPak;
  std::vector<std::string> FFolders;
};

void TArcDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  const uint8_t method = b[1];
  if (b[0] != 0x1A || method == 0) return StopListing(z);
  if (!FPak && method == 31) {  // end of a subdirectory: a 2-byte record
    if (!FFolders.empty()) FFolders.pop_back();
    return MoveTo(z, start + 2, start);
  }
  const bool directory = !FPak && method == 30;
  std::string name = OemName(UpToZero(b + 2, 13));
  int64_t packed = Le32(b + 15);
  // Method 1 is the oldest header: 25 bytes, without the uncompressed size.
  const int64_t headerLen = method == 1 ? 25 : kFixed;
  int64_t unpacked = method == 1 ? packed : Le32(b + 25);
  int64_t next = start + headerLen + packed;
  if (directory) {
    if (FFolders.size() >= kMaxDepth) BadHeader(z);
    FFolders.push_back(name);
    name.clear();
    packed = unpacked = 0;
    next = start + headerLen;  // the folder's entries follow
  }
  std::string full = Prefix() + name;
  if (directory) full = AsFolder(full);
  z.SetEntryName(full);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = DosToDateTime(SwapWords(Le32(b + 19)));
  e.PackedSize = packed;
  e.UnpackedSize = unpacked;
  e.CRC = Le16(b + 23);
  e.Method = method;
  e.MethodName = ArcMethodName(method, FPak, directory);
  e.InternalAttr = directory ? 16 : 32;
  e.ExternalAttr = directory ? 16 : 32;
  if ((directory && z.ShowBlankDirs()) || z.EntryPasses()) z.ReportEntry(start, directory);
  MoveTo(z, next, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeArcDirReader() { return std::make_unique<TArcDirReader>(false); }
std::unique_ptr<TDirReader> MakePakDirReader() { return std::make_unique<TArcDirReader>(true); }

}  // namespace quil
