// Runs the lister over a file and records what it reported.
#pragma once

#include <string>
#include <vector>

#include "engine/list/ZuvOD.h"

namespace quil::test {

struct TListed {
  std::string Name;
  int64_t Size = 0, Packed = 0, Offset = 0;
  uint32_t Crc = 0;
  uint16_t Method = 0;
  int32_t Filenum = 0;
  std::string Comment;
};

struct TListRun {
  bool Ok = false;
  std::vector<TListed> Entries;
  std::vector<int32_t> Errors;
  std::vector<std::string> NamesRead;  // OnReadFile
  int32_t Totals = -1;                 // OnTotals, -1 when it did not fire
  bool Deactivated = false;
};

// Lists `path` with FileSpec `specs` (default "*"); `setup` may adjust the lister first.
template <class F>
TListRun ListArchive(const std::string& path, F setup, std::vector<std::string> specs = {"*"}) {
  TListRun r;
  TZuvOD z;
  z.SetArchiveFile(path);
  z.SetFileSpec(specs);
  z.OnRead = [&](TArcMain*, int64_t off, int32_t num) {
    const TEntryInfo& e = z.Entry();
    r.Entries.push_back({e.FileName, e.UnpackedSize, e.PackedSize, off, e.CRC, e.Method, num,
                         e.FileComment.value_or("")});
  };
  z.OnError = [&](TArcMain*, const std::string&, const std::string&, const std::string&,
                  int32_t code) { r.Errors.push_back(code); };
  z.OnReadFile = [&](TArcMain*, const std::string& n) { r.NamesRead.push_back(n); };
  z.OnTotals = [&](TArcMain*, int32_t n) { r.Totals = n; };
  z.OnDeactivate = [&](TArcMain*) { r.Deactivated = true; };
  setup(z);
  r.Ok = z.Activate();
  return r;
}

inline TListRun ListArchive(const std::string& path) {
  return ListArchive(path, [](TZuvOD& z) { z.SetShowBlankDirs(true); });
}

}  // namespace quil::test
