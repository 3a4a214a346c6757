#include "engine/core/CompBase.h"

namespace quil {

TCompBase::TCompBase() {
  FDetect.ArcType = atBh;
  FDateAttribute = daFileDate;
  FProgressNotify = Ten;
}

void TCompBase::Compress() {
  FInputKind = ikStream;
  FOutputKind = okTempStream;
  SetCancel(false);
  FMaxFileDate = 0;
  FFileCount = 0;
  FEntryLeft = FRunLeft = 0;
  FTotalPackedSize = FTotalUnpackedSize = 0;
  FVolumeName = FArchiveFile;
  FProgressInstalled = true;
  if (!FArchiveFile.empty()) CompressRun();
}

bool TCompBase::AdmitCompressEntry(std::string& name, int32_t recNum) {
  bool extract = true;
  if (OnBegin) OnBegin(this, name, recNum, extract);
  if (extract && OnRenameCompressedFile) OnRenameCompressedFile(this, name);
  return extract;
}

}  // namespace quil
