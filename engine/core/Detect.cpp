#include "engine/core/Detect.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "engine/core/ArcFile.h"
#include "engine/core/DateTime.h"
#include "engine/core/DiskManager.h"
#include "engine/core/Names.h"

namespace quil {

// ---------------------------------------------------------------------------------------------
// Inputs

int64_t TMemoryReadAt::ReadAt(int64_t pos, void* buf, int64_t count) {
  if (pos < 0 || count < 0) return -1;
  if (static_cast<uint64_t>(pos) >= FSize) return 0;
  size_t n = std::min<uint64_t>(static_cast<uint64_t>(count), FSize - static_cast<uint64_t>(pos));
  if (n) std::memcpy(buf, FData + pos, n);
  return static_cast<int64_t>(n);
}

int64_t TFileReadAt::Size() { return FFile.Size(); }

int64_t TFileReadAt::ReadAt(int64_t pos, void* buf, int64_t count) {
  if (!FFile.Seek(pos)) return -1;
  return FFile.Read(buf, count);
}

// ---------------------------------------------------------------------------------------------
// Small helpers

namespace {

constexpr uint32_t kLocalSig = 0x04034B50;    // PK 03 04
constexpr uint32_t kCentralSig = 0x02014B50;  // PK 01 02
constexpr uint32_t kEndSig = 0x06054B50;      // PK 05 06
constexpr uint32_t kSpanSig = 0x08074B50;     // PK 07 08
constexpr int32_t kUnknownDate = 29221;
constexpr int64_t kBufferSize = 32767;
constexpr int64_t kScanStart = 17000;
constexpr int64_t kScanBlock = 32768;
constexpr int kScanBlocks = 6;
const char kSpanLabel[] = "PKBACK# ";

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::string UpperExtension(const std::string& name) {
  std::string ext = ExtractFileExt(name);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

bool HasSpanLabel(const std::string& label) { return label.find(kSpanLabel) != std::string::npos; }

// Reads the volume that holds the archive afresh (a disk may have been swapped in the same drive).
void InspectVolume(const TDetectOptions& opt) {
  if (!opt.Disk) return;
  if (!opt.Disk->SelectDrive(opt.FileName)) opt.Disk->Refresh();
}
bool VolumeIsRemovable(const TDetectOptions& opt) { return opt.Disk && opt.Disk->IsRemovable(); }
std::string LastVolumeLabel(const TDetectOptions& opt) {
  return opt.Disk ? opt.Disk->VolumeLabel() : std::string();
}

// ---------------------------------------------------------------------------------------------
// String resources of a PE program: the table block that holds identifiers 0..15.

class PeStrings {
 public:
  PeStrings(IReadAt& in, int64_t size) : FIn(in), FSize(size) {}

  // Reads block 1 of the string table. False when the file has no such block or any structure
  // on the way is out of bounds.
  bool Load() {
    uint8_t mz[64];
    if (!Read(0, mz, 64)) return false;
    uint32_t peOff = Get32(mz + 0x3C);
    uint8_t pe[24];
    if (!Read(peOff, pe, 24) || Get32(pe) != 0x00004550) return false;  // "PE\0\0"
    uint16_t sections = Get16(pe + 6);
    uint16_t optSize = Get16(pe + 20);
    int64_t opt = static_cast<int64_t>(peOff) + 24;
    uint8_t magic[2];
    if (!Read(opt, magic, 2)) return false;
    int64_t countAt, dirAt;
    if (Get16(magic) == 0x10B) {
      countAt = 92, dirAt = 96;
    } else if (Get16(magic) == 0x20B) {
      countAt = 108, dirAt = 112;
    } else {
      return false;
    }
    // Data directory entry 2 (resources) must lie inside the optional header.
    if (dirAt + 3 * 8 > optSize) return false;
    uint8_t cnt[4], dir[8];
    if (!Read(opt + countAt, cnt, 4) || Get32(cnt) < 3) return false;
    if (!Read(opt + dirAt + 2 * 8, dir, 8)) return false;
    FResRva = Get32(dir);
    if (FResRva == 0) return false;
    FSecTable = opt + optSize;
    FSections = std::min<uint16_t>(sections, 96);

    int64_t typeDir = ResOffset(0);
    int64_t nameDir = typeDir < 0 ? -1 : FindEntry(typeDir, 6, true);       // RT_STRING
    int64_t langDir = nameDir < 0 ? -1 : FindEntry(nameDir, 1, true);       // block of ids 0..15
    int64_t data = langDir < 0 ? -1 : FindEntry(langDir, -1, false);        // first language
    if (data < 0) return false;
    uint8_t entry[16];
    if (!Read(data, entry, 16)) return false;
    int64_t at = RvaToOffset(Get32(entry));
    uint32_t len = Get32(entry + 4);
    if (at < 0 || len == 0 || len > 65536 || at + len > FSize) return false;
    FBlock.resize(len);
    return Read(at, FBlock.data(), len);
  }

  // String `id` (0..15) cut to `maxChars` UTF-16 units, as ASCII; false when it holds other
  // characters or the block is short.
  bool String(int id, size_t maxChars, std::string& out) const {
    size_t p = 0;
    for (int i = 0; i <= id; ++i) {
      if (p + 2 > FBlock.size()) return false;
      size_t len = Get16(FBlock.data() + p);
      p += 2;
      if (p + len * 2 > FBlock.size()) return false;
      if (i == id) {
        out.clear();
        for (size_t k = 0; k < len && k < maxChars; ++k) {
          uint16_t c = Get16(FBlock.data() + p + k * 2);
          if (c == 0) break;
          if (c > 0x7F) return false;
          out += static_cast<char>(c);
        }
        return true;
      }
      p += len * 2;
    }
    return false;
  }

 private:
  bool Read(int64_t pos, void* buf, int64_t n) {
    return pos >= 0 && n >= 0 && pos + n <= FSize && FIn.ReadAt(pos, buf, n) == n;
  }

  int64_t RvaToOffset(uint32_t rva) {
    for (int i = 0; i < FSections; ++i) {
      uint8_t s[40];
      if (!Read(FSecTable + int64_t{i} * 40, s, 40)) return -1;
      uint32_t vsize = Get32(s + 8), va = Get32(s + 12), rawSize = Get32(s + 16),
               rawPtr = Get32(s + 20);
      uint32_t span = std::max(vsize, rawSize);
      if (rva >= va && static_cast<uint64_t>(rva) < static_cast<uint64_t>(va) + span) {
        uint64_t delta = rva - va;
        if (delta >= rawSize) return -1;  // not backed by file data
        int64_t off = static_cast<int64_t>(rawPtr) + static_cast<int64_t>(delta);
        return off < FSize ? off : -1;
      }
    }
    return -1;
  }

  // File offset of a structure at `rel` bytes into the resource section.
  int64_t ResOffset(uint32_t rel) {
    uint64_t rva = static_cast<uint64_t>(FResRva) + rel;
    if (rva > UINT32_MAX) return -1;
    return RvaToOffset(static_cast<uint32_t>(rva));
  }

  // In the resource directory at file offset `dir`, the entry with numeric `id` (any entry when
  // id < 0) that is a subdirectory (`wantDir`) or a data entry; the file offset of what it names.
  int64_t FindEntry(int64_t dir, int id, bool wantDir) {
    uint8_t hdr[16];
    if (!Read(dir, hdr, 16)) return -1;
    int named = Get16(hdr + 12), ids = Get16(hdr + 14);
    int total = std::min(named + ids, 4096);
    for (int i = 0; i < total; ++i) {
      uint8_t e[8];
      if (!Read(dir + 16 + int64_t{i} * 8, e, 8)) return -1;
      uint32_t name = Get32(e), target = Get32(e + 4);
      if (id >= 0 && ((name & 0x80000000u) || name != static_cast<uint32_t>(id))) continue;
      bool isDir = (target & 0x80000000u) != 0;
      if (isDir != wantDir) {
        if (id >= 0) return -1;
        continue;
      }
      return ResOffset(target & 0x7FFFFFFFu);
    }
    return -1;
  }

  IReadAt& FIn;
  int64_t FSize;
  uint32_t FResRva = 0;
  int64_t FSecTable = 0;
  int FSections = 0;
  std::vector<uint8_t> FBlock;
};

// ---------------------------------------------------------------------------------------------
// The detector: one run over one input.

class Detector {
 public:
  Detector(IReadAt& in, const TDetectOptions& opt, TDetection& d) : FIn(in), FOpt(opt), FD(d) {}

  void Run();
  TArcType Classify(uint32_t sig, bool exe);

 private:
  int64_t Read(int64_t pos, void* buf, int64_t n) {
    if (pos < 0 || n < 0) return -1;
    return FIn.ReadAt(pos, buf, n);
  }
  bool ReadExact(int64_t pos, void* buf, int64_t n) { return Read(pos, buf, n) == n; }

  bool PlainZipOrFixedStub();
  void ExecutablePath();
  void PlainFilePath();
  int64_t FindEndOfCentralDir();
  int64_t FindZipStart();
  int64_t ScanForSignature(int64_t start);
  bool UuTest();
  bool TarTest();
  bool AceMarker();
  bool PublishedOffsets();
  bool DosImageEnd(bool& fileError);

  IReadAt& FIn;
  const TDetectOptions& FOpt;
  TDetection& FD;
  int64_t FSize = 0;
  std::vector<uint8_t> FBuf;  // the first up to 32767 bytes
};

void Detector::Run() {
  FD.ArcType = atFileOpenErr;
  FD.ArcOffset = 1;
  FD.ReaderStart = 1;
  FD.ZipFlags = 0;
  FD.Headers = TZipHeaders{};
  FSize = FIn.Size();
  if (FSize < 0) {
    FD.ArchiveSize = 0;
    return;
  }
  FD.ArchiveSize = FSize;
  if (FSize < 20) return;

  if (PlainZipOrFixedStub()) return;

  FBuf.assign(static_cast<size_t>(std::min(FSize, kBufferSize)), 0);
  int64_t n = Read(0, FBuf.data(), static_cast<int64_t>(FBuf.size()));
  FBuf.resize(n > 0 ? static_cast<size_t>(n) : 0);
  if (FBuf.size() >= 2 && FBuf[0] == 'M' && FBuf[1] == 'Z')
    ExecutablePath();
  else
    PlainFilePath();
}

bool Detector::PlainZipOrFixedStub() {
  FD.ArcType = atZipExe;
  uint8_t sig[4];
  if (FSize >= 5 && ReadExact(0, sig, 4) && Get32(sig) == kLocalSig) {
    FD.ArcOffset = FindZipStart();
    if (FD.ArcOffset > 0) {
      FD.ArcType = atZip;
      return true;
    }
    FD.ArcType = atNA;
    return false;
  }
  static const int64_t kStubOffsets[] = {7612, 15770, 25661};
  for (int64_t off : kStubOffsets) {
    if (FSize <= off + 4) continue;
    if (ReadExact(off, sig, 4) && Get32(sig) == kLocalSig) {
      FD.ArcOffset = off;
      FD.ArcType = atZipExe;
      if (off != 25661) FD.ZipFlags = 0x10;
      return true;
    }
  }
  FD.ArcType = atNA;
  return false;
}

// Offsets 1..4 published as string resources by a self-extractor program.
bool Detector::PublishedOffsets() {
  PeStrings strings(FIn, FSize);
  if (!strings.Load()) return false;
  for (int id = 1; id <= 4; ++id) {
    std::string text;
    // A 6-character buffer: at most 5 digits.
    if (!strings.String(id, 5, text) || text.empty()) break;
    int64_t value = 0;
    bool ok = true;
    for (char c : text) {
      if (c < '0' || c > '9') ok = false;
      value = value * 10 + (c - '0');
    }
    if (!ok || value >= FSize) break;
    uint8_t sig[4];
    if (!ReadExact(value, sig, 4)) continue;
    TArcType t = Classify(Get32(sig), true);
    if (t != atUnknown) {
      FD.ArcType = t;
      // ZIP types count offsets from 0, every other type counts file positions from 1.
      FD.ArcOffset = IsZipType(t) ? value : value + 1;
      FD.ZipFlags = 0x10;
      return true;
    }
  }
  return false;
}

// The archive right behind the DOS program image.
bool Detector::DosImageEnd(bool& fileError) {
  uint16_t cblp = Get16(FBuf.data() + 2), cp = Get16(FBuf.data() + 4);
  // e_cblp counts the bytes used in the last 512-byte page; 0 means the last page is full.
  int64_t e = cblp == 0 ? int64_t{cp} * 512 : (int64_t{cp} - 1) * 512 + cblp;
  if (!(e > 0 && e + 4 < FSize)) return false;
  uint8_t b[4];
  int64_t n = Read(e, b, 4);
  if (n < 0) {
    fileError = true;
    return false;
  }
  if (n != 4) return false;
  if (b[2] == 0x60 && b[3] == 0xEA) e += 2;
  FD.ArcOffset = e + 1;
  if (FD.ArcOffset + 4 < FSize) {
    n = Read(e, b, 4);
    if (n < 0) return false;
    if (n == 4 && Get32(b) != kLocalSig) {
      TArcType t = Classify(Get32(b), true);
      if (IsRecognised(t)) {
        FD.ArcType = t;
        return true;
      }
    }
  }
  return false;
}

void Detector::ExecutablePath() {
  FD.ArcType = atUnknown;
  if (FBuf.size() < 6) return;
  if (PublishedOffsets()) return;
  FD.ArcType = atUnknown;
  bool fileError = false;
  if (DosImageEnd(fileError)) return;
  if (fileError) {
    FD.ArcType = atFileOpenErr;
    return;
  }
  FD.ArcType = atUnknown;
  std::memset(FD.Headers.EndRecord, 0, sizeof FD.Headers.EndRecord);
  FD.ArcOffset = FindEndOfCentralDir();
  if (FD.ArcOffset > 0) {
    FD.ArcType = atZipExe;
    return;
  }
  if (FD.ZipFlags & 0x01) {
    FD.ArcOffset = FindZipStart();
    if (FD.ArcOffset > 0) FD.ArcType = atZipExe;
    return;
  }
  FD.ArcOffset = ScanForSignature(kScanStart);
}

bool Detector::AceMarker() {
  uint8_t b[7];
  return ReadExact(7, b, 7) && std::memcmp(b, "**ACE**", 7) == 0;
}

void Detector::PlainFilePath() {
  size_t skipped = 0;
  while (skipped < FBuf.size() && FBuf[skipped] == 0) ++skipped;
  uint8_t sig[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < 4 && skipped + i < FBuf.size(); ++i) sig[i] = FBuf[skipped + i];
  FD.ArcType = Classify(Get32(sig), false);
  // A split archive's first part starts with the spanning marker; its first local header
  // follows it.
  int64_t firstLocal = static_cast<int64_t>(skipped) + (Get32(sig) == kSpanSig ? 4 : 0);

  if (FD.ArcType == atJar || FD.ArcType == atZip || FD.ArcType == atZipExe) {
    FD.ArcOffset = FindEndOfCentralDir();
    if (FD.ArcOffset == 0) {
      // No usable central directory: the local headers are read in sequence from the first one.
      FD.ArcOffset = firstLocal;
      FD.ZipFlags = 0x10;
    }
  } else if (FD.ArcType != atZipMV && AceMarker()) {
    FD.ArcType = atACE;
    FD.ArcOffset = 1;
  }
  if (IsRecognised(FD.ArcType)) return;

  InspectVolume(FOpt);
  if (VolumeIsRemovable(FOpt) && KnownExtensionIndex(UpperExtension(FOpt.FileName)) == ExtZip) {
    if (HasSpanLabel(LastVolumeLabel(FOpt))) {
      FindEndOfCentralDir();
      if (FD.ZipFlags == 0) {
        FD.ArcType = atZipMV;
      } else if (FD.ZipFlags < 0x10) {
        FD.ArcType = atZipMV;
        FD.ArcOffset = 4;
        FD.ReaderStart = 4;
      }
    }
    return;
  }
  if (AceMarker()) {
    FD.ArcType = atACE;
    FD.ArcOffset = 1;
  } else if (UuTest()) {
    FD.ArcType = atUue;
    FD.ArcOffset = 1;
  } else if (TarTest()) {
    FD.ArcType = atTar;
  } else {
    int64_t off = FindEndOfCentralDir();
    if (off > 0) {
      FD.ArcType = atZip;
      FD.ArcOffset = off;
    }
  }
}

TArcType Detector::Classify(uint32_t s, bool exe) {
  uint16_t lo = static_cast<uint16_t>(s & 0xFFFF), hi = static_cast<uint16_t>(s >> 16);
  if (lo == 0x4B50 && hi == 0x0807) {  // spanning marker
    InspectVolume(FOpt);
    TArcType t = atZip;
    if (VolumeIsRemovable(FOpt)) t = HasSpanLabel(LastVolumeLabel(FOpt)) ? atZipMV : atNA;
    FD.ZipFlags = 0x10;
    FD.ArcOffset = 4;
    return t;
  }
  if (lo == 0x4B50 && hi == 0x0201) {  // a central header first
    InspectVolume(FOpt);
    if (!HasSpanLabel(LastVolumeLabel(FOpt))) return atNA;
    FindEndOfCentralDir();
    return atZipMV;
  }
  if (lo == 0x4B50 && hi == 0x3447) return atNA;
  if (lo == 0x4B50) return exe ? atZipExe : atZip;
  if (s == 0x4643534D) return exe ? atUnsupported : atCab;
  if (s == 0x07054842) return exe ? atBhExe : atBh;
  if (s == 0x8C655D13) return exe ? atUnsupported : atMsGZ;
  if (lo == 0x4148) return exe ? atUnsupported : atHa;
  if (lo == 0x8B1F || lo == 0x9D1F || lo == 0x9E1F || lo == 0x1E1F || lo == 0x2125 || lo == 0xA01F)
    return exe ? atUnsupported : atGZip;
  if (lo == 0xEA60) return exe ? atArjExe : atArj;
  if (lo == 0x4F5A) return exe ? atUnsupported : atZoo;
  if (hi == 0x6C2D) return exe ? atLhaExe : atLha;
  if (s == 0x21726152) return exe ? atRarExe : atRar;
  if (lo == 0x0A1A || lo == 0x0B1A) return exe ? atPakExe : atPak;
  if (lo == 0x1E1A || lo == 0x021A) return exe ? atUnsupported : atArc;
  if (lo == 0x081A || lo == 0x091A) return exe ? atArcExe : atArc;
  if (lo == 0x92B7 || lo == 0xDFB7) {
    FD.ArcOffset = 7717;
    return atArcExe;
  }
  return atUnknown;
}

int64_t Detector::FindEndOfCentralDir() {
  int64_t room = FOpt.ZipCmntBufSize;
  int64_t len;
  if (room + 23 <= FSize)
    len = room + 23;
  else if (room == 0)
    len = 23;
  else if (FSize > 32768)
    len = 32768;
  else
    len = FSize - 1;
  FD.ZipFlags = 0;
  if (FSize <= len || len < 23) return 0;

  std::vector<uint8_t> win(static_cast<size_t>(len));
  int64_t base = FSize - len;
  int64_t n = Read(base, win.data(), len);
  if (n < 22) return 0;
  for (int64_t i = n - 22; i >= 1; --i) {
    if (Get32(win.data() + i) != kEndSig) continue;
    TZipHeaders& h = FD.Headers;
    if (!ReadExact(base + i, h.EndRecord, 22) || Get32(h.EndRecord) != kEndSig) return 0;
    FD.ZipFlags |= 0x01;
    int64_t central = Get32(h.EndRecord + 16);
    if (!ReadExact(central, h.CentralHeader, 46) || Get32(h.CentralHeader) != kCentralSig) return 0;
    FD.ZipFlags |= 0x08;
    int64_t local = Get32(h.CentralHeader + 42);
    if (!ReadExact(local, h.LocalHeader, 30) || Get32(h.LocalHeader) != kLocalSig) return 0;
    FD.ZipFlags |= 0x10;
    return central;
  }
  return 0;
}

int64_t Detector::FindZipStart() {
  FD.ArcType = atUnknown;
  FindEndOfCentralDir();
  if (!(FD.ZipFlags & 0x01)) return 0;
  int64_t central = Get32(FD.Headers.EndRecord + 16);
  if (central < FSize && central > 0) {
    uint8_t h[46];
    if (ReadExact(central, h, 46) && Get32(h) == kCentralSig) return central;
  }
  if (FSize <= 25000) return 0;
  std::vector<uint8_t> block(32768);
  int64_t n = Read(25000, block.data(), 32768);
  for (int64_t i = 0; i + 4 <= n; ++i) {
    if (Get32(block.data() + i) == kLocalSig) {
      FD.ZipFlags = 0x10;
      return 25000 + i;
    }
  }
  return 0;
}

int64_t Detector::ScanForSignature(int64_t start) {
  FD.ArcType = atUnknown;
  if (FSize <= start) return 0;
  // All blocks at once, plus a few bytes so that a header across a block end is seen whole.
  int64_t want = std::min<int64_t>(kScanBlock * kScanBlocks + 4, FSize - start);
  std::vector<uint8_t> buf(static_cast<size_t>(want));
  int64_t n = Read(start, buf.data(), want);
  if (n <= 0) return 0;
  int64_t positions = std::min<int64_t>(n, kScanBlock * kScanBlocks);
  const uint8_t* b = buf.data();
  for (int64_t p = 0; p < positions; ++p) {
    int64_t a = start + p;
    if (b[p] == '-' && p + 4 < n && b[p + 1] == 'l' && b[p + 2] == 'h' && b[p + 4] == '-' &&
        a + 5 < FSize) {
      FD.ArcType = atLhaExe;
      return a - 1;
    }
    if (p + 4 <= n && b[p] == 'P' && Get32(b + p) == kLocalSig) {
      FD.ArcType = atZipExe;
      FD.ZipFlags = 0x10;
      return a;
    }
    if (p + 4 <= n && b[p] == 'R' && std::memcmp(b + p, "Rar!", 4) == 0) {
      FD.ArcType = atRarExe;
      return a + 1;
    }
  }
  return 0;
}

bool Detector::UuTest() {
  size_t window = std::min<size_t>(FBuf.size(), 2500);
  const uint8_t* b = FBuf.data();
  auto beginAt = [&](size_t i) { return i + 6 <= window && std::memcmp(b + i, "begin ", 6) == 0; };
  if (beginAt(0)) return true;
  for (size_t i = 0; i + 1 < window; ++i)
    if (b[i] == '\n' && beginAt(i + 1)) return true;
  return false;
}

bool Detector::TarTest() {
  if (FSize <= 512) return false;
  uint8_t* h = FD.Headers.TarHeader;
  if (!ReadExact(0, h, 512)) return false;
  if (h[156] == 'V') {
    FD.ArcOffset = 513;
    if (513 + 512 >= FSize || !ReadExact(512, h, 512)) {
      FD.ArcOffset = 1;
      return false;
    }
  }
  int64_t stored = 0;
  for (int i = 148; i < 156; ++i)
    if (h[i] >= '0' && h[i] <= '7') stored = stored * 8 + (h[i] - '0');
  int64_t sum = 0;
  for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? 32 : h[i];
  if (sum == stored) return true;
  FD.ArcOffset = 1;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public entry points

void DetectArcType(IReadAt& in, const TDetectOptions& opt, TDetection& d) {
  Detector(in, opt, d).Run();
}

TArcType ClassifySignature(uint32_t sig, bool executable, IReadAt& in, const TDetectOptions& opt,
                           TDetection& d) {
  Detector det(in, opt, d);
  return det.Classify(sig, executable);
}

void DetectArchiveFile(const std::string& name, const TDetectOptions& opt, TDetection& d) {
  d.ArchiveDate = kUnknownDate;
  if (name.empty()) {
    d.ArcType = atNA;
    return;
  }
  d.ArcType = atFileOpenErr;
  d.ArcOffset = 1;
  d.ReaderStart = 1;
  d.ZipFlags = 0;
  d.ArchiveSize = 0;
  TArcFile file;
  if (!file.Open(name, TArcFile::ReadOnly)) return;
  TDetectOptions o = opt;
  o.FileName = name;
  TFileReadAt in(file);
  DetectArcType(in, o, d);
  if (d.ArcType == atZip && KnownExtensionIndex(UpperExtension(name)) == ExtJar) d.ArcType = atJar;
  if (IsRecognised(d.ArcType)) {
    struct stat st;
    d.ArchiveDate = ::stat(name.c_str(), &st) == 0
                        ? static_cast<int32_t>(UnixToDos(static_cast<int64_t>(st.st_mtime)))
                        : kUnknownDate;
  }
  file.Close();
}

void ComputeVolumeSuffix(const std::string& name, TDetection& d) {
  char letter;
  const char* fallback;
  bool arj = false;
  switch (d.ArcType) {
    case atACE: letter = 'C', fallback = "Ace"; break;
    case atArj:
    case atArjExe: letter = 'a', fallback = "Arj", arj = true; break;
    case atRar:
    case atRarExe: letter = 'r', fallback = "Rar"; break;
    default: d.VolumeNumber = 0; return;
  }
  std::string ext = ExtractFileExt(name);
  if (!ext.empty()) ext.erase(0, 1);
  if (ext.empty()) ext = fallback;
  int64_t number = -1;
  for (size_t i = ext.size(); i-- > 0;) {
    if (ext[i] < '0' || ext[i] > '9') continue;
    bool digits = true;
    int64_t v = 0;
    for (size_t k = i; k < ext.size() && digits; ++k) {
      if (ext[k] < '0' || ext[k] > '9') digits = false;
      else v = std::min<int64_t>(v * 10 + (ext[k] - '0'), INT32_MAX - 1);
    }
    if (!digits) continue;
    number = v;
    if (i == ext.size() - 1) letter = ext[0];
  }
  d.VolumeLetter = letter;
  d.VolumeNumber = static_cast<int32_t>(number == -1 ? (arj ? 1 : 0) : number + 1);
}

}  // namespace quil
