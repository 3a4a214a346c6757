#include "engine/decode/DecodeIO.h"

#include <algorithm>
#include <cstring>

#include "engine/core/Messages.h"

namespace quil {

int64_t TMemorySource::Read(uint8_t* buf, int64_t n) {
  if (n <= 0) return 0;
  size_t take = std::min(static_cast<size_t>(n), FSize - FPos);
  if (take) std::memcpy(buf, FData + FPos, take);
  FPos += take;
  return static_cast<int64_t>(take);
}

TByteInput::TByteInput(TDecodeSource& source, int64_t packedSize, const TDecodeControl& control)
    : FSource(source), FControl(control), FRemaining(packedSize < 0 ? 0 : packedSize),
      FBuf(new uint8_t[2 * kBlock]) {
  Next = End = FBuf.get();
}

bool TByteInput::Refill() {
  if (FRemaining <= 0) return false;
  if (FControl.Cancelled && FControl.Cancelled()) throw E_RAISE(kMsgUserAborted);
  size_t keep = static_cast<size_t>(End - Next);
  if (keep > kBlock) return true;  // plenty unread; the caller only wants more when nearly dry
  uint8_t* base = FBuf.get();
  if (keep) std::memmove(base, Next, keep);
  int64_t want = std::min<int64_t>(FRemaining, static_cast<int64_t>(kBlock));
  int64_t got = FSource.Read(base + keep, want);
  if (got < 0) throw E_RAISE(kMsgUnexpectedEnd);
  if (got > want) got = want;  // a source that claims more than asked is not trusted
  if (got == 0) FRemaining = 0;
  FRemaining -= got;
  FFetched += got;
  Next = base;
  End = base + keep + got;
  if (FControl.OnProgress) FControl.OnProgress(FFetched, -1);
  return got > 0;
}

void TDecodeOutput::CheckCancel() const {
  if (FControl.Cancelled && FControl.Cancelled()) throw E_RAISE(kMsgUserAborted);
}

void TDecodeOutput::Write(const uint8_t* data, size_t n) {
  bool over = static_cast<int64_t>(n) > Room();
  size_t take = over ? static_cast<size_t>(Room()) : n;
  if (take) {
    if (!FSink.Write(data, take)) {
      CheckCancel();
      throw E_RAISE(kMsgWriteError);
    }
    FWritten += static_cast<int64_t>(take);
    if (FControl.OnProgress) FControl.OnProgress(-1, FWritten);
  }
  if (over) throw E_RAISE(kMsgOutputTooLong);
  CheckCancel();
}

void TOutWindow::Flush() {
  uint32_t start = FStart;
  uint32_t end = FPos;
  // Mark written first: a failing write must not be retried by the final flush.
  FStart = FPos == kSize ? 0 : FPos;
  if (FPos == kSize) FPos = 0;
  if (end > start) FOut.Write(FBuf.data() + start, end - start);
}

void TOutWindow::Overrun() {
  Flush();
  throw E_RAISE(kMsgOutputTooLong);
}

}  // namespace quil
