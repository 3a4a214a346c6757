// The link between the ZIP decoders and a component's data hooks: compressed bytes come in
// through ReadHook (decrypted there for encrypted entries, no checksum) and go on to the next part
// of a split or spanned set when one ends; plain bytes leave through WriteHook, which keeps the
// CRC-32 register (and decrypts stored encrypted entries on the way out); progress is reported in
// the component's steps.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/ZipCommon.h"
#include "engine/decode/DecodeIO.h"
#include "engine/extract/ZipParts.h"

namespace quil {

class TZipHookSource final : public TDecodeSource {
 public:
  TZipHookSource(TZipCommon& owner, TZipParts& parts, bool decrypt)
      : FOwner(owner), FParts(parts), FDecrypt(decrypt) {}
  int64_t Read(uint8_t* buf, int64_t n) override;

 private:
  TZipCommon& FOwner;
  TZipParts& FParts;
  bool FDecrypt;
};

class TZipHookSink final : public TDecodeSink {
 public:
  TZipHookSink(TZipCommon& owner, TArcFile* out, bool decrypt)
      : FOwner(owner), FOut(out), FDecrypt(decrypt) {}
  bool Write(const uint8_t* data, size_t n) override;

 private:
  TZipCommon& FOwner;
  TArcFile* FOut;
  bool FDecrypt;
  std::unique_ptr<uint8_t[]> FBuf;  // decryption copy, for stored encrypted entries
  size_t FBufSize = 0;
};

// Reports the progress of one entry whenever its percentage crosses a step of ProgressNotify.
class TZipProgress {
 public:
  TZipProgress(TZipCommon& owner, int64_t entrySize, int64_t runTotal)
      : FOwner(owner), FSize(entrySize), FRunTotal(runTotal) {}
  // `packedRead` compressed bytes of the entry have been fetched.
  void Update(int64_t packedRead);
  // The entry is done: the rest of its bytes count as done for the run.
  void Finish(int64_t packedRead);

 private:
  TZipCommon& FOwner;
  int64_t FSize;
  int64_t FRunTotal;
  int64_t FDone = 0;
  int32_t FLastStep = 0;
};

}  // namespace quil
