// TZipCipher: the byte interface of the traditional ZIP cipher. The ZIP extractor supplies the
// implementation for one run and hands it to the data hooks (TReadWriteObj::SetZipCipher).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quil {

class TZipCipher {
 public:
  virtual ~TZipCipher() = default;
  // Returns the plain byte of cipher byte `c` and updates the keys with it.
  virtual uint8_t DecryptByte(uint8_t c) = 0;
  // Returns the cipher byte of plain byte `p` and updates the keys with `p`.
  virtual uint8_t EncryptByte(uint8_t p) = 0;
  // Decrypts `n` bytes in place; a cipher overrides it to keep the keys in registers.
  virtual void DecryptBlock(uint8_t* buf, size_t n) {
    for (size_t i = 0; i < n; ++i) buf[i] = DecryptByte(buf[i]);
  }
};

}  // namespace quil
