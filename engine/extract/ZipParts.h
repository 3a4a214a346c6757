// The files a ZIP archive is stored in, read as one sequence: a single file, a numbered split set
// (x.z01, x.z02, ..., x.zip) or a set spanned over removable disks, whose disks are asked for
// through the component's disk requests. Reads that run past the end of a part go on with the
// next one.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/ZipCommon.h"

namespace quil {

// Where the central directory is, from the end record (and its ZIP64 form where present).
struct TZipEnd {
  int64_t EndPos = 0;        // position of the end record in its file
  int32_t ThisDisk = 0;      // 0-based disk that holds the end record
  int32_t CentralDisk = 0;   // 0-based disk where the central directory starts
  uint64_t Entries = 0;
  int64_t CentralSize = 0;
  int64_t CentralOffset = 0;
  // Bytes in front of the archive that the stored offsets do not count (an unadjusted
  // self-extractor); 0 for most archives.
  int64_t Shift = 0;
};

// Finds the end record in the last 64 KiB + 22 bytes of `f`; false when there is none.
bool FindZipEnd(TArcFile& f, TZipEnd& end);

class TZipParts {
 public:
  enum TKind { pkOneFile, pkNumbered, pkRemovable };

  // The component's open archive file is the current part. `lastPath` and `lastDisk`: the last
  // part of a numbered set and its 0-based disk number.
  TZipParts(TZipCommon& owner, TKind kind, std::string lastPath = {}, int32_t lastDisk = 0)
      : FOwner(owner), FKind(kind), FLastPath(std::move(lastPath)), FLastDisk(lastDisk),
        FDisk(kind == pkNumbered ? lastDisk : 0) {}

  TKind Kind() const { return FKind; }
  int32_t Disk() const { return FDisk; }
  TArcFile& File() { return FOwner.ArcFile(); }
  // Makes disk `d` (0-based) the current part. A single file is every disk.
  bool OpenDisk(int32_t d);
  // Moves to the next part; false at the last one or when it cannot be had.
  bool NextDisk();
  // Positions at `offset` of disk `d`; an offset past the end of a part continues on the next.
  bool SeekTo(int32_t d, int64_t offset);
  // Moves n bytes on from the current position, onto the next parts as needed.
  bool Skip(int64_t n);
  // Reads up to n bytes at the current position, going on to the next parts as needed.
  int64_t Read(uint8_t* buf, int64_t n);
  // Reads exactly n bytes; false when fewer could be had.
  bool ReadExact(uint8_t* buf, int64_t n) { return Read(buf, n) == n; }
  // The name of disk `d` of the numbered set.
  std::string PartName(int32_t d) const;

 private:
  TZipCommon& FOwner;
  TKind FKind;
  std::string FLastPath;
  int32_t FLastDisk;
  int32_t FDisk;
};

}  // namespace quil
