#include "engine/extract/ZipCrypto.h"

namespace quil {

bool CheckZipPassword(const uint8_t header[12], uint16_t flag, std::string_view password,
                      uint16_t dosTime, uint32_t crc, TZipCrypto& keys) {
  if (password.empty()) return false;
  keys.Init(password);
  uint8_t plain[12];
  for (int i = 0; i < 12; ++i) plain[i] = header[i];
  keys.DecryptBlock(plain, 12);
  uint8_t want = (flag & 0x08) ? static_cast<uint8_t>(dosTime >> 8) : static_cast<uint8_t>(crc >> 24);
  return plain[11] == want;
}

}  // namespace quil
