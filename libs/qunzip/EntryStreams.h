// The byte streams of one entry: its stored data read from the archive (decrypted when the entry
// is encrypted), and where the plain bytes go: an output file or nowhere (testing). Both sinks
// keep the CRC-32 of what passed through them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/decode/DecodeIO.h"
#include "libs/qzip/TraditionalCipher.h"

namespace quil::qunzip {

// Reads `length` bytes of the archive from `offset` on, through `cipher` when given.
class ArchiveSource : public TDecodeSource {
 public:
  ArchiveSource(int fd, uint64_t offset, uint64_t length, qzip::TraditionalCipher* cipher)
      : FFd(fd), FPos(offset), FLeft(length), FCipher(cipher) {}
  int64_t Read(uint8_t* buf, int64_t n) override;

 private:
  int FFd;
  uint64_t FPos;
  uint64_t FLeft;
  qzip::TraditionalCipher* FCipher;
};

// Counts and checksums the plain bytes; with a file descriptor also writes them there.
class CheckedSink : public TDecodeSink {
 public:
  explicit CheckedSink(int fd = -1) : FFd(fd) {}
  bool Write(const uint8_t* data, size_t n) override;
  uint32_t Crc() const { return ~FReg; }
  bool WriteFailed() const { return FFailed; }

 private:
  int FFd;
  uint32_t FReg = 0xFFFFFFFFu;
  bool FFailed = false;
};

}  // namespace quil::qunzip
