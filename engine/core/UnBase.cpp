#include "engine/core/UnBase.h"

#include "engine/core/Messages.h"

namespace quil {

TUnBase::TUnBase() = default;

void TUnBase::Extract() {
  FInputKind = ikArchiveFile;
  FOutputKind = okFiles;
  RunDriver();
}

void TUnBase::ExtractForTest() {
  FInputKind = ikArchiveFile;
  FOutputKind = okTest;
  RunDriver();
}

void TUnBase::RunDriver() {
  if (FArchiveFile.empty()) RaiseError(FArchiveFile, "", "0", 25172);
  if (!ExtractableArcTypes.contains(ArcType())) RaiseError(FArchiveFile, "", "0", 25242);
  const bool library = LibraryArcTypes.contains(ArcType());
  if (!library && !FArcFile.Open(FArchiveFile, TArcFile::ReadOnly))
    RaiseError(FArchiveFile, "", "0", 25235);

  if (OnActivate) OnActivate(this);
  if (OnElapsedTime) StartTimer();

  FFileCount = 0;
  FMaxFileDate = 0;
  FReadPos = 0;
  FTotalPackedSize = 0;
  FTotalUnpackedSize = 0;
  FStartPos = FDetect.ArcOffset;
  FEndPos = FDetect.ArchiveSize;

  auto windUp = [&] {
    if (OnElapsedTime) OnElapsedTime(this, StopTimer());
    if (OnDeactivate) OnDeactivate(this);
    FMatched.clear();
    FMatched.shrink_to_fit();
    FProgressInstalled = false;
    if (!library) FArcFile.Close();
  };
  try {
    FVolumeName = FArchiveFile;
    FGarblePassword.clear();
    FGarblePos = 1;
    FEntry.Encrypted = false;
    SetCancel(false);
    FProgressInstalled = true;
    if (FCpuType == cpt80486) FCpuType = cptAuto;
    FEntry.FileName.clear();
    FCheckedFolder.clear();
    FireProgress();
    FMatched.clear();
    ExtractEntries();
    FireProgress();
  } catch (...) {
    windUp();
    throw;
  }
  windUp();
}

}  // namespace quil
