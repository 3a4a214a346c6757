#include "libs/qzip/ZipRecords.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "engine/core/Charsets.h"
#include "engine/core/DateTime.h"
#include "libs/qzip/ZipBytes.h"

namespace quil::qzip {

uint32_t DosDateTime(int64_t unixTime) {
  // DOS stamps keep even seconds: rounding up keeps a stored file from looking older than its source.
  return UnixToDos(unixTime + (unixTime & 1));
}

uint16_t Utf8Flag(const std::string& name) {
  const bool high = std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; });
  return high && IsValidUtf8(name) ? 0x0800 : 0;
}

std::string TimeExtra(int64_t mtime) {
  if (mtime < INT32_MIN || mtime > INT32_MAX) return {};
  std::string x;
  Put16(x, kTimeExtraId);
  Put16(x, 5);
  x.push_back(1);
  Put32(x, uint32_t(int32_t(mtime)));
  return x;
}

std::string LocalHeader(const CentralEntry& e, bool zip64, const std::string& extra) {
  std::string h;
  Put32(h, kLocalSig);
  Put16(h, zip64 ? 45 : e.Needed);
  Put16(h, e.Flag);
  Put16(h, e.Method);
  Put32(h, e.DosTime);
  Put32(h, e.Crc);
  std::string x = extra;
  if (zip64) {
    Put32(h, kMax32);
    Put32(h, kMax32);
    std::string z;
    Put16(z, kZip64ExtraId);
    Put16(z, 16);
    Put64(z, e.UncompressedSize);
    Put64(z, e.CompressedSize);
    x = z + x;
  } else {
    Put32(h, uint32_t(e.CompressedSize));
    Put32(h, uint32_t(e.UncompressedSize));
  }
  Put16(h, uint32_t(e.Name.size()));
  Put16(h, uint32_t(x.size()));
  return h + e.Name + x;
}

std::string CentralHeader(const CentralEntry& e) {
  std::string z;
  if (e.UncompressedSize >= kMax32) Put64(z, e.UncompressedSize);
  if (e.CompressedSize >= kMax32) Put64(z, e.CompressedSize);
  if (e.Offset >= kMax32) Put64(z, e.Offset);
  std::string x;
  if (!z.empty()) {
    Put16(x, kZip64ExtraId);
    Put16(x, uint32_t(z.size()));
    x += z;
  }
  x += e.Extra;
  std::string h;
  Put32(h, kCentralSig);
  Put16(h, e.MadeBy);
  Put16(h, z.empty() ? e.Needed : std::max<uint16_t>(e.Needed, 45));
  Put16(h, e.Flag);
  Put16(h, e.Method);
  Put32(h, e.DosTime);
  Put32(h, e.Crc);
  Put32(h, uint32_t(std::min<uint64_t>(e.CompressedSize, kMax32)));
  Put32(h, uint32_t(std::min<uint64_t>(e.UncompressedSize, kMax32)));
  Put16(h, uint32_t(e.Name.size()));
  Put16(h, uint32_t(x.size()));
  Put16(h, uint32_t(e.Comment.size()));
  Put16(h, 0);  // disk number start
  Put16(h, e.Internal);
  Put32(h, e.External);
  Put32(h, uint32_t(std::min<uint64_t>(e.Offset, kMax32)));
  return h + e.Name + x + e.Comment;
}

std::string EndRecords(uint64_t count, uint64_t cdOffset, uint64_t cdSize,
                       const std::string& comment) {
  std::string r;
  bool zip64 = count >= kMax16 || cdOffset >= kMax32 || cdSize >= kMax32;
  if (zip64) {
    uint64_t at = cdOffset + cdSize;
    Put32(r, kZip64EndSig);
    Put64(r, 44);
    Put16(r, 0x031E);
    Put16(r, 45);
    Put32(r, 0);
    Put32(r, 0);
    Put64(r, count);
    Put64(r, count);
    Put64(r, cdSize);
    Put64(r, cdOffset);
    Put32(r, kZip64LocatorSig);
    Put32(r, 0);
    Put64(r, at);
    Put32(r, 1);
  }
  Put32(r, kEndSig);
  Put16(r, 0);
  Put16(r, 0);
  Put16(r, uint32_t(std::min<uint64_t>(count, kMax16)));
  Put16(r, uint32_t(std::min<uint64_t>(count, kMax16)));
  Put32(r, uint32_t(std::min<uint64_t>(cdSize, kMax32)));
  Put32(r, uint32_t(std::min<uint64_t>(cdOffset, kMax32)));
  Put16(r, uint32_t(comment.size()));
  return r + comment;
}

}  // namespace quil::qzip
