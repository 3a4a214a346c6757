#include "engine/core/ReadWriteObj.h"

#include "engine/core/Crc.h"
#include "engine/core/Messages.h"

namespace quil {

TReadWriteObj::TReadWriteObj() {
  ReadHook = [this](TArcFile* f, TArcFile* s, int64_t n, int k, bool d, uint8_t* b) {
    return ReadBlock(f, s, n, k, d, b);
  };
  WriteHook = [this](TArcFile* f, TArcFile* s, int m, int64_t n, int k, bool d, uint8_t* b) {
    return WriteBlock(f, s, m, n, k, d, b);
  };
  WriteEncryptedHook = [this](TArcFile* f, TArcFile* s, int m, int64_t n, int k, bool d,
                              uint8_t* b) { return WriteEncrypted(f, s, m, n, k, d, b); };
}

void TReadWriteObj::RaiseReadError() { throw E_RAISE(25236); }

void TReadWriteObj::UpdateCrc(int crcKind, const uint8_t* data, int64_t length) {
  if (length <= 0) return;
  if (crcKind == CrcKind32)
    CrcUpdate32(data, static_cast<size_t>(length), FCrc32);
  else if (crcKind == CrcKind16)
    CrcUpdate16(data, static_cast<size_t>(length), FCrc16);
}

void TReadWriteObj::Ungarble(uint8_t* buf, int64_t n) {
  if (FGarblePassword.empty()) return;
  for (int64_t i = 0; i < n; ++i) {
    if (FGarblePos < 1 || FGarblePos > FGarblePassword.size()) FGarblePos = 1;
    buf[i] ^= static_cast<uint8_t>(FGarblePassword[FGarblePos - 1]);
    ++FGarblePos;
  }
}

int64_t TReadWriteObj::ReadBlock(TArcFile* inFile, TArcFile* inStream, int64_t count, int crcKind,
                                 bool decrypt, uint8_t* buf) {
  if (count <= 0) return 0;
  int64_t n;
  if (FInputKind == ikStream) {
    if (!inStream) return -1;
    n = inStream->Read(buf, count);
    if (n < 0) return -1;
  } else {
    if (!inFile) RaiseReadError();
    n = inFile->Read(buf, count);
    if (n < 0) RaiseReadError();
  }
  if (decrypt && n > 0) {
    if (ArcType() == atArj || ArcType() == atArjExe) {
      Ungarble(buf, n);
    } else if (UsesZipCipher(ArcType()) && FZipCipher) {
      FZipCipher->DecryptBlock(buf, static_cast<size_t>(n));
    }
  }
  UpdateCrc(crcKind, buf, n);
  return n;
}

int64_t TReadWriteObj::WriteOut(TArcFile* outFile, TArcFile* outStream, int64_t length,
                                const uint8_t* buf) {
  switch (FOutputKind) {
    case okFiles: return outFile ? outFile->Write(buf, length) : -1;
    case okTempStream: return outStream ? outStream->Write(buf, length) : -1;
    case okTest: return length;
  }
  return -1;
}

int64_t TReadWriteObj::WriteBlock(TArcFile* outFile, TArcFile* outStream, int mode,
                                  int64_t length, int crcKind, bool decrypt, uint8_t* buf) {
  if (length <= 0) return 0;
  if (mode == 1 && decrypt && UsesZipCipher(ArcType()) && FZipCipher)
    FZipCipher->DecryptBlock(buf, static_cast<size_t>(length));
  int64_t n = WriteOut(outFile, outStream, length, buf);
  if (n != length) throw E_RAISE(25136);
  if (mode == 1) UpdateCrc(crcKind, buf, n);
  return n;
}

int64_t TReadWriteObj::WriteEncrypted(TArcFile* outFile, TArcFile* outStream, int mode,
                                      int64_t length, int crcKind, bool decrypt, uint8_t* buf) {
  if (length <= 0) return 0;
  // The checksum is over the plain bytes.
  if (mode == 1) UpdateCrc(crcKind, buf, length);
  if (decrypt && UsesZipCipher(ArcType()) && FZipCipher)
    for (int64_t i = 0; i < length; ++i) buf[i] = FZipCipher->EncryptByte(buf[i]);
  int64_t n = WriteOut(outFile, outStream, length, buf);
  if (n != length) throw E_RAISE(25136);
  return n;
}

}  // namespace quil
