#include "TestFiles.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quil::test {

Bytes ReadFixture(const std::string& rel) {
  std::ifstream in(std::string(QUIL_FIXTURES) + "/" + rel, std::ios::binary);
  if (!in) throw std::runtime_error("missing fixture " + rel);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Zeros(size_t n) { return Bytes(n, 0); }

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(Bytes& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

ScratchDir::ScratchDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quil-detect-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  FPath = tmpl;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

std::string ScratchDir::Write(const std::string& name, const Bytes& data) const {
  std::string path = FPath + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return path;
}

Bytes PeWithStrings(const std::vector<std::pair<int, std::string>>& strings, size_t size) {
  // String block: 16 counted UTF-16 strings.
  Bytes block;
  for (int id = 0; id < 16; ++id) {
    std::string s;
    for (auto& [k, v] : strings)
      if (k == id) s = v;
    block.push_back(static_cast<uint8_t>(s.size()));
    block.push_back(0);
    for (char c : s) {
      block.push_back(static_cast<uint8_t>(c));
      block.push_back(0);
    }
  }
  // Resource tree: type 6 -> name 1 -> language 0x409 -> data entry -> block.
  Bytes rsrc = Zeros(0x58);
  Put16(rsrc, 14, 1), Put32(rsrc, 16, 6), Put32(rsrc, 20, 0x80000018);
  Put16(rsrc, 0x18 + 14, 1), Put32(rsrc, 0x28, 1), Put32(rsrc, 0x2C, 0x80000030);
  Put16(rsrc, 0x30 + 14, 1), Put32(rsrc, 0x40, 0x409), Put32(rsrc, 0x44, 0x48);
  Put32(rsrc, 0x48, 0x1000 + 0x58), Put32(rsrc, 0x4C, static_cast<uint32_t>(block.size()));
  rsrc.insert(rsrc.end(), block.begin(), block.end());

  Bytes pe = Zeros(0x200);
  pe[0] = 'M', pe[1] = 'Z';
  Put32(pe, 0x3C, 0x40);  // no DOS image size: only the resources tell
  pe[0x40] = 'P', pe[0x41] = 'E';
  Put16(pe, 0x44, 0x14C), Put16(pe, 0x46, 1), Put16(pe, 0x54, 0xE0), Put16(pe, 0x56, 0x102);
  const size_t opt = 0x58;
  Put16(pe, opt, 0x10B), Put32(pe, opt + 92, 16);
  Put32(pe, opt + 96 + 16, 0x1000), Put32(pe, opt + 96 + 20, static_cast<uint32_t>(rsrc.size()));
  const size_t sec = opt + 0xE0;
  for (int i = 0; i < 5; ++i) pe[sec + i] = static_cast<uint8_t>(".rsrc"[i]);
  Put32(pe, sec + 8, static_cast<uint32_t>(rsrc.size())), Put32(pe, sec + 12, 0x1000);
  Put32(pe, sec + 16, static_cast<uint32_t>(rsrc.size())), Put32(pe, sec + 20, 0x200);
  pe.insert(pe.end(), rsrc.begin(), rsrc.end());
  if (pe.size() < size) pe.resize(size, 0);
  return pe;
}

Bytes DosStub(uint16_t lastPageBytes, uint16_t pages, size_t size) {
  Bytes b = Zeros(size);
  b[0] = 'M', b[1] = 'Z';
  Put16(b, 2, lastPageBytes);
  Put16(b, 4, pages);
  return b;
}

}  // namespace quil::test
