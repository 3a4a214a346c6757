// Helpers for detection tests: a scratch folder, byte strings, fixture access, a fake volume
// source (support/FakeVolume.h) and a small PE program builder with a string table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/FakeVolume.h"

namespace quil::test {

using Bytes = std::vector<uint8_t>;

Bytes ReadFixture(const std::string& rel);
Bytes Text(const std::string& s);
Bytes Cat(std::initializer_list<Bytes> parts);
Bytes Zeros(size_t n);
void Put32(Bytes& b, size_t at, uint32_t v);
void Put16(Bytes& b, size_t at, uint16_t v);

// A folder under the system's temporary folder, removed with everything in it at destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& Path() const { return FPath; }
  // Writes `data` to `name` inside the folder and returns the full path.
  std::string Write(const std::string& name, const Bytes& data) const;

 private:
  std::string FPath;
};

// A PE program whose resources hold string-table block 1 (identifiers 0..15) with `strings`,
// padded with zeros to `size` bytes.
Bytes PeWithStrings(const std::vector<std::pair<int, std::string>>& strings, size_t size);
// Offset of the resource data entry inside PeWithStrings' output (to corrupt it).
inline constexpr size_t kPeDataEntry = 0x200 + 0x48;

// A DOS program header whose image ends at (pages - 1) * 512 + lastPageBytes.
Bytes DosStub(uint16_t lastPageBytes, uint16_t pages, size_t size);

}  // namespace quil::test
