#include "libs/qzip/OldArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "libs/common/ZipDllApi.h"
#include "libs/qzip/Reporter.h"
#include "libs/qzip/ZipBytes.h"

namespace quil::qzip {

namespace {
[[noreturn]] void Bad(const std::string& why) {
  throw ZipAbort{QZIP_MSG_BAD_ARCHIVE, "Archive is damaged: " + why};
}
}  // namespace

OldArchive::~OldArchive() {
  if (FFd >= 0) ::close(FFd);
}

void OldArchive::ReadAt(uint64_t pos, void* buf, size_t n) const {
  if (pos > FSize || n > FSize - pos) Bad("record beyond the end of the file");
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(FFd, static_cast<char*>(buf) + done, n - done, off_t(pos + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) throw ZipAbort{QZIP_MSG_READ_FAILED, "Cannot read the archive"};
    done += size_t(r);
  }
}

void OldArchive::Read(const std::string& path) {
  FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (FFd < 0) {
    if (errno == ENOENT) return;
    throw ZipAbort{QZIP_MSG_READ_FAILED, "Cannot open the archive " + path};
  }
  struct stat st {};
  if (::fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode)) Bad("not a regular file");
  FMode = st.st_mode & 07777;
  FSize = uint64_t(st.st_size);
  if (FSize == 0) return;  // an empty file becomes a new archive
  if (FSize < 22) Bad("no end record");

  // End record: the one nearest the end, within the longest comment.
  uint64_t n = std::min<uint64_t>(FSize, 65557);
  std::string tail(n, '\0');
  ReadAt(FSize - n, tail.data(), n);
  const uint8_t* t = reinterpret_cast<const uint8_t*>(tail.data());
  int64_t at = -1;
  for (int64_t i = int64_t(n) - 22; i >= 0; --i) {
    if (Get32(t + i) == kEndSig) {
      at = i;
      break;
    }
  }
  if (at < 0) Bad("no end record");
  uint64_t endPos = FSize - n + uint64_t(at);
  const uint8_t* e = t + at;
  uint64_t total = Get16(e + 10);
  uint64_t cdSize = Get32(e + 12);
  uint64_t cdOffset = Get32(e + 16);
  uint16_t commentLen = Get16(e + 20);
  FComment.assign(tail.data() + at + 22, std::min<uint64_t>(commentLen, n - uint64_t(at) - 22));
  if (Get16(e + 4) != 0 || Get16(e + 6) != 0)
    Bad("archives split over several files are not changed");

  uint64_t cdEnd = endPos;  // where the directory really ends
  // ZIP64 end record through its locator.
  if (endPos >= 20) {
    uint8_t loc[20];
    ReadAt(endPos - 20, loc, 20);
    if (Get32(loc) == kZip64LocatorSig) {
      uint64_t z64 = Get64(loc + 8);
      uint8_t rec[56];
      // The stored offset may not count the stub; the record sits just before the locator.
      uint64_t expected = endPos - 20 >= 56 ? endPos - 20 - 56 : 0;
      uint64_t pos = z64;
      if (pos + 56 > FSize) pos = expected;
      ReadAt(pos, rec, 56);
      if (Get32(rec) != kZip64EndSig) {
        ReadAt(expected, rec, 56);
        if (Get32(rec) != kZip64EndSig) Bad("ZIP64 end record missing");
        pos = expected;
      }
      total = Get64(rec + 32);
      cdSize = Get64(rec + 40);
      cdOffset = Get64(rec + 48);
      cdEnd = pos;
    }
  }
  if (cdSize > cdEnd) Bad("central directory larger than the file");
  uint64_t cdActual = cdEnd - cdSize;
  int64_t shift = int64_t(cdActual) - int64_t(cdOffset);
  if (total > cdSize / 46) Bad("entry count larger than the directory");

  std::string cd(cdSize, '\0');
  ReadAt(cdActual, cd.data(), cdSize);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(cd.data());
  uint64_t pos = 0;
  FPrefix = cdActual;
  FEntries.reserve(total);
  for (uint64_t i = 0; i < total; ++i) {
    if (cdSize - pos < 46 || Get32(p + pos) != kCentralSig) Bad("central header");
    const uint8_t* h = p + pos;
    uint64_t nl = Get16(h + 28), xl = Get16(h + 30), cl = Get16(h + 32);
    if (cdSize - pos - 46 < nl + xl + cl) Bad("central header beyond the directory");
    OldEntry en;
    en.Central.assign(reinterpret_cast<const char*>(h), 46);
    en.RawName.assign(reinterpret_cast<const char*>(h + 46), nl);
    en.Name = en.RawName;
    std::replace(en.Name.begin(), en.Name.end(), '\\', '/');
    en.Comment.assign(reinterpret_cast<const char*>(h + 46 + nl + xl), cl);
    en.Flag = Get16(h + 8);
    en.DosTime = Get32(h + 12);
    en.CompressedSize = Get32(h + 20);
    en.UncompressedSize = Get32(h + 24);
    uint64_t offset = Get32(h + 42);
    // Extra field: take out the ZIP64 block, keep the rest.
    const uint8_t* x = h + 46 + nl;
    uint64_t k = 0;
    while (k + 4 <= xl) {
      uint16_t id = Get16(x + k), len = Get16(x + k + 2);
      if (k + 4 + len > xl) break;
      if (id == kZip64ExtraId) {
        const uint8_t* z = x + k + 4;
        uint64_t zl = len, zp = 0;
        auto take = [&](uint64_t& v) {
          if (v != kMax32) return;
          if (zp + 8 > zl) Bad("short ZIP64 field");
          v = Get64(z + zp);
          zp += 8;
        };
        take(en.UncompressedSize);
        take(en.CompressedSize);
        take(offset);
      } else {
        en.Extra.append(reinterpret_cast<const char*>(x + k), 4 + len);
      }
      k += 4 + len;
    }
    int64_t actual = int64_t(offset) + shift;
    if (actual < 0 || uint64_t(actual) >= cdActual) Bad("local header offset");
    en.Offset = uint64_t(actual);
    FPrefix = std::min(FPrefix, en.Offset);
    FEntries.push_back(std::move(en));
    pos += 46 + nl + xl + cl;
  }
}

void OldArchive::Locate(OldEntry& e) const {
  uint8_t h[30];
  ReadAt(e.Offset, h, 30);
  if (Get32(h) != kLocalSig) Bad("local header of " + e.Name);
  uint64_t len = 30 + uint64_t(Get16(h + 26)) + Get16(h + 28) + e.CompressedSize;
  if (e.Flag & 8) {
    bool zip64 = e.CompressedSize >= kMax32 || e.UncompressedSize >= kMax32;
    uint64_t d = zip64 ? 20 : 12;
    uint8_t sig[4];
    ReadAt(e.Offset + len, sig, 4);
    if (Get32(sig) == kDescriptorSig) d += 4;
    len += d;
  }
  if (e.Offset + len > FSize) Bad("entry data beyond the end of the file: " + e.Name);
  e.SpanLength = len;
}

}  // namespace quil::qzip
