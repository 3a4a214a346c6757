#include "engine/extract/ZipParts.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/list/DirReader.h"

namespace quil {

namespace {
constexpr uint32_t kEndSig = 0x06054B50, kEnd64Sig = 0x06064B50, kLocator64Sig = 0x07064B50;
constexpr int64_t kEndSize = 22;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }
}  // namespace

bool FindZipEnd(TArcFile& f, TZipEnd& end) {
  int64_t size = f.Size();
  if (size < kEndSize) return false;
  int64_t window = std::min<int64_t>(size, 65535 + kEndSize);
  std::vector<uint8_t> tail(static_cast<size_t>(window));
  if (!f.ReadAt(size - window, tail.data(), window)) return false;
  for (int64_t i = window - kEndSize; i >= 0; --i) {
    const uint8_t* r = &tail[static_cast<size_t>(i)];
    if (Le32(r) != kEndSig) continue;
    end.EndPos = size - window + i;
    end.ThisDisk = Le16(r + 4);
    end.CentralDisk = Le16(r + 6);
    end.Entries = Le16(r + 10);
    end.CentralSize = Le32(r + 12);
    end.CentralOffset = Le32(r + 16);
    int64_t directoryEnd = end.EndPos;
    // The ZIP64 locator stands right before the end record.
    uint8_t loc[20];
    if (end.EndPos >= 20 && f.ReadAt(end.EndPos - 20, loc, 20) && Le32(loc) == kLocator64Sig) {
      uint64_t at = Le64(loc + 8);
      uint8_t rec[56];
      // Unadjusted self-extractors: the record sits in front of the locator either way.
      int64_t guess = end.EndPos - 20 - 56;
      int64_t pos = -1;
      if (at <= static_cast<uint64_t>(size - 56) && f.ReadAt(static_cast<int64_t>(at), rec, 56) &&
          Le32(rec) == kEnd64Sig)
        pos = static_cast<int64_t>(at);
      else if (guess >= 0 && f.ReadAt(guess, rec, 56) && Le32(rec) == kEnd64Sig)
        pos = guess;
      if (pos >= 0) {
        end.ThisDisk = static_cast<int32_t>(Le32(rec + 16));
        end.CentralDisk = static_cast<int32_t>(Le32(rec + 20));
        end.Entries = Le64(rec + 32);
        uint64_t cs = Le64(rec + 40), co = Le64(rec + 48);
        if (cs > static_cast<uint64_t>(size) || co > static_cast<uint64_t>(size)) return false;
        end.CentralSize = static_cast<int64_t>(cs);
        end.CentralOffset = static_cast<int64_t>(co);
        directoryEnd = pos;
      }
    }
    if (end.ThisDisk == 0 && end.CentralDisk == 0) {
      int64_t shift = directoryEnd - end.CentralSize - end.CentralOffset;
      end.Shift = shift > 0 ? shift : 0;
    }
    return true;
  }
  return false;
}

std::string TZipParts::PartName(int32_t d) const {
  return SplitZipPartName(FLastPath, d, FLastDisk);
}

bool TZipParts::OpenDisk(int32_t d) {
  if (d < 0) return false;
  switch (FKind) {
    case pkOneFile:
      return true;
    case pkNumbered: {
      if (d > FLastDisk) return false;
      if (d == FDisk && File().IsOpen()) return true;
      File().Close();
      if (!File().Open(PartName(d), TArcFile::ReadOnly)) return false;
      FDisk = d;
      return true;
    }
    case pkRemovable:
      if (d == FDisk && FOwner.CurrentDisk() == d + 1 && File().IsOpen()) return true;
      if (!FOwner.RequestDisk(d + 1)) return false;
      FDisk = d;
      return true;
  }
  return false;
}

bool TZipParts::NextDisk() {
  if (FKind == pkOneFile) return false;
  if (FKind == pkNumbered && FDisk >= FLastDisk) return false;
  return OpenDisk(FDisk + 1);
}

bool TZipParts::SeekTo(int32_t d, int64_t offset) {
  if (offset < 0 || !OpenDisk(d)) return false;
  if (FKind == pkOneFile) return File().Seek(offset);
  for (;;) {
    int64_t size = File().Size();
    if (size < 0) return false;
    if (offset < size) return File().Seek(offset);
    offset -= size;
    if (!NextDisk()) return false;
  }
}

bool TZipParts::Skip(int64_t n) {
  if (n < 0) return false;
  int64_t pos = File().Position() + n;
  if (FKind == pkOneFile) return File().Seek(pos);
  for (;;) {
    int64_t size = File().Size();
    if (size < 0) return false;
    if (pos < size) return File().Seek(pos);
    pos -= size;
    if (!NextDisk()) return false;
  }
}

int64_t TZipParts::Read(uint8_t* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    int64_t got = File().Read(buf + done, n - done);
    if (got < 0) return done ? done : -1;
    if (got == 0) {
      if (!NextDisk() || !File().Seek(0)) break;
      continue;
    }
    done += got;
  }
  return done;
}

}  // namespace quil
