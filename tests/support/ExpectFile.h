// Reader of the fixtures' expect files (X.expect.tsv): one line per entry with name, size, CRC,
// method and sha256 from an independent tool; lines starting with '#' are notes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quil::test {

struct TExpectEntry {
  std::string Name;     // as the other tool printed it ('/' between folders, or as stored)
  uint64_t Size = 0;
  uint32_t Crc = 0;
  std::string Method;   // the format's method code as text ("0", "8", "-lh5-", ...)
  std::string Sha256;   // empty for folders
  bool IsDir() const { return !Name.empty() && Name.back() == '/'; }
};

// Reads `path`; an unreadable file gives no entries and sets `ok` to false when passed.
inline std::vector<TExpectEntry> ReadExpectFile(const std::string& path, bool* ok = nullptr) {
  std::vector<TExpectEntry> out;
  std::ifstream in(path);
  if (ok) *ok = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) f.push_back(cell);
    if (f.size() < 4) continue;
    TExpectEntry e;
    e.Name = f[0];
    e.Size = std::strtoull(f[1].c_str(), nullptr, 10);
    e.Crc = static_cast<uint32_t>(std::strtoul(f[2].c_str(), nullptr, 16));
    e.Method = f[3];
    if (f.size() > 4) e.Sha256 = f[4];
    out.push_back(std::move(e));
  }
  return out;
}

}  // namespace quil::test
