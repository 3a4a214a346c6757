// RAR directory reader: archives of format 1.5 to 4 (main header, file headers with large sizes,
// Unicode names and extended data, service blocks passed over) and of format 5 (variable-length
// fields), both with volumes named x.rar, x.r00, ... or x.part1.rar, x.part2.rar, ...
#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/Charsets.h"
#include "engine/core/DateTime.h"
#include "engine/list/DirReader.h"
#include "engine/list/ReaderUtil.h"
#include "engine/list/ZuvOD.h"

namespace quil {
namespace {

using namespace reader;

constexpr int64_t kFixed = 32;
constexpr int64_t kFixed5 = 7;
constexpr int64_t kMaxHeader5 = 2 * 1024 * 1024;

std::string RarMethodName(uint8_t m, bool directory) {
  static const char* const kNames[] = {"Stored", "Fastest", "Fast", "Normal", "Good", "Best"};
  if (directory) return "Dir";
  if (m >= '0' && m <= '5') return kNames[m - '0'];
  return "Unknown";
}

// The Unicode form of a name stored with flag 0x200: the 8-bit name, a zero, then the encoded
// 16-bit name (a high byte, then two flag bits per character saying how each one is made).
std::string DecodeUnicodeName(const uint8_t* name, size_t nameLen, const uint8_t* enc,
                              size_t encLen) {
  std::u16string out;
  size_t pos = 0;
  if (encLen == 0) return {};
  const uint8_t high = enc[pos++];
  unsigned flags = 0;
  int flagBits = 0;
  while (pos < encLen && out.size() < 1024) {
    if (flagBits == 0) {
      flags = enc[pos++];
      flagBits = 8;
    }
    switch (flags >> 6) {
      case 0:
        if (pos >= encLen) return {};
        out.push_back(enc[pos++]);
        break;
      case 1:
        if (pos >= encLen) return {};
        out.push_back(static_cast<char16_t>(enc[pos++] | (high << 8)));
        break;
      case 2:
        if (pos + 1 >= encLen) return {};
        out.push_back(static_cast<char16_t>(enc[pos] | (enc[pos + 1] << 8)));
        pos += 2;
        break;
      case 3: {
        if (pos >= encLen) return {};
        unsigned len = enc[pos++];
        if (len & 0x80) {
          if (pos >= encLen) return {};
          const uint8_t correction = enc[pos++];
          for (len = (len & 0x7F) + 2; len > 0 && out.size() < nameLen; --len)
            out.push_back(
                static_cast<char16_t>(((name[out.size()] + correction) & 0xFF) + (high << 8)));
        } else {
          for (len += 2; len > 0 && out.size() < nameLen; --len) out.push_back(name[out.size()]);
        }
        break;
      }
    }
    flags = (flags << 2) & 0xFF;
    flagBits -= 2;
  }
  // UTF-16 to UTF-8 (surrogate pairs joined).
  std::string s;
  for (size_t i = 0; i < out.size(); ++i) {
    char32_t c = out[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < out.size() && out[i + 1] >= 0xDC00 &&
        out[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (out[++i] - 0xDC00);
    }
    if (c == 0) break;
    AppendUtf8(s, c);
  }
  return s;
}

// A variable-length integer of the newer format: 7 bits per byte, low bits first.
bool ReadVint(const std::vector<uint8_t>& h, size_t& at, uint64_t& v) {
  v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (at >= h.size()) return false;
    uint8_t b = h[at++];
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return true;
  }
  return false;
}

class TRarDirReader : public TDirReader {
 public:
  void BeginListing(TZuvOD& z) override;
  void ReadEntry(TZuvOD& z) override;
  void EndListing(TZuvOD& z) override { z.DetectionState().VolumeNumber = FVolumeNumber; }

 private:
  void ReadEntry4(TZuvOD& z);
  void ReadEntry5(TZuvOD& z);
  // Opens the next volume and skips its marker and main header; false when refused.
  bool NextVolume(TZuvOD& z);
  // Reads the main header after the marker at `marker`; the position after it.
  int64_t MainHeader(TZuvOD& z, int64_t marker);
  void Report(TZuvOD& z, int64_t offset, bool directory);

  bool FRar5 = false;
  bool FNewNaming = false;
  int FVolumeNumber = 0;
  int FOldNumber = 0;
  int64_t FPacked = 0;       // packed size of the parts read so far
  int64_t FEntryOffset = -1; // header offset of the first part
};

int64_t TRarDirReader::MainHeader(TZuvOD& z, int64_t marker) {
  if (FRar5) {
    // The main header is the first block after the 8-byte marker; the loop passes over it.
    return marker + 8;
  }
  uint8_t m[13];
  if (ReadSome(z, marker + 7, m, 13) != 13) z.RaiseError(z.VolumeName(), "", "0", 25236);
  const uint16_t flags = Le16(m + 3), size = Le16(m + 5);
  if (flags & 0x0010) FNewNaming = true;
  if (flags & 0x0080) {  // encrypted headers: the directory cannot be read without a password
    z.ReportError(z.VolumeName(), "", "0", 25108);
    return z.EndPos();
  }
  return marker + 7 + (size > 13 ? size : 13);
}

void TRarDirReader::BeginListing(TZuvOD& z) {
  FVolumeNumber = z.VolumeNumber();
  FOldNumber = 0;
  FPacked = 0;
  FEntryOffset = -1;
  const int64_t marker = z.ArcOffset() - 1;
  uint8_t sig[8];
  if (ReadSome(z, marker, sig, 8) != 8) z.RaiseError(z.VolumeName(), "", "0", 25236);
  FRar5 = sig[6] == 0x01 && sig[7] == 0x00;
  FNewNaming = FRar5 || IsNewStyleVolumeName(z.ArchiveFile());
  z.SetHeaderSize(FRar5 ? kFixed5 : kFixed);
  z.SetStartPos(MainHeader(z, marker) + 1);
}

bool TRarDirReader::NextVolume(TZuvOD& z) {
  std::string name = FNewNaming && IsNewStyleVolumeName(z.VolumeName())
                         ? NextVolumeFileName(z.VolumeName(), 'r', 0)
                         : NextVolumeFileName(z.VolumeName(), 'r', FOldNumber++);
  if (!SwitchToVolume(z, name, z.VolumeNumber())) return false;
  uint8_t sig[7];
  ReadExact(z, 0, sig, 7);
  if (Le32(sig) != 0x21726152) BadHeader(z);
  z.SetReadPos(MainHeader(z, 0));
  return true;
}

void TRarDirReader::ReadEntry(TZuvOD& z) {
  if (FRar5) ReadEntry5(z);
  else ReadEntry4(z);
}

void TRarDirReader::Report(TZuvOD& z, int64_t offset, bool directory) {
  if ((directory && z.ShowBlankDirs()) || z.EntryPasses()) z.ReportEntry(offset, directory);
}

void TRarDirReader::ReadEntry4(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  const uint8_t type = b[2];
  const uint16_t flags = Le16(b + 3), size = Le16(b + 5);
  if (size < 7) return StopListing(z);
  if (type == 0x7B) {  // end of archive; flag 0x01: the set goes on in the next volume
    if ((flags & 0x0001) && NextVolume(z)) return;
    return StopListing(z);
  }
  const int64_t added = (flags & 0x8000) ? Le32(b + 7) : 0;
  if (type != 0x74) return MoveTo(z, start + size + added, start);
  if (size < kFixed) BadHeader(z);
  std::vector<uint8_t> h(size);
  std::copy(b, b + kFixed, h.begin());
  ReadExact(z, start + kFixed, h.data() + kFixed, size - kFixed);
  const bool large = flags & 0x0100;
  const size_t nameAt = large ? 40 : 32;
  const size_t nameLen = Le16(&h[26]);
  if (nameAt + nameLen > size) BadHeader(z);
  int64_t packed = Le32(&h[7]), unpacked = Le32(&h[11]);
  if (large) {
    packed |= static_cast<int64_t>(Le32(&h[32])) << 32;
    unpacked |= static_cast<int64_t>(Le32(&h[36])) << 32;
    if (packed < 0 || unpacked < 0) BadHeader(z);
  }
  const uint8_t* raw = &h[nameAt];
  std::string name;
  const size_t zero = std::find(raw, raw + nameLen, uint8_t{0}) - raw;
  if ((flags & 0x0200) && zero < nameLen)
    name = DecodeUnicodeName(raw, zero, raw + zero + 1, nameLen - zero - 1);
  if (name.empty()) {
    std::string_view bytes(reinterpret_cast<const char*>(raw), zero);
    // Unix-made archives store the system's (UTF-8) names; the others the DOS code page.
    name = (flags & 0x0200) || h[15] == 3 ? StoredNameToUtf8(bytes, IsValidUtf8(bytes))
                                          : OemToAnsiName(bytes);
  }
  const int64_t next = start + size + packed;
  if (FEntryOffset < 0) FEntryOffset = start;
  FPacked = (flags & 0x0001) ? FPacked + packed : packed;
  if (flags & 0x0002) {  // continues in the next volume: the last part reports the file
    if (!NextVolume(z)) return StopListing(z);
    return;
  }
  const uint32_t attr = Le32(&h[28]);
  const bool directory = (flags & 0xE0) == 0xE0 || ((h[15] == 0 || h[15] == 2) && (attr & 0x10));
  z.SetEntryName(directory ? AsFolder(name) : name);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = DosToDateTime(Le32(&h[20]));
  e.VersionMadeBy = h[24];
  e.CRC = Le32(&h[16]);
  e.Encrypted = flags & 0x0004;
  e.Method = h[25];
  e.MethodName = RarMethodName(h[25], directory);
  e.ExternalAttr = h[15] == 3 ? (directory ? 0x10 : 0x20) : attr;
  if (h[15] == 3) e.UnixMode = attr & 07777;
  e.PackedSize = FPacked;
  e.UnpackedSize = unpacked;
  const int64_t offset = FEntryOffset;
  FEntryOffset = -1;
  FPacked = 0;
  Report(z, offset, directory);
  MoveTo(z, next, start);
}

void TRarDirReader::ReadEntry5(TZuvOD& z) {
  const uint8_t* b = z.Buffer();
  const int64_t start = z.StartPos() - 1;
  // CRC (4), header size (vint), then the header.
  std::vector<uint8_t> lead(b + 4, b + kFixed5);
  size_t at = 0;
  uint64_t hsize = 0;
  if (!ReadVint(lead, at, hsize) || hsize == 0 || hsize > kMaxHeader5) BadHeader(z);
  const int64_t hstart = start + 4 + static_cast<int64_t>(at);
  std::vector<uint8_t> h(static_cast<size_t>(hsize));
  ReadExact(z, hstart, h.data(), static_cast<int64_t>(hsize));
  at = 0;
  uint64_t type = 0, hflags = 0, extra = 0, dataSize = 0;
  if (!ReadVint(h, at, type) || !ReadVint(h, at, hflags)) BadHeader(z);
  if ((hflags & 0x01) && !ReadVint(h, at, extra)) BadHeader(z);
  if ((hflags & 0x02) && !ReadVint(h, at, dataSize)) BadHeader(z);
  if (dataSize > (uint64_t{1} << 62) || extra > hsize) BadHeader(z);
  const int64_t next = hstart + static_cast<int64_t>(hsize) + static_cast<int64_t>(dataSize);
  if (type == 5) {  // end of archive; flag 0x01: not the last volume
    uint64_t endFlags = 0;
    ReadVint(h, at, endFlags);
    if ((endFlags & 0x01) && NextVolume(z)) return;
    return StopListing(z);
  }
  if (type == 4) {  // encrypted headers: the directory cannot be read without a password
    z.ReportError(z.VolumeName(), "", "0", 25108);
    return StopListing(z);
  }
  if (type != 2) return MoveTo(z, next, start);
  uint64_t fflags = 0, unpacked = 0, attr = 0, comp = 0, host = 0, nameLen = 0;
  uint32_t mtime = 0, crc = 0;
  if (!ReadVint(h, at, fflags) || !ReadVint(h, at, unpacked) || !ReadVint(h, at, attr))
    BadHeader(z);
  if (fflags & 0x02) {
    if (at + 4 > h.size()) BadHeader(z);
    mtime = Le32(&h[at]);
    at += 4;
  }
  if (fflags & 0x04) {
    if (at + 4 > h.size()) BadHeader(z);
    crc = Le32(&h[at]);
    at += 4;
  }
  if (!ReadVint(h, at, comp) || !ReadVint(h, at, host) || !ReadVint(h, at, nameLen) ||
      nameLen > h.size() - at)
    BadHeader(z);
  std::string name = StoredNameToUtf8(
      std::string_view(reinterpret_cast<const char*>(&h[at]), static_cast<size_t>(nameLen)), true);
  at += static_cast<size_t>(nameLen);
  // Extra records: size, type, data; type 1 marks an encrypted file.
  bool encrypted = false;
  size_t extraAt = h.size() - static_cast<size_t>(extra);
  while (extra > 0 && extraAt < h.size()) {
    uint64_t rsize = 0, rtype = 0;
    size_t p = extraAt;
    if (!ReadVint(h, p, rsize) || rsize == 0 || rsize > h.size() - p) break;
    size_t body = p;
    if (!ReadVint(h, body, rtype)) break;
    if (rtype == 1) encrypted = true;
    if (rtype == 3 && !(fflags & 0x02)) {  // file times: flags, then the modification time
      uint64_t tflags = 0;
      if (ReadVint(h, body, tflags) && (tflags & 0x02)) {
        if ((tflags & 0x01) && body + 4 <= h.size()) {
          mtime = Le32(&h[body]);
          fflags |= 0x02;
        } else if (!(tflags & 0x01) && body + 8 <= h.size()) {
          // Windows time: 100-ns steps since 1601.
          const uint64_t ft = Le64(&h[body]);
          if (ft >= 116444736000000000ull) {
            mtime = static_cast<uint32_t>((ft - 116444736000000000ull) / 10000000ull);
            fflags |= 0x02;
          }
        }
      }
    }
    extraAt = p + static_cast<size_t>(rsize);
  }
  if (unpacked > (uint64_t{1} << 62)) BadHeader(z);
  if (FEntryOffset < 0) FEntryOffset = start;
  FPacked = (hflags & 0x08) ? FPacked + static_cast<int64_t>(dataSize)
                            : static_cast<int64_t>(dataSize);
  if (hflags & 0x10) {  // continues in the next volume
    if (!NextVolume(z)) return StopListing(z);
    return;
  }
  const bool directory = fflags & 0x01;
  const unsigned method = (comp >> 7) & 7;
  z.SetEntryName(directory ? AsFolder(name) : name);
  z.ClearEntry();
  TEntryInfo& e = z.Entry();
  e.FileDate = (fflags & 0x02) ? UnixToDateTime(mtime) : DateOf1980;
  e.VersionMadeBy = static_cast<uint16_t>(comp & 0x3F);
  e.CRC = crc;
  e.Encrypted = encrypted;
  e.Method = static_cast<uint16_t>('0' + method);
  e.MethodName = RarMethodName(static_cast<uint8_t>('0' + method), directory);
  if (host == 0) {
    e.ExternalAttr = static_cast<uint32_t>(attr);
  } else {
    e.ExternalAttr = directory ? 0x10 : 0x20;
    e.UnixMode = static_cast<uint32_t>(attr) & 07777;
  }
  e.PackedSize = FPacked;
  e.UnpackedSize = static_cast<int64_t>(unpacked);
  const int64_t offset = FEntryOffset;
  FEntryOffset = -1;
  FPacked = 0;
  Report(z, offset, directory);
  MoveTo(z, next, start);
}

}  // namespace

std::unique_ptr<TDirReader> MakeRarDirReader() { return std::make_unique<TRarDirReader>(); }

}  // namespace quil
