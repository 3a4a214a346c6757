// Archive-type detection: decides which of the engine's archive types a file holds and where the
// archive data starts inside it (self-extracting programs carry the archive behind a stub).
// Works over a read-at interface, so it runs on a file or on a buffer in memory alike. Never
// throws and never reads outside its buffers: every failure is expressed by the type.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/ArcMain.h"
#include "engine/core/ArcType.h"

namespace quil {

class TArcFile;
class TDiskManager;

// Random-access input for detection.
class IReadAt {
 public:
  virtual ~IReadAt() = default;
  // Size in bytes, -1 when it cannot be read.
  virtual int64_t Size() = 0;
  // Reads up to `count` bytes at `pos`: the number read (0 at or after the end), -1 on an error.
  virtual int64_t ReadAt(int64_t pos, void* buf, int64_t count) = 0;
};

// Input held in memory (not copied: the bytes must outlive the reader).
class TMemoryReadAt : public IReadAt {
 public:
  TMemoryReadAt(const void* data, size_t size) : FData(static_cast<const uint8_t*>(data)), FSize(size) {}
  int64_t Size() override { return static_cast<int64_t>(FSize); }
  int64_t ReadAt(int64_t pos, void* buf, int64_t count) override;

 private:
  const uint8_t* FData;
  size_t FSize;
};

// Input from an open archive file.
class TFileReadAt : public IReadAt {
 public:
  explicit TFileReadAt(TArcFile& file) : FFile(file) {}
  int64_t Size() override;
  int64_t ReadAt(int64_t pos, void* buf, int64_t count) override;

 private:
  TArcFile& FFile;
};

struct TDetectOptions {
  // The archive's name: its extension decides .ZIP/.JAR questions, its folder the volume asked
  // about for spanned ZIP disks.
  std::string FileName;
  // Room for a ZIP archive comment when searching the end record (0: no comment).
  int32_t ZipCmntBufSize = 0;
  // The volume inspector for spanned-disk questions; nullptr: a fixed disk without a label.
  TDiskManager* Disk = nullptr;
};

// Detection over an input. Fills ArcType, ArcOffset, ZipFlags, ArchiveSize, ReaderStart and the
// header buffers of `d` (ArchiveDate and the volume suffix state are the caller's; see
// DetectArchiveFile). An input of fewer than 20 bytes or without a readable size gives
// atFileOpenErr.
void DetectArcType(IReadAt& in, const TDetectOptions& opt, TDetection& d);

// Detection of a file by name: opens it read-only, detects, stamps ArchiveDate (the file's
// modification time as a local DOS date-time; 29221 when the type is not recognised) and closes
// it. An empty name gives atNA; a file that cannot be opened (missing, a folder, no permission)
// gives atFileOpenErr. A ZIP named *.jar becomes atJar.
void DetectArchiveFile(const std::string& name, const TDetectOptions& opt, TDetection& d);

// VolumeLetter and VolumeNumber from the archive's name (ARJ, RAR and ACE types; VolumeNumber 0
// for every other type): x.arj 1, x.a01 2, x.rar 0, x.r00 1, x.c04 5.
void ComputeVolumeSuffix(const std::string& name, TDetection& d);

// Classification of the four bytes `sig` (little-endian dword) found at the start of an archive
// (plain mode) or behind a program stub (executable mode). The spanning cases ask `opt.Disk`;
// may set ArcOffset and ZipFlags in `d`, and may run the end-record search on `in`.
TArcType ClassifySignature(uint32_t sig, bool executable, IReadAt& in, const TDetectOptions& opt,
                           TDetection& d);

}  // namespace quil
