// The traditional ZIP cipher: three 32-bit keys driven by the CRC-32 table, one object per
// extraction run (plugged into the data hooks as their TZipCipher).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/core/Crc.h"
#include "engine/core/ZipCipher.h"

namespace quil {

class TZipCrypto final : public TZipCipher {
 public:
  // Keys from the password's bytes.
  void Init(std::string_view password) {
    FKeys[0] = 0x12345678u;
    FKeys[1] = 0x23456789u;
    FKeys[2] = 0x34567890u;
    for (char c : password) Update(static_cast<uint8_t>(c));
  }
  uint8_t DecryptByte(uint8_t c) override {
    uint8_t p = c ^ Stream();
    Update(p);
    return p;
  }
  uint8_t EncryptByte(uint8_t p) override {
    uint8_t c = p ^ Stream();
    Update(p);
    return c;
  }
  void DecryptBlock(uint8_t* buf, size_t n) override {
    uint32_t k0 = FKeys[0], k1 = FKeys[1], k2 = FKeys[2];
    for (size_t i = 0; i < n; ++i) {
      uint32_t t = (k2 & 0xFFFFu) | 2u;
      uint8_t p = buf[i] ^ static_cast<uint8_t>((t * (t ^ 1u)) >> 8);
      buf[i] = p;
      k0 = Crc32Table[(k0 ^ p) & 0xFF] ^ (k0 >> 8);
      k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1u;
      k2 = Crc32Table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
    }
    FKeys[0] = k0;
    FKeys[1] = k1;
    FKeys[2] = k2;
  }

 private:
  uint8_t Stream() const {
    uint32_t t = (FKeys[2] & 0xFFFFu) | 2u;
    return static_cast<uint8_t>((t * (t ^ 1u)) >> 8);
  }
  void Update(uint8_t p) {
    FKeys[0] = Crc32Table[(FKeys[0] ^ p) & 0xFF] ^ (FKeys[0] >> 8);
    FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813u + 1u;
    FKeys[2] = Crc32Table[(FKeys[2] ^ (FKeys[1] >> 24)) & 0xFF] ^ (FKeys[2] >> 8);
  }
  uint32_t FKeys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

// Checks `password` against an entry's 12-byte encryption header. The last plain header byte must
// equal the high byte of the DOS time when the entry has a data descriptor (flag bit 3), else the
// high byte of the CRC-32. An empty password never matches. On success `keys` are ready for the
// entry's data; on failure their state is undefined.
bool CheckZipPassword(const uint8_t header[12], uint16_t flag, std::string_view password,
                      uint16_t dosTime, uint32_t crc, TZipCrypto& keys);

}  // namespace quil
