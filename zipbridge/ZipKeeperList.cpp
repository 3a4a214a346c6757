// TZipKeeper: locating the end record and reading the central directory into the model.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>

#include "zipbridge/ZipKeeper.h"

namespace quil {

namespace {

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) { return Get32(p) | (uint64_t(Get32(p + 4)) << 32); }

constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kSpanSig = 0x08074B50;
constexpr uint32_t kLocalSig = 0x04034B50;

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Applies an entry's ZIP64 extra block to its 64-bit sizes and offset.
void ApplyZip64(ZipDirEntry& e, const std::string& extra) {
  const uint8_t* x = reinterpret_cast<const uint8_t*>(extra.data());
  size_t k = 0;
  while (k + 4 <= extra.size()) {
    uint16_t id = Get16(x + k), len = Get16(x + k + 2);
    if (k + 4 + len > extra.size()) return;
    if (id == 0x0001) {
      size_t p = 0;
      auto take = [&](uint64_t& v, uint32_t stored) {
        if (stored != 0xFFFFFFFFu || p + 8 > len) return;
        // No real size or offset comes near this; larger values would turn negative in sums.
        v = std::min<uint64_t>(Get64(x + k + 4 + p), uint64_t(INT64_MAX / 2));
        p += 8;
      };
      take(e.UncompressedSize64, e.UncompressedSize);
      take(e.CompressedSize64, e.CompressedSize);
      take(e.LocalHeaderOffset64, e.LocalHeaderOffset);
      return;
    }
    k += 4 + len;
  }
}

}  // namespace

void TZipKeeper::ReadOrThrow(void* buf, int64_t n, int id) {
  if (FInFile.Read(buf, n) != n) throw ZipKeeperError(id);
}

bool TZipKeeper::LocateEndRecord(LocateMode mode, uint8_t (&endRecord)[22]) {
  FRawComment.clear();
  FEndRecordPos = 0;
  FInFile.Close();
  if (!FInFile.Open(FInFileName, TArcFile::ReadOnly)) {
    if (mode == lmRaise) throw ZipKeeperError(11001);
    RecordError(11002);
    return false;
  }
  int labelNumber = 0;
  if (FVolumeLabel.rfind("PKBACK# ", 0) == 0) {
    std::string digits = FVolumeLabel.substr(8, 3);
    labelNumber = (!digits.empty() && std::all_of(digits.begin(), digits.end(), ::isdigit))
                      ? std::stoi(digits)
                      : 0;
  }
  FFirstOfSplitSet = false;
  uint8_t sig[8];
  if (FInFile.ReadAt(0, sig, 8) && Get32(sig) == kSpanSig && Get32(sig + 4) == kLocalSig) {
    FFirstOfSplitSet = true;
    FSpannedSet = true;
  }
  FFileSize = FZipEnd = FInFile.Size();
  try {
    if (FFileSize >= 22) {
      if (!FInFile.ReadAt(FFileSize - 22, endRecord, 22)) throw ZipKeeperError(11011);
      if (Get32(endRecord) == kEndSig) {
        FEndRecordPos = FFileSize - 22;
        return true;
      }
    }
    int64_t n = std::min<int64_t>(FFileSize, 65557);
    std::vector<uint8_t> tail(size_t(n > 0 ? n : 0));
    if (!FInFile.Seek(FFileSize - n)) throw ZipKeeperError(11008);
    if (n > 0 && FInFile.Read(tail.data(), n) != n) throw ZipKeeperError(11011);
    for (int64_t i = n - 23; i >= 0; --i) {
      if (Get32(&tail[size_t(i)]) != kEndSig) continue;
      FEndRecordPos = FFileSize - n + i;
      std::memcpy(endRecord, &tail[size_t(i)], 22);
      uint16_t commentLen = Get16(endRecord + 20);
      int64_t b = i + 22 + commentLen;
      if (b != n) {
        FZipEnd = FFileSize - n + b;
        bool padding = FFileSize % 512 == 0 && b < n && n - b < 512 &&
                       std::all_of(tail.begin() + b, tail.end(), [](uint8_t c) { return c == 0; });
        if (!padding) RecordError(10204);
      }
      if (commentLen != 0) {
        int64_t avail = std::min<int64_t>(commentLen, n - i - 22);
        std::string c(reinterpret_cast<const char*>(&tail[size_t(i + 22)]), size_t(avail));
        FRawComment = c.substr(0, c.find('\0'));
      }
      return true;
    }
  } catch (const ZipKeeperError&) {
    if (mode == lmRaise) throw;
    return false;
  }
  if (mode == lmQuiet) return false;
  if (labelNumber != 0 && !FFirstOfSplitSet) throw ZipKeeperError(11038, int64_t(labelNumber));
  if (!FFirstOfSplitSet) throw ZipKeeperError(11036);
  if (labelNumber == 1) throw ZipKeeperError(11037);
  throw ZipKeeperError(11045);
}

void TZipKeeper::List() {
  FContents.clear();
  FFileSize = FCentralDirOffset = FStubSize = 0;
  FRawComment.clear();
  FSpannedSet = false;
  FOffsetMismatch = false;
  if (!FileExists(FZipFileName)) {
    if (OnDirUpdate) OnDirUpdate(*this);
    return;
  }
  bool failed = false;
  int64_t storedOffset = 0;
  try {
    FInFileName = FZipFileName;
    // The "drive" is the folder the ZIP is in, named in full for the disk questions.
    std::error_code ec;
    std::string full = std::filesystem::absolute(FZipFileName, ec).string();
    if (ec) full = FZipFileName;
    auto slash = full.find_last_of('/');
    FDriveRoot = slash == std::string::npos ? "./" : full.substr(0, slash + 1);
    if (!ProbeDrive()) throw ZipKeeperError(11004, FDriveRoot);
    uint8_t end[22];
    LocateEndRecord(lmRaise, end);
    FLastDisk = Get16(end + 4);
    if (FLastDisk != 0) FSpannedSet = true;
    uint16_t startDisk = Get16(end + 6);
    uint64_t total = Get16(end + 10);
    int64_t cdSize = Get32(end + 12);
    storedOffset = Get32(end + 16);
    uint16_t commentLen = Get16(end + 20);
    // A ZIP64 end record, found through its locator, holds the true values.
    int64_t cdEndPos = FZipEnd - 22 - commentLen;
    uint8_t loc[20];
    if ((total == 0xFFFF || cdSize == 0xFFFFFFFF || storedOffset == 0xFFFFFFFF) &&
        FEndRecordPos >= 20 + 56 && FInFile.ReadAt(FEndRecordPos - 20, loc, 20) &&
        Get32(loc) == 0x07064B50) {
      uint8_t z[56];
      int64_t zpos = FEndRecordPos - 20 - 56;
      if (FInFile.ReadAt(zpos, z, 56) && Get32(z) == 0x06064B50) {
        total = Get64(z + 32);
        cdSize = int64_t(std::min<uint64_t>(Get64(z + 40), uint64_t(INT64_MAX / 2)));
        storedOffset = int64_t(std::min<uint64_t>(Get64(z + 48), uint64_t(INT64_MAX / 2)));
        cdEndPos = zpos;
      }
    }
    if (startDisk == FLastDisk) {
      FCentralDirOffset = cdEndPos - cdSize;
    } else {
      SwitchToDisk(startDisk);
      FZipEnd = FInFile.Size();
      FCentralDirOffset = storedOffset;
    }
    FStubSize = FZipEnd == 22 ? 0 : FZipEnd;
    FOffsetMismatch = storedOffset != FCentralDirOffset;
    if (FOffsetMismatch) RecordError(10203);
    if (FCentralDirOffset < 0 || !FInFile.Seek(FCentralDirOffset)) throw ZipKeeperError(10201);
    // Room for every entry at once (never more than the directory's size can hold), so that large
    // directories are not copied on every growth of the model.
    if (cdSize > 0) FContents.reserve(size_t(std::min<uint64_t>(total, uint64_t(cdSize) / 46)));
    std::string extra;  // one buffer for every entry's extra field
    for (uint64_t i = 0; i < total; ++i) {
      uint8_t h[46];
      while (FInFile.Read(h, 46) != 46) {
        if (FCurrentDisk >= FLastDisk) throw ZipKeeperError(11013);
        SwitchToDisk(FCurrentDisk + 1);
      }
      if (Get32(h) != kCentralSig) throw ZipKeeperError(11015);
      ZipDirEntry e;
      std::string name(Get16(h + 28), '\0');
      ReadOrThrow(name.data(), int64_t(name.size()), 11017);
      FSpecVersion = h[4];
      FHostSystem = h[5];
      e.MadeBy = Get16(h + 4);
      e.NeededVersion = Get16(h + 6);
      e.GeneralFlag = Get16(h + 8);
      e.CompressionMethod = Get16(h + 10);
      e.DosDateTime = Get32(h + 12);
      e.Crc32 = Get32(h + 16);
      e.CompressedSize = Get32(h + 20);
      e.UncompressedSize = Get32(h + 24);
      e.NameLength = Get16(h + 28);
      e.ExtraLength = Get16(h + 30);
      e.CommentLength = Get16(h + 32);
      e.StartDisk = Get16(h + 34);
      e.InternalAttributes = Get16(h + 36);
      e.ExternalAttributes = Get32(h + 38);
      e.LocalHeaderOffset = Get32(h + 42);
      e.IsEncrypted = e.GeneralFlag & 1;
      e.CompressedSize64 = e.CompressedSize;
      e.UncompressedSize64 = e.UncompressedSize;
      e.LocalHeaderOffset64 = e.LocalHeaderOffset;
      bool utf8 = e.GeneralFlag & 0x0800;  // UTF-8 names are never converted
      bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x80; });
      e.EntryName = utf8 || ascii ? std::move(name) : ConvertCodePage(name, cpdOEM2ANSI);
      std::replace(e.EntryName.begin(), e.EntryName.end(), '\\', '/');
      if (e.ExtraLength) {
        extra.resize(e.ExtraLength);
        ReadOrThrow(extra.data(), e.ExtraLength, 10201);
        ApplyZip64(e, extra);
      }
      if (e.CommentLength) {
        std::string c(e.CommentLength, '\0');
        ReadOrThrow(c.data(), e.CommentLength, 11022);
        e.EntryComment = utf8 ? c : ConvertCodePage(c, cpdOEM2ANSI);
      }
      FContents.push_back(std::move(e));
      if (OnNewName) OnNewName(*this, int(i + 1), FContents.back());
      FStubSize = std::min<int64_t>(FStubSize, int64_t(FContents.back().LocalHeaderOffset64));
    }
    FLastDisk = Get16(end + 4);
  } catch (const ZipKeeperError& e) {
    failed = true;
    ReportException(e);
  } catch (const std::bad_alloc&) {
    failed = true;
    RecordError(10103);
  } catch (const std::exception& e) {
    failed = true;
    RecordError(10202, e.what());
  }
  FInFile.Close();
  if (failed) {
    FZipFileName.clear();
    FStubSize = 0;
  } else {
    FStubSize += FCentralDirOffset - storedOffset;
  }
  if (OnDirUpdate) OnDirUpdate(*this);
}

}  // namespace quil
