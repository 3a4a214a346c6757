#include "engine/list/ZuvOD.h"

#include <sys/stat.h>

#include <algorithm>

#include "engine/core/FileSpec.h"
#include "engine/core/Messages.h"

namespace quil {

TZuvOD::TZuvOD() { FZipCmntBufSize = 32000; }
TZuvOD::~TZuvOD() = default;

void TZuvOD::SetEntryName(std::string_view name) {
  FEntry.FileName.assign(name);  // reuses the record's buffer
  std::replace(FEntry.FileName.begin(), FEntry.FileName.end(), '\\', '/');
  if (OnReadFile) OnReadFile(this, FEntry.FileName);
}

void TZuvOD::ClearEntry() {
  // Field by field, so that the strings keep their buffers from one entry to the next.
  TEntryInfo& e = FEntry;
  e.Encrypted = false;
  e.PackedSize = e.UnpackedSize = 0;
  e.Ratio = 0;
  e.CRC = 0;
  e.MethodName.clear();
  e.Method = 0;
  e.FileDate = 0;
  e.DeflateLevel = 0;
  e.VersionMadeBy = e.VersionNeeded = 0;
  e.InternalAttr = 0;
  e.ExternalAttr = 0;
  e.UnixMode = 0;
  e.FileComment.reset();
}

bool TZuvOD::EntryPasses() const {
  std::string_view n = FEntry.FileName;
  if (!n.empty() && n.back() == '/') n.remove_suffix(1);
  return MatchesFileSpec(n, true);
}

bool TZuvOD::ReportEntry(int64_t offset, bool directory) {
  if (directory) {
    if (!FShowBlankDirs) return false;
  } else {
    ++FFileCount;
    FTotalPackedSize += FEntry.PackedSize;
    FTotalUnpackedSize += FEntry.UnpackedSize;
  }
  FEntry.Ratio = RatioOf(FEntry.PackedSize, FEntry.UnpackedSize);
  if (OnReadBegin) OnReadBegin(this);
  OnRead(this, offset, FFileCount);
  if (OnReadEnd) OnReadEnd(this);
  return true;
}

bool TZuvOD::Activate() {
  SetCancel(false);
  FProgressInstalled = false;
  FVolumeName = FArchiveFile;
  if (FArchiveFile.empty()) return false;

  bool opened = false;
  bool ok = true;
  try {
    struct stat st;
    if (::stat(FArchiveFile.c_str(), &st) != 0) RaiseError(FArchiveFile, "", "0", 25172);
    if (!OnRead) RaiseError(FArchiveFile, "OnRead", "0", 25270);
    // A numbered split ZIP set is opened by its last part, which detection cannot place.
    if ((ArcType() == atNA || ArcType() == atUnknown) && IsSplitZipLastPart(FArchiveFile))
      FDetect.ArcType = atZipMV;
    if (ArcType() == atNA || ArcType() == atUnknown) RaiseError(FArchiveFile, "", "0", 25302);
    if (ArcType() == atFileOpenErr) RaiseError(FArchiveFile, "", "0", 25172);
    FReader = DirReaderFor(ArcType());
    if (!FReader) RaiseError(FArchiveFile, "", "0", 25242);

    opened = true;
    if (!FArcFile.Open(FArchiveFile, TArcFile::ReadOnly)) RaiseError(FArchiveFile, "", "0", 25236);
    FDetect.ArchiveSize = FArcFile.Size();
    if (FDetect.ArchiveSize < 0) RaiseError(FArchiveFile, "", "0", 25236);
    if (OnActivate) OnActivate(this);

    FFileCount = 0;
    FTotalPackedSize = FTotalUnpackedSize = 0;
    FEntry = TEntryInfo{};
    FStartPos = FDetect.ArcOffset;
    FEndPos = FDetect.ArchiveSize;
    SetHeaderSize(0);
    FReader->BeginListing(*this);
    if (OnElapsedTime) StartTimer();

    FReadPos = FStartPos - 1;
    while (FReadPos + FHeaderSize < FEndPos && FHeaderSize > 0 && !FCancel) {
      ProcessPending();
      FStartPos = FReadPos + 1;
      int64_t n = ReadAt(FReadPos, FBuffer.data(), FHeaderSize);
      if (n < 0) RaiseError(FArchiveFile, "", "0", 25236);
      if (n == 0) break;
      std::fill(FBuffer.begin() + n, FBuffer.end(), 0);
      FHeaderBytes = n;
      FReadPos += n;
      FReader->ReadEntry(*this);
    }
  } catch (const E_RAISE&) {
    ok = false;  // already reported through OnError
  } catch (const std::bad_alloc&) {
    ReportError(FArchiveFile, "", "0", 25253);
    ok = false;
  }
  if (opened) Finish(opened);
  FReader.reset();
  return ok;
}

void TZuvOD::Finish(bool) {
  float seconds = StopTimer();
  if (OnTotals) {
    FTotalRatio = RatioOf(FTotalPackedSize, FTotalUnpackedSize);
    OnTotals(this, FFileCount);
  }
  if (FReader) FReader->EndListing(*this);
  FEntry.FileComment.reset();
  FHeaderSize = 0;
  FBuffer.clear();
  FReadPos = 0;
  FStartPos = 1;
  if (OnDeactivate) OnDeactivate(this);
  if (!FArcFile.Close()) ReportError(FArchiveFile, "", "0", 25137);
  if (OnElapsedTime) OnElapsedTime(this, seconds);
}

}  // namespace quil
