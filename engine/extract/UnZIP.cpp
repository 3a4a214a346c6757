#include "engine/extract/UnZIP.h"

#include <algorithm>
#include <limits>

#include "engine/core/Charsets.h"
#include "engine/core/DateTime.h"
#include "engine/core/Messages.h"
#include "engine/core/OutputPath.h"
#include "engine/decode/ExpandZipData.h"
#include "engine/extract/ZipCrypto.h"
#include "engine/extract/ZipEntryIO.h"
#include "engine/extract/ZipParts.h"
#include "engine/list/DirReader.h"

namespace quil {

namespace {

constexpr uint32_t kLocalSig = 0x04034B50, kCentralSig = 0x02014B50;
constexpr int64_t kLocalSize = 30, kCentralSize = 46;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

std::string NameOf(std::string_view raw, uint16_t flag) {
  bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80 && c != '\\';
  });
  return ascii ? std::string(raw) : StoredNameToUtf8(raw, (flag & 0x0800) != 0);
}

// The ZIP64 extended-information field: the 64-bit values of the fields whose 32-bit (or 16-bit
// disk) form is all ones, in the order unpacked size, packed size, offset, disk.
void ApplyZip64(const uint8_t* extra, size_t len, TZipRecord& r, bool needU, bool needP,
                bool needOff, bool needDisk) {
  for (size_t i = 0; i + 4 <= len;) {
    uint16_t tag = Le16(extra + i), size = Le16(extra + i + 2);
    size_t body = i + 4, end = body + size;
    if (end > len) return;
    if (tag == 0x0001) {
      auto take = [&](bool need, int64_t& field) {
        if (!need || body + 8 > end) return;
        uint64_t v = Le64(extra + body);
        if (v <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max() / 2))
          field = static_cast<int64_t>(v);
        body += 8;
      };
      take(needU, r.UnpackedSize);
      take(needP, r.PackedSize);
      take(needOff, r.HeaderOffset);
      if (needDisk && body + 4 <= end) r.Disk = static_cast<int32_t>(Le32(extra + body) & 0xFFFF);
      return;
    }
    i = end;
  }
}

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

}  // namespace

TUnZIP::TUnZIP() { SetZipCmntBufSize(32000); }

void TUnZIP::SetArchiveFile(const std::string& name) {
  TUnBase::SetArchiveFile(name);
  if ((ArcType() == atNA || ArcType() == atUnknown) && !name.empty() && IsSplitZipLastPart(name))
    FDetect.ArcType = atZipMV;
}

std::unique_ptr<TZipParts> TUnZIP::Prepare(TZipEnd& end, bool& central) {
  central = true;
  if (ArcType() == atZipMV) {
    FDisk.SelectDrive(FArchiveFile);
    if (!FDisk.IsRemovable()) {
      if (!FindZipEnd(FArcFile, end)) RaiseError(FArchiveFile, "", "0", 25108);
      if (end.ThisDisk > 0 && end.CentralDisk <= end.ThisDisk)
        return std::make_unique<TZipParts>(*this, TZipParts::pkNumbered, FArchiveFile,
                                           end.ThisDisk);
      end.Shift = 0;
      return std::make_unique<TZipParts>(*this, TZipParts::pkOneFile);
    }
    // Removable disks: the directory is on the last disk of the set.
    if (!RequestLastDisk()) return nullptr;
    if (!FindZipEnd(FArcFile, end)) return nullptr;
    end.Shift = 0;
    auto parts = std::make_unique<TZipParts>(*this, TZipParts::pkRemovable);
    return parts;
  }
  const uint8_t flags = ZipFlags();
  if (OnCorruptZipHeader && (flags & 0x19) != 0x19) {
    bool cancel = true;
    OnCorruptZipHeader(this, flags, cancel);
    if (cancel) return nullptr;
  }
  if (!(flags & 0x08) || !FindZipEnd(FArcFile, end)) {
    FDetect.ZipFlags = 0x10;
    central = false;
  }
  return std::make_unique<TZipParts>(*this, TZipParts::pkOneFile);
}

bool TUnZIP::Select(TZipRecord&& r) {
  if (r.Directory) {
    // Folders are made, never extracted or counted.
    if (FUseStoredDirs && FOutputKind == okFiles && MatchesFileSpec(r.Name.substr(0, r.Name.size() - (r.Name.back() == '/')), true))
      FRecords.push_back(std::move(r));
    return true;
  }
  std::string_view n = r.Name;
  if (!MatchesFileSpec(n, true)) return true;
  // Totals saturate: sizes read from a damaged directory may add up past 64 bits.
  auto add = [](int64_t& total, int64_t v) {
    if (v > 0 && __builtin_add_overflow(total, v, &total)) total = INT64_MAX;
  };
  add(FTotalPackedSize, r.PackedSize - ((r.Flag & 1) ? 12 : 0));
  add(FTotalUnpackedSize, r.UnpackedSize);
  if (static_cast<int32_t>(r.DosDate) > FMaxFileDate || FMaxFileDate == 0)
    FMaxFileDate = static_cast<int32_t>(r.DosDate);
  FRecords.push_back(std::move(r));
  return !FSinglePlain;
}

void TUnZIP::CollectCentral(TZipParts& parts, const TZipEnd& end) {
  // The whole directory is read at once; its size is checked against the set's size first.
  int64_t limit = 0;
  if (parts.Kind() == TZipParts::pkNumbered) {
    for (int32_t d = end.CentralDisk; d <= end.ThisDisk; ++d) {
      TArcFile f;
      if (!f.Open(parts.PartName(d), TArcFile::ReadOnly))
        RaiseError(parts.PartName(d), "", std::to_string(d + 1), 25172);
      limit += f.Size();
    }
  } else {
    limit = FArcFile.Size();
    if (parts.Kind() == TZipParts::pkRemovable) limit = std::numeric_limits<int32_t>::max();
  }
  if (end.CentralSize <= 0) return;
  if (end.CentralSize > limit) RaiseError(FArchiveFile, "", "0", 25108);
  std::vector<uint8_t> dir(static_cast<size_t>(end.CentralSize));
  if (!parts.SeekTo(end.CentralDisk, end.CentralOffset + end.Shift))
    RaiseError(FArchiveFile, "", "0", 25291);
  int64_t got = parts.Read(dir.data(), end.CentralSize);
  if (got < kCentralSize) {
    if (got < 0) RaiseError(FArchiveFile, "", "0", 25236);
    dir.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  } else {
    dir.resize(static_cast<size_t>(got));
  }
  // Each entry takes at least 46 bytes, so the reservation stays within the directory's size.
  FRecords.reserve(static_cast<size_t>(std::min<uint64_t>(end.Entries, dir.size() / kCentralSize)));
  const uint8_t* b = dir.data();
  const size_t size = dir.size();
  for (size_t pos = 0; pos + kCentralSize <= size && !FCancel;) {
    const uint8_t* h = b + pos;
    if (Le32(h) != kCentralSig) break;
    const size_t nameLen = Le16(h + 28), extraLen = Le16(h + 30), commentLen = Le16(h + 32);
    const size_t next = pos + kCentralSize + nameLen + extraLen + commentLen;
    if (next > size) break;
    TZipRecord r;
    r.Flag = Le16(h + 8);
    r.Method = Le16(h + 10);
    r.DosDate = Le32(h + 12);
    r.CRC = Le32(h + 16);
    r.PackedSize = Le32(h + 20);
    r.UnpackedSize = Le32(h + 24);
    r.Disk = Le16(h + 34);
    r.Attributes = Le32(h + 38);
    r.HeaderOffset = Le32(h + 42);
    if ((Le16(h + 4) >> 8) == 3) r.UnixMode = r.Attributes >> 16;
    bool needU = Le32(h + 24) == 0xFFFFFFFFu, needP = Le32(h + 20) == 0xFFFFFFFFu,
         needOff = Le32(h + 42) == 0xFFFFFFFFu, needDisk = Le16(h + 34) == 0xFFFF;
    if (needU || needP || needOff || needDisk)
      ApplyZip64(h + kCentralSize + nameLen, extraLen, r, needU, needP, needOff, needDisk);
    r.HeaderOffset += end.Shift;
    if (parts.Kind() == TZipParts::pkOneFile) r.Disk = 0;
    std::string_view raw(reinterpret_cast<const char*>(h + kCentralSize), nameLen);
    r.Name = NameOf(raw, r.Flag);
    pos = next;
    if (r.Attributes & 0x08) continue;  // a volume label
    r.Directory = (r.Attributes & 0x10) || (!r.Name.empty() && r.Name.back() == '/');
    if (r.Name.empty()) continue;
    if (!Select(std::move(r))) break;
  }
}

void TUnZIP::CollectLocal(TZipParts& parts) {
  int64_t pos = std::max<int64_t>(ArcOffset(), 0);
  const int64_t size = FArcFile.Size();
  std::string name;
  while (pos + kLocalSize <= size && !FCancel) {
    uint8_t h[kLocalSize];
    if (!parts.SeekTo(0, pos) || !parts.ReadExact(h, kLocalSize) || Le32(h) != kLocalSig) break;
    const int64_t nameLen = Le16(h + 26), extraLen = Le16(h + 28);
    TZipRecord r;
    r.Flag = Le16(h + 6);
    r.Method = Le16(h + 8);
    r.DosDate = Le32(h + 10);
    r.CRC = Le32(h + 14);
    r.PackedSize = Le32(h + 18);
    r.UnpackedSize = Le32(h + 22);
    r.HeaderOffset = pos;
    name.resize(static_cast<size_t>(nameLen));
    if (!parts.ReadExact(reinterpret_cast<uint8_t*>(name.data()), nameLen)) break;
    if (r.PackedSize == 0xFFFFFFFFu || r.UnpackedSize == 0xFFFFFFFFu) {
      std::vector<uint8_t> extra(static_cast<size_t>(extraLen));
      if (!parts.ReadExact(extra.data(), extraLen)) break;
      ApplyZip64(extra.data(), extra.size(), r, true, true, false, false);
    }
    r.Name = NameOf(name, r.Flag);
    r.Directory = !r.Name.empty() && r.Name.back() == '/';
    // Sizes kept in a data descriptor are unknown here: the walk cannot go on past this entry.
    bool sizesLater = (r.Flag & 0x08) && r.PackedSize == 0;
    if (sizesLater) break;
    pos += kLocalSize + nameLen + extraLen + r.PackedSize;
    if (!r.Name.empty() && !Select(std::move(r))) break;
  }
}

bool TUnZIP::FindPassword(const uint8_t header[12], uint16_t flag, uint16_t dosTime,
                          uint32_t crc, TZipCrypto& crypto) {
  if (CheckZipPassword(header, flag, FPassword, dosTime, crc, crypto)) return true;
  for (const std::string& p : FPasswords) {
    FPassword = p;
    if (CheckZipPassword(header, flag, FPassword, dosTime, crc, crypto)) return true;
  }
  if (!OnGetPassword) return false;
  const std::string vol = std::to_string(FCurrentDisk);
  for (int32_t i = 0; i < FPasswordAttempts && !FCancel; ++i) {
    std::string answer = FPassword;
    bool tryAgain = true;
    OnGetPassword(this, FEntry.FileName, answer, tryAgain);
    if (!tryAgain) break;
    if (CheckZipPassword(header, flag, answer, dosTime, crc, crypto)) {
      FPassword = answer;
      FPasswords.insert(FPasswords.begin(), answer);
      return true;
    }
    FPassword.clear();
    ReportError(FEntry.FileName, "", vol, 26517);
  }
  return false;
}

void TUnZIP::MakeFolder(const TZipRecord& r) {
  SetOutputName(r.Name + "x");
  std::string base = outpath::AbsoluteFolder(FExtractDir.empty() ? "./" : FExtractDir);
  if (FEntry.FileName.size() > base.size()) outpath::CreateOutputFolders(base, FEntry.FileName);
}

bool TUnZIP::ExtractOne(TZipParts& parts, const TZipRecord& r, TZipCrypto& crypto) {
  const std::string vol = std::to_string(parts.Kind() == TZipParts::pkOneFile ? 0 : parts.Disk() + 1);
  uint8_t h[kLocalSize];
  if (!parts.SeekTo(r.Disk, r.HeaderOffset) || !parts.ReadExact(h, kLocalSize) ||
      Le32(h) != kLocalSig) {
    ReportError("", "", vol, 25248);
    return true;
  }
  const int64_t nameLen = Le16(h + 26), extraLen = Le16(h + 28);
  std::string raw(static_cast<size_t>(nameLen), '\0');
  if (!parts.ReadExact(reinterpret_cast<uint8_t*>(raw.data()), nameLen)) {
    ReportError("", "", vol, 25248);
    return true;
  }
  const uint32_t localDos = Le32(h + 10);
  const std::string stored = raw.empty() ? r.Name : NameOf(raw, Le16(h + 6));
  SetOutputName(stored);
  FEntry.Encrypted = r.Flag & 1;
  FEntry.PackedSize = r.PackedSize;
  FEntry.UnpackedSize = r.UnpackedSize;
  FEntry.CRC = r.CRC;
  FEntry.Method = r.Method;
  FEntry.ExternalAttr = r.Attributes;
  FEntry.FileDate = DosToDateTime(localDos);
  bool extract = true;
  std::string streamName = stored;
  AdmitEntry(extract, streamName, FEntry.FileDate);
  if (!extract) return true;
  const std::string endName = FOutputKind == okFiles ? FEntry.FileName : streamName;

  // On from the name: the header may have run onto the next disk of a spanned set.
  if (!parts.Skip(extraLen))
    RaiseError(stored, "", vol, 25291);
  if (r.Flag & 1) {
    uint8_t header[12];
    bool found = parts.ReadExact(header, 12) &&
                 FindPassword(header, r.Flag, static_cast<uint16_t>(localDos & 0xFFFF), r.CRC,
                              crypto);
    if (!found) {
      if (OnGetPassword) {
        ReportError(FEntry.FileName, "", vol, 26522);
        if (OnEnd) OnEnd(this, endName, false);
        return false;
      }
      if (OnEnd) OnEnd(this, endName, false);
      return true;
    }
  }

  TArcFile out;
  bool decoded = false;
  TExpandResult result;
  try {
    if (!OpenOutput(out, FEntry.FileName)) RaiseError(FEntry.FileName, "", vol, 25235);
    SetCrc32Register(0xFFFFFFFFu);
    const int64_t packed = std::max<int64_t>(r.PackedSize - ((r.Flag & 1) ? 12 : 0), 0);
    SetProgressSizes(packed, FTotalPackedSize);
    const bool encrypted = r.Flag & 1;
    TZipHookSource source(*this, parts, encrypted && r.Method != 0);
    TZipHookSink sink(*this, &out, encrypted && r.Method == 0);
    TZipProgress progress(*this, packed, FTotalPackedSize);
    TDecodeControl control;
    control.Cancelled = [this] { return FCancel; };
    control.OnProgress = [&progress](int64_t packedRead, int64_t) { progress.Update(packedRead); };
    TZipDecodeEntry entry;
    entry.Flag = r.Flag;
    entry.Method = r.Method;
    entry.PackedSize = r.PackedSize;
    entry.UnpackedSize = r.UnpackedSize;
    try {
      result = ExpandZipData(entry, source, sink, control);
    } catch (...) {
      CloseOutput(out, r.Attributes, localDos, FEntry.FileName, r.UnixMode);
      throw;
    }
    CloseOutput(out, r.Attributes, localDos, FEntry.FileName, r.UnixMode);
    decoded = true;
    progress.Finish(result.PackedRead);
  } catch (const E_RAISE&) {
    return true;
  }
  if (!result.Ok() && result.Code != kMsgUserAborted) {
    std::string detail;
    if (result.Code == kMsgUnsupportedMethod) detail = ZipMethodName(r.Method) + " (" + std::to_string(r.Method) + ")";
    ReportError(stored, detail, vol, result.Code);
  }
  const bool crcOk = ~Crc32Register() == r.CRC;
  // Data whose checksum holds but whose length is not the declared one is not passed either.
  const bool sizeOk = result.Written == r.UnpackedSize;
  if (result.Ok() && crcOk && !sizeOk) ReportError(stored, "", vol, kMsgOutputTooLong);
  const bool pass = result.Ok() && crcOk && sizeOk;
  if (OnEnd)
    OnEnd(this, endName, pass);
  else if (decoded && !crcOk && result.Ok())
    ReportError(stored, "", vol, 25151);
  return true;
}

void TUnZIP::ExtractEntries() {
  FPassword.clear();
  FRecords.clear();
  TZipCrypto crypto;
  SetZipCipher(&crypto);
  try {
    TZipEnd end;
    bool central = true;
    std::unique_ptr<TZipParts> parts = Prepare(end, central);
    if (parts) {
      FSinglePlain = FFileSpec.size() == 1 && !HasWildcard(FFileSpec[0]);
      if (central)
        CollectCentral(*parts, end);
      else
        CollectLocal(*parts);
      SetRunBytesLeft(FTotalPackedSize);
      // Spanned sets: the disks are asked for in order.
      if (parts->Kind() != TZipParts::pkOneFile)
        std::stable_sort(FRecords.begin(), FRecords.end(),
                         [](const TZipRecord& a, const TZipRecord& b) { return a.Disk < b.Disk; });
      for (const TZipRecord& r : FRecords) {
        if (FCancel) break;
        if (r.Directory) {
          MakeFolder(r);
          continue;
        }
        if (!ExtractOne(*parts, r, crypto)) break;
      }
    }
  } catch (const E_RAISE&) {
    // Engine errors that reach this point end the run; they have been reported.
  }
  SetZipCipher(nullptr);
}

}  // namespace quil
