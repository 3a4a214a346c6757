// ZIP directory reader (plain ZIP, JAR, self-extracting ZIP, spanned and split sets): walks the
// central directory, or the local headers when there is no usable central directory.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/core/DateTime.h"
#include "engine/core/Messages.h"
#include "engine/core/Charsets.h"
#include "engine/list/DirReader.h"
#include "engine/list/ZuvOD.h"

namespace quil {

namespace {

constexpr uint32_t kLocalSig = 0x04034B50, kCentralSig = 0x02014B50, kEndSig = 0x06054B50;
constexpr int64_t kLocalSize = 30, kCentralSize = 46, kEndSize = 22;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

// Finds the end record in the last 64 KiB + 22 bytes of `f`. False when there is none.
bool FindEndRecord(TArcFile& f, uint8_t rec[kEndSize], int64_t& at) {
  int64_t size = f.Size();
  if (size < kEndSize) return false;
  int64_t window = std::min<int64_t>(size, 65535 + kEndSize);
  std::vector<uint8_t> tail(static_cast<size_t>(window));
  if (!f.ReadAt(size - window, tail.data(), window)) return false;
  for (int64_t i = window - kEndSize; i >= 0; --i) {
    if (Le32(&tail[i]) == kEndSig) {
      std::memcpy(rec, &tail[i], kEndSize);
      at = size - window + i;
      return true;
    }
  }
  return false;
}

const char* MethodNameOf(uint16_t method, uint16_t flags, bool directory) {
  static const char* const kNames[] = {"Stored",   "Shrunk",   "Reduce-1", "Reduce-2", "Reduce-3",
                                       "Reduce-4", "Imploded", "Tokened"};
  if (method < 8) return kNames[method];
  if (method == 8) {
    bool b1 = flags & 0x02, b2 = flags & 0x04;
    return b1 && b2 ? "DeflateS" : b2 ? "DeflateF" : b1 ? "DeflateX" : "DeflateN";
  }
  return directory ? "Dir" : "Unknown";
}

uint8_t DeflateLevelOf(uint16_t flags) {
  bool b1 = flags & 0x02, b2 = flags & 0x04;
  return b1 && b2 ? 6 : b2 ? 4 : b1 ? 2 : 0;
}

class TZipDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD& z) override;
  int64_t ReadAt(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n) override;

 private:
  enum TParts { kOneFile, kNumbered, kRemovable };
  void BeginNumbered(TZuvOD& z);
  bool NextPart(TZuvOD& z);
  void ReadExact(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n);
  void ApplyZip64(TZuvOD& z, int64_t extraPos, uint16_t extraLen, bool needU, bool needP,
                  bool needOff, int64_t& offset);

  bool FCentral = false;
  TParts FParts = kOneFile;
  int64_t FPartBase = 0;  // archive position of byte 0 of the open part
  int FPart = 0;          // 0-based disk number of the open part
  int FLastDisk = 0;
  std::string FLastName;
  std::string FName;      // name buffer, reused
};

void TZipDirReader::ReadExact(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n) {
  if (n <= 0) return;
  if (z.ReadAt(pos, buf, n) != n) z.RaiseError(z.ArchiveFile(), "", std::to_string(FPart), 25236);
}

void TZipDirReader::BeginListing(TZuvOD& z) {
  const uint8_t flags = z.ZipFlags();
  if (z.ArcType() == atZipMV) {
    FCentral = true;
    z.SetHeaderSize(kCentralSize);
    z.DiskManager().SelectDrive(z.ArchiveFile());
    if (!z.DiskManager().IsRemovable() && IsSplitZipLastPart(z.ArchiveFile())) {
      BeginNumbered(z);
      return;
    }
    FParts = kRemovable;
    if (!z.RequestLastDisk()) {
      z.SetStartPos(z.ArchiveSize() + 1);
      return;
    }
    FLastDisk = Le16(z.Detection().Headers.EndRecord + 4);
    // The directory may begin on an earlier disk than the last one.
    int first = z.CentralStartDisk();
    if (z.DiskManager().IsRemovable() && z.CurrentDisk() != first + 1 && !z.RequestDisk(first + 1)) {
      z.SetStartPos(z.ArchiveSize() + 1);
      return;
    }
    FPart = std::max(0, z.CurrentDisk() - 1);
    FPartBase = 0;
    z.SetEndPos(std::numeric_limits<int64_t>::max() / 4);
    z.SetStartPos(z.ArcOffset() + 1);
    return;
  }
  if (z.OnCorruptZipHeader && (flags & 0x19) != 0x19) {
    bool cancel = true;
    z.OnCorruptZipHeader(&z, flags, cancel);
    if (cancel) z.SetStartPos(z.EndPos() + 1);
  }
  z.SetEndPos(z.ArchiveSize());
  z.SetStartPos(z.StartPos() + 1);
  FCentral = (flags & 0x08) != 0;
  z.SetHeaderSize(FCentral ? kCentralSize : kLocalSize);
}

void TZipDirReader::BeginNumbered(TZuvOD& z) {
  FParts = kNumbered;
  FLastName = z.ArchiveFile();
  uint8_t rec[kEndSize];
  int64_t at = 0;
  if (!FindEndRecord(z.ArcFile(), rec, at)) z.RaiseError(FLastName, "", "0", 25108);
  FLastDisk = Le16(rec + 4);
  int first = Le16(rec + 6);
  if (first > FLastDisk) z.RaiseError(FLastName, "", "0", 25108);
  int64_t total = 0;
  for (int d = first; d <= FLastDisk; ++d) {
    TArcFile part;
    std::string name = SplitZipPartName(FLastName, d, FLastDisk);
    if (!part.Open(name, TArcFile::ReadOnly)) z.RaiseError(name, "", std::to_string(d + 1), 25172);
    total += part.Size();
  }
  FPart = first;
  FPartBase = 0;
  if (first != FLastDisk) {
    std::string name = SplitZipPartName(FLastName, first, FLastDisk);
    z.ArcFile().Close();
    if (!z.ArcFile().Open(name, TArcFile::ReadOnly)) z.RaiseError(name, "", "0", 25172);
    z.SetVolumeName(name);
  }
  z.SetEndPos(total);
  z.SetStartPos(static_cast<int64_t>(Le32(rec + 16)) + 1);
}

bool TZipDirReader::NextPart(TZuvOD& z) {
  if (FPart >= FLastDisk) return false;
  int64_t size = z.ArcFile().Size();
  if (FParts == kNumbered) {
    std::string name = SplitZipPartName(FLastName, FPart + 1, FLastDisk);
    z.ArcFile().Close();
    if (!z.ArcFile().Open(name, TArcFile::ReadOnly))
      z.RaiseError(name, "", std::to_string(FPart + 2), 25172);
    z.SetVolumeName(name);
  } else {
    int64_t end = z.EndPos();  // reopening sets it to the new disk's size
    if (!z.RequestDisk(FPart + 2)) {
      z.SetReadPos(end);
      z.SetEndPos(end);
      return false;
    }
    z.SetEndPos(end);
  }
  ++FPart;
  FPartBase += size;
  return true;
}

int64_t TZipDirReader::ReadAt(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n) {
  if (FParts == kOneFile) return TDirReader::ReadAt(z, pos, buf, n);
  int64_t done = 0;
  while (done < n) {
    int64_t local = pos + done - FPartBase;
    if (local < 0) return -1;
    int64_t size = z.ArcFile().Size();
    if (local >= size) {
      if (!NextPart(z)) break;
      continue;
    }
    if (!z.ArcFile().Seek(local)) return -1;
    int64_t got = z.ArcFile().Read(buf + done, std::min(n - done, size - local));
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

void TZipDirReader::ApplyZip64(TZuvOD& z, int64_t extraPos, uint16_t extraLen, bool needU,
                               bool needP, bool needOff, int64_t& offset) {
  if (extraLen < 4) return;
  std::vector<uint8_t> extra(extraLen);
  ReadExact(z, extraPos, extra.data(), extraLen);
  for (size_t i = 0; i + 4 <= extra.size();) {
    uint16_t tag = Le16(&extra[i]), len = Le16(&extra[i + 2]);
    size_t body = i + 4, end = body + len;
    if (end > extra.size()) break;
    if (tag == 0x0001) {
      TEntryInfo& e = z.Entry();
      auto take = [&](bool need, int64_t& field) {
        if (!need || body + 8 > end) return;
        uint64_t v = Le64(&extra[body]);
        if (v <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
          field = static_cast<int64_t>(v);
        body += 8;
      };
      take(needU, e.UnpackedSize);
      take(needP, e.PackedSize);
      take(needOff, offset);
      return;
    }
    i = end;
  }
}

void TZipDirReader::ReadEntry(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const uint32_t want = FCentral ? kCentralSig : kLocalSig;
  if (Le32(b) != want) {
    z.SetReadPos(z.EndPos());
    if (z.FileCount() == 0) z.ReportError(z.ArchiveFile(), "", "0", 25108);
    return;
  }
  if (z.HeaderBytes() < z.HeaderSize())
    z.RaiseError(z.ArchiveFile(), "", std::to_string(FPart), 25236);

  const uint16_t nameLen = Le16(b + (FCentral ? 28 : 26));
  FName.resize(nameLen);
  ReadExact(z, z.ReadPos(), reinterpret_cast<uint8_t*>(FName.data()), nameLen);
  z.SetReadPos(z.ReadPos() + nameLen);
  const uint16_t flags = Le16(b + (FCentral ? 8 : 6));
  z.ClearEntry();
  // General-purpose bit 11: the name is UTF-8; otherwise it is in the OEM code page. Plain ASCII
  // reads the same either way and needs no conversion.
  bool ascii = std::all_of(FName.begin(), FName.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii)
    z.SetEntryName(FName);
  else
    z.SetEntryName(StoredNameToUtf8(FName, (flags & 0x0800) != 0));

  TEntryInfo& e = z.Entry();
  if (!FCentral) {
    const uint16_t extraLen = Le16(b + 28);
    e.FileDate = DosToDateTime(Le32(b + 10));
    e.VersionMadeBy = e.VersionNeeded = Le16(b + 4);
    e.CRC = Le32(b + 14);
    e.PackedSize = Le32(b + 18);
    e.UnpackedSize = Le32(b + 22);
    e.Encrypted = flags & 0x01;
    e.DeflateLevel = DeflateLevelOf(flags);
    e.Method = Le16(b + 8);
    int64_t offset = z.ReadPos() - nameLen - kLocalSize;
    bool needU = Le32(b + 22) == 0xFFFFFFFFu, needP = Le32(b + 18) == 0xFFFFFFFFu;
    if (needU || needP) {
      // A ZIP64 local header carries both sizes in its extra field.
      int64_t unused = 0;
      ApplyZip64(z, z.ReadPos(), extraLen, true, true, false, unused);
    }
    bool directory = !e.FileName.empty() && e.FileName.back() == '/';
    e.MethodName.assign(MethodNameOf(e.Method, flags, directory));
    if (z.EntryPasses()) z.ReportEntry(offset, directory);
    z.SetReadPos(z.ReadPos() + e.PackedSize + extraLen);
    return;
  }

  const uint16_t extraLen = Le16(b + 30), commentLen = Le16(b + 32);
  if (commentLen) {
    std::string comment(commentLen, '\0');
    ReadExact(z, z.ReadPos() + extraLen, reinterpret_cast<uint8_t*>(comment.data()), commentLen);
    e.FileComment = std::move(comment);
  }
  e.FileDate = DosToDateTime(Le32(b + 12));
  e.VersionMadeBy = Le16(b + 4);
  e.VersionNeeded = Le16(b + 6);
  e.CRC = Le32(b + 16);
  e.PackedSize = Le32(b + 20);
  e.UnpackedSize = Le32(b + 24);
  e.Encrypted = flags & 0x01;
  e.DeflateLevel = DeflateLevelOf(flags);
  e.Method = Le16(b + 10);
  e.InternalAttr = Le16(b + 36);
  e.ExternalAttr = Le32(b + 38);
  if ((e.VersionMadeBy >> 8) == 3) e.UnixMode = e.ExternalAttr >> 16;  // made on Unix
  int64_t offset = Le32(b + 42);
  bool needU = Le32(b + 24) == 0xFFFFFFFFu, needP = Le32(b + 20) == 0xFFFFFFFFu,
       needOff = Le32(b + 42) == 0xFFFFFFFFu;
  if (needU || needP || needOff) ApplyZip64(z, z.ReadPos(), extraLen, needU, needP, needOff, offset);
  bool directory = (e.ExternalAttr & 0x10) || (!e.FileName.empty() && e.FileName.back() == '/');
  e.MethodName.assign(MethodNameOf(e.Method, flags, directory));
  if (z.EntryPasses()) z.ReportEntry(offset, directory);
  e.FileComment.reset();
  z.SetReadPos(z.ReadPos() + extraLen + commentLen);
}

}  // namespace

std::unique_ptr<TDirReader> MakeZipDirReader() { return std::make_unique<TZipDirReader>(); }

std::string SplitZipPartName(const std::string& last, int32_t d, int32_t lastDisk) {
  if (d == lastDisk) return last;
  size_t slash = last.rfind('/');
  size_t dot = last.rfind('.');
  std::string stem = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                         ? last
                         : last.substr(0, dot);
  std::string num = std::to_string(d + 1);
  if (num.size() < 2) num = "0" + num;
  return stem + ".z" + num;
}

bool IsSplitZipLastPart(const std::string& path) {
  TArcFile f;
  if (!f.Open(path, TArcFile::ReadOnly)) return false;
  uint8_t rec[kEndSize];
  int64_t at = 0;
  if (!FindEndRecord(f, rec, at)) return false;
  uint16_t thisDisk = Le16(rec + 4), firstDisk = Le16(rec + 6);
  return thisDisk > 0 && thisDisk != 0xFFFF && firstDisk <= thisDisk;
}

}  // namespace quil
