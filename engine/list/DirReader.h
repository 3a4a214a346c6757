// TDirReader: one archive format's part of a listing. The lister's round loop reads the format's
// fixed header at the read position into the header buffer, then runs ReadEntry, which reads the
// variable parts, fills the current entry, reports it and moves the read position on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/ArcType.h"

namespace quil {

class TZuvOD;

class TDirReader {
 public:
  virtual ~TDirReader() = default;
  // Format-specific preparation: sets the fixed header size (SetHeaderSize) and possibly the start
  // and end positions. Errors go through RaiseError.
  virtual void BeginListing(TZuvOD& z) = 0;
  // One entry step; the header buffer holds HeaderBytes() bytes read at the previous position.
  virtual void ReadEntry(TZuvOD& z) = 0;
  // After the last round (also after an error): release what the reader holds.
  virtual void EndListing(TZuvOD&) {}
  // Reads `n` bytes at archive position `pos`; the number read (short at the end), -1 on error.
  // Readers of archives made of several files override it.
  virtual int64_t ReadAt(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n);
};

// The reader for a type; nullptr when no reader lists it. One entry per format family.
std::unique_ptr<TDirReader> DirReaderFor(TArcType t);

// The format families' factories (engine/list/<Format>DirReader.cpp).
std::unique_ptr<TDirReader> MakeZipDirReader();
std::unique_ptr<TDirReader> MakeAceDirReader();
std::unique_ptr<TDirReader> MakeArcDirReader();
std::unique_ptr<TDirReader> MakePakDirReader();
std::unique_ptr<TDirReader> MakeArjDirReader();
std::unique_ptr<TDirReader> MakeBhDirReader();
std::unique_ptr<TDirReader> MakeCabDirReader();
std::unique_ptr<TDirReader> MakeGzipDirReader();
std::unique_ptr<TDirReader> MakeHaDirReader();
std::unique_ptr<TDirReader> MakeLhaDirReader();
std::unique_ptr<TDirReader> MakeMsgzDirReader();
std::unique_ptr<TDirReader> MakeRarDirReader();
std::unique_ptr<TDirReader> MakeTarDirReader();
std::unique_ptr<TDirReader> MakeUuDirReader();
std::unique_ptr<TDirReader> MakeZooDirReader();

// True when `path` ends with a ZIP end record that names a disk other than the first: the last
// part of a numbered split set (x.z01, x.z02, ..., x.zip).
bool IsSplitZipLastPart(const std::string& path);

// Name of disk `d` (0-based) of a numbered split set whose last part is `last` (disk `lastDisk`):
// the last part itself, else x.z01, x.z02, ...
std::string SplitZipPartName(const std::string& last, int32_t d, int32_t lastDisk);

}  // namespace quil
