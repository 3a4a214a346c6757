// The traditional PKWARE stream cipher of password-protected ZIP entries: encrypting for the
// writing library, decrypting for the reading library. One object per entry and direction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quil::qzip {

class TraditionalCipher {
 public:
  explicit TraditionalCipher(const std::string& password);
  // The 12-byte header: 11 random bytes and the high byte of the entry's CRC, encrypted.
  std::string Header(uint32_t crc);
  void Encrypt(uint8_t* p, size_t n);
  void Decrypt(uint8_t* p, size_t n);

 private:
  void Update(uint8_t plain);
  uint8_t StreamByte() const {
    uint32_t t = (FKey[2] | 2) & 0xFFFF;
    return uint8_t((t * (t ^ 1)) >> 8);
  }
  uint32_t FKey[3];
};

}  // namespace quil::qzip
