#include "engine/extract/ZipEntryIO.h"

#include <algorithm>
#include <cstring>

#include "engine/core/Names.h"

namespace quil {

int64_t TZipHookSource::Read(uint8_t* buf, int64_t n) {
  for (;;) {
    int64_t got = FOwner.ReadHook(&FParts.File(), nullptr, n, CrcKindNone, FDecrypt, buf);
    if (got != 0) return got;
    // The part ended with bytes still due: the next disk or part of the set.
    if (FParts.Kind() == TZipParts::pkOneFile) return 0;
    if (!FParts.NextDisk() || !FParts.File().Seek(0)) {
      if (FParts.Kind() == TZipParts::pkRemovable) FOwner.SetCancel(true);
      return 0;
    }
  }
}

bool TZipHookSink::Write(const uint8_t* data, size_t n) {
  uint8_t* buf;
  if (FDecrypt) {
    if (FBufSize < n) {
      FBuf.reset(new uint8_t[n]);
      FBufSize = n;
    }
    std::memcpy(FBuf.get(), data, n);
    buf = FBuf.get();
  } else {
    // Without decryption the hooks leave the buffer as it is.
    buf = const_cast<uint8_t*>(data);
  }
  FOwner.WriteHook(FOut, FOut, 1, static_cast<int64_t>(n), CrcKind32, FDecrypt, buf);
  return true;
}

void TZipProgress::Update(int64_t packedRead) {
  if (packedRead < FDone) return;
  FOwner.ConsumeBytes(packedRead - FDone);
  FDone = packedRead;
  const int32_t step = FOwner.ProgressStep();
  const int32_t now = PercentOf(FDone, FSize) / step;
  if (now != FLastStep) {
    FLastStep = now;
    FOwner.ReportProgress(FDone, FSize, false, FRunTotal);
  }
}

void TZipProgress::Finish(int64_t packedRead) {
  Update(packedRead);
  // Bytes the decoder never fetched (a stream that ended early) still count as done for the run.
  if (FDone < FSize) {
    // Never more than the run has left (sizes from a damaged directory may be anything).
    FOwner.ConsumeBytes(std::min(FSize - FDone, std::max<int64_t>(FOwner.RunBytesLeft(), 0)));
    FDone = FSize;
  }
  if (FLastStep != 100 / FOwner.ProgressStep()) {
    FLastStep = 100 / FOwner.ProgressStep();
    FOwner.ReportProgress(FSize, FSize, false, FRunTotal);
  }
}

}  // namespace quil
