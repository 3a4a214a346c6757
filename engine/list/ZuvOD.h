// TZuvOD: the lister. Walks an archive's directory from the first header to the last and reports
// every entry through OnRead, with the entry's fields in Entry(). Never decompresses anything.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ZipCommon.h"
#include "engine/list/DirReader.h"

namespace quil {

class TZuvOD : public TZipCommon {
 public:
  TZuvOD();
  ~TZuvOD() override;

  // --- published ---
  bool ShowBlankDirs() const { return FShowBlankDirs; }
  void SetShowBlankDirs(bool v) { FShowBlankDirs = v; }

  // --- events ---
  // One entry: Offset is the byte offset of its header in the archive file (ZIP central mode: the
  // stored local-header offset), Filenum is FileCount.
  std::function<void(TArcMain* Sender, int64_t Offset, int32_t Filenum)> OnRead;
  std::function<void(TArcMain* Sender, const std::string& Filename)> OnReadFile;
  std::function<void(TArcMain* Sender)> OnReadBegin;
  std::function<void(TArcMain* Sender)> OnReadEnd;
  std::function<void(TArcMain* Sender, int32_t NumFiles)> OnTotals;
  std::function<void(TArcMain* Sender, uint8_t HeadFlag, bool& Cancel)> OnCorruptZipHeader;

  // Runs one complete listing. True when it started and ran without an error; errors are reported
  // through OnError and never escape.
  bool Activate();

  // --- services for the directory readers ---
  int64_t HeaderSize() const { return FHeaderSize; }
  void SetHeaderSize(int64_t n) {
    FHeaderSize = n;
    FBuffer.assign(static_cast<size_t>(n > 0 ? n : 0), 0);
  }
  uint8_t* Buffer() { return FBuffer.data(); }
  // Bytes the round loop read into the buffer this round.
  int64_t HeaderBytes() const { return FHeaderBytes; }
  TDirReader* Reader() { return FReader.get(); }
  // Reads through the reader (which knows the archive's parts); -1 on error.
  int64_t ReadAt(int64_t pos, uint8_t* buf, int64_t n) { return FReader->ReadAt(*this, pos, buf, n); }
  // Sets FileName (folders with '/') and fires OnReadFile.
  void SetEntryName(std::string_view name);
  // Resets the per-entry fields before a reader fills them.
  void ClearEntry();
  // The filter of every format: FileSpec matched on the name part, then ExcludeSpec.
  bool EntryPasses() const;
  // Reports the current entry: counts it and adds it to the totals (directories only when
  // ShowBlankDirs is set, and then without counting), sets Ratio, fires OnReadBegin, OnRead and
  // OnReadEnd. Returns whether it was reported.
  bool ReportEntry(int64_t offset, bool directory);
  void SetVolumeName(const std::string& v) { FVolumeName = v; }
  // Lets a reader re-type the archive (a numbered split ZIP set is not found by detection).
  void SetDetectedType(TArcType t) { FDetect.ArcType = t; }
  TDetection& DetectionState() { return FDetect; }

 private:
  void Finish(bool opened);

  bool FShowBlankDirs = false;
  int64_t FHeaderSize = 0;
  int64_t FHeaderBytes = 0;
  std::vector<uint8_t> FBuffer;
  std::unique_ptr<TDirReader> FReader;
};

}  // namespace quil
