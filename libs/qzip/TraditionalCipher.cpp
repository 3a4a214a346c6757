#include "libs/qzip/TraditionalCipher.h"

#include <sys/random.h>

#include <random>

#include "engine/core/Crc.h"

namespace quil::qzip {

namespace {
uint32_t CrcByte(uint32_t crc, uint8_t b) { return Crc32Table[(crc ^ b) & 0xFF] ^ (crc >> 8); }
}  // namespace

TraditionalCipher::TraditionalCipher(const std::string& password) {
  FKey[0] = 0x12345678;
  FKey[1] = 0x23456789;
  FKey[2] = 0x34567890;
  for (unsigned char c : password) Update(c);
}

void TraditionalCipher::Update(uint8_t plain) {
  FKey[0] = CrcByte(FKey[0], plain);
  FKey[1] = (FKey[1] + (FKey[0] & 0xFF)) * 134775813u + 1;
  FKey[2] = CrcByte(FKey[2], uint8_t(FKey[1] >> 24));
}

void TraditionalCipher::Encrypt(uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    uint8_t plain = p[i];
    p[i] = plain ^ StreamByte();
    Update(plain);
  }
}

void TraditionalCipher::Decrypt(uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    p[i] ^= StreamByte();
    Update(p[i]);
  }
}

std::string TraditionalCipher::Header(uint32_t crc) {
  uint8_t h[12];
  if (getrandom(h, 11, 0) != 11) {
    std::random_device rd;
    for (int i = 0; i < 11; ++i) h[i] = uint8_t(rd());
  }
  h[11] = uint8_t(crc >> 24);
  Encrypt(h, 12);
  return std::string(reinterpret_cast<char*>(h), 12);
}

}  // namespace quil::qzip
