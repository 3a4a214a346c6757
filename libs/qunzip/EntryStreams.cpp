#include "libs/qunzip/EntryStreams.h"

#include <unistd.h>

#include <cerrno>

#include "engine/core/Crc.h"

namespace quil::qunzip {

int64_t ArchiveSource::Read(uint8_t* buf, int64_t n) {
  if (n <= 0 || FLeft == 0) return 0;
  if (uint64_t(n) > FLeft) n = int64_t(FLeft);
  ssize_t got;
  do {
    got = ::pread(FFd, buf, size_t(n), off_t(FPos));
  } while (got < 0 && errno == EINTR);
  if (got < 0) return -1;
  FPos += uint64_t(got);
  FLeft -= uint64_t(got);
  if (FCipher) FCipher->Decrypt(buf, size_t(got));
  return got;
}

bool CheckedSink::Write(const uint8_t* data, size_t n) {
  CrcUpdate32(data, n, FReg);
  if (FFd < 0) return true;
  while (n > 0) {
    ssize_t w = ::write(FFd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      FFailed = true;
      return false;
    }
    data += w;
    n -= size_t(w);
  }
  return true;
}

}  // namespace quil::qunzip
