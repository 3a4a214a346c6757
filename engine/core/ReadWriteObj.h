// TReadWriteObj: the three data hooks through which every compressed and uncompressed byte of an
// engine run flows, with checksumming and decryption on the way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/ArcFile.h"
#include "engine/core/ArcMain.h"
#include "engine/core/Crc.h"
#include "engine/core/ZipCipher.h"

namespace quil {

// Where the hooks read from and write to.
enum TInputKind : uint8_t { ikArchiveFile = 0, ikStream = 2 };
enum TOutputKind : uint8_t { okFiles = 0, okTempStream = 2, okTest = 7 };
// Checksum kinds (CrcKind16, CrcKind32 from Crc.h): which register a block updates; any other
// value updates none.
inline constexpr int32_t CrcKindNone = 0;

class TReadWriteObj : public TArcMain {
 public:
  // (in-file, in-stream, count, CRC kind, decrypt, buffer) -> bytes read, -1 on a stream read error
  using TReadHook = std::function<int64_t(TArcFile* inFile, TArcFile* inStream, int64_t count,
                                          int crcKind, bool decrypt, uint8_t* buf)>;
  // (out-file, out-stream, mode, length, CRC kind, decrypt, buffer) -> bytes written
  using TWriteHook = std::function<int64_t(TArcFile* outFile, TArcFile* outStream, int mode,
                                           int64_t length, int crcKind, bool decrypt, uint8_t* buf)>;

  TReadWriteObj();

  // The hooks; initialised to this component's own ReadBlock / WriteBlock / WriteEncrypted. A
  // component may replace them (the tester replaces the write hook).
  TReadHook ReadHook;
  TWriteHook WriteHook;
  TWriteHook WriteEncryptedHook;

  // Reads `count` bytes from the input kind's source; decrypts when asked; updates the selected
  // CRC register. -1 when the stream reported a read error.
  virtual int64_t ReadBlock(TArcFile* inFile, TArcFile* inStream, int64_t count, int crcKind,
                            bool decrypt, uint8_t* buf);
  // Writes `length` bytes to the output kind's target. Mode 1 with `decrypt` on a ZIP-family
  // type decrypts the buffer in place first, and mode 1 updates the CRC register. A short write
  // raises E_RAISE 25136 without OnError.
  virtual int64_t WriteBlock(TArcFile* outFile, TArcFile* outStream, int mode, int64_t length,
                             int crcKind, bool decrypt, uint8_t* buf);
  // As WriteBlock, but encrypts (in place) instead of decrypting.
  virtual int64_t WriteEncrypted(TArcFile* outFile, TArcFile* outStream, int mode, int64_t length,
                                 int crcKind, bool decrypt, uint8_t* buf);

  TInputKind InputKind() const { return FInputKind; }
  void SetInputKind(TInputKind k) { FInputKind = k; }
  TOutputKind OutputKind() const { return FOutputKind; }
  void SetOutputKind(TOutputKind k) { FOutputKind = k; }

  // CRC registers of this component (one per running operation).
  uint32_t Crc32Register() const { return FCrc32; }
  void SetCrc32Register(uint32_t v) { FCrc32 = v; }
  uint32_t Crc16Register() const { return FCrc16; }
  void SetCrc16Register(uint32_t v) { FCrc16 = v; }
  void UpdateCrc(int crcKind, const uint8_t* data, int64_t length);

  // ARJ garble password; the 1-based position restarts at 1.
  void SetGarblePassword(const std::string& pw) { FGarblePassword = pw; FGarblePos = 1; }
  const std::string& GarblePassword() const { return FGarblePassword; }
  // The traditional ZIP cipher of the running extraction (not owned; nullptr = none).
  void SetZipCipher(TZipCipher* c) { FZipCipher = c; }
  TZipCipher* ZipCipher() const { return FZipCipher; }

  // True for the types whose decrypt flag means the traditional ZIP cipher.
  static bool UsesZipCipher(TArcType t) {
    return t == atBh || t == atBhExe || t == atJar || t == atZip || t == atZipExe || t == atZipMV;
  }

 protected:
  // A read of the archive file failed: reports 25236 and throws.
  [[noreturn]] virtual void RaiseReadError();
  void Ungarble(uint8_t* buf, int64_t n);
  int64_t WriteOut(TArcFile* outFile, TArcFile* outStream, int64_t length, const uint8_t* buf);

  TInputKind FInputKind = ikArchiveFile;
  TOutputKind FOutputKind = okFiles;
  uint32_t FCrc32 = 0;
  uint32_t FCrc16 = 0;
  std::string FGarblePassword;
  size_t FGarblePos = 1;
  TZipCipher* FZipCipher = nullptr;
};

}  // namespace quil
