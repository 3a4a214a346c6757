// Builds small stored ZIP archives in memory for tests that need a header the fixtures lack
// (long names, name encodings, lying fields).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quil::test {

struct TZipEntrySpec {
  TZipEntrySpec(std::string name, std::string data, uint16_t flags = 0)
      : Name(std::move(name)), Data(std::move(data)), Flags(flags) {}
  std::string Name;      // raw name bytes
  std::string Data;
  uint16_t Flags = 0;    // general-purpose flags (0x0800: UTF-8 name)
  uint32_t ExternalAttr = 0x20;
  std::string Comment;
  std::string Extra;
};

inline void PutLe(std::string& s, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// CRC-32 (reflected 0xEDB88320), independent of the engine's.
inline uint32_t TestCrc32(const std::string& d) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : d) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

// A stored ZIP with a central directory and an end record, behind `prefix` (offsets count it).
// DOS date 2021-03-04 05:06:08.
inline std::string BuildZip(const std::vector<TZipEntrySpec>& entries,
                            const std::string& prefix = "") {
  const uint32_t dos = (41u << 25) | (3u << 21) | (4u << 16) | (5u << 11) | (6u << 5) | 4u;
  std::string out = prefix, central;
  for (const auto& e : entries) {
    uint32_t crc = TestCrc32(e.Data);
    uint32_t offset = static_cast<uint32_t>(out.size());
    PutLe(out, 0x04034B50, 4);
    PutLe(out, 10, 2);
    PutLe(out, e.Flags, 2);
    PutLe(out, 0, 2);
    PutLe(out, dos, 4);
    PutLe(out, crc, 4);
    PutLe(out, e.Data.size(), 4);
    PutLe(out, e.Data.size(), 4);
    PutLe(out, e.Name.size(), 2);
    PutLe(out, e.Extra.size(), 2);
    out += e.Name + e.Extra + e.Data;
    PutLe(central, 0x02014B50, 4);
    PutLe(central, 20, 2);
    PutLe(central, 10, 2);
    PutLe(central, e.Flags, 2);
    PutLe(central, 0, 2);
    PutLe(central, dos, 4);
    PutLe(central, crc, 4);
    PutLe(central, e.Data.size(), 4);
    PutLe(central, e.Data.size(), 4);
    PutLe(central, e.Name.size(), 2);
    PutLe(central, e.Extra.size(), 2);
    PutLe(central, e.Comment.size(), 2);
    PutLe(central, 0, 2);
    PutLe(central, 0, 2);
    PutLe(central, e.ExternalAttr, 4);
    PutLe(central, offset, 4);
    central += e.Name + e.Extra + e.Comment;
  }
  uint32_t cdOffset = static_cast<uint32_t>(out.size());
  out += central;
  PutLe(out, 0x06054B50, 4);
  PutLe(out, 0, 2);
  PutLe(out, 0, 2);
  PutLe(out, entries.size(), 2);
  PutLe(out, entries.size(), 2);
  PutLe(out, central.size(), 4);
  PutLe(out, cdOffset, 4);
  PutLe(out, 0, 2);
  return out;
}

}  // namespace quil::test
