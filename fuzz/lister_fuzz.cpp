// Lists arbitrary bytes: once as the type detection finds, once forced through the directory
// reader that the first byte selects (so every reader sees every kind of damage).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/list/ZuvOD.h"

namespace {

const quil::TArcType kForced[] = {quil::atACE, quil::atArc, quil::atPak, quil::atArj,
                                  quil::atBh,  quil::atCab, quil::atGZip, quil::atHa,
                                  quil::atLha, quil::atMsGZ, quil::atRar, quil::atTar,
                                  quil::atUue, quil::atZoo};

const std::string& ScratchFile() {
  static const std::string path = [] {
    char name[] = "/tmp/quil-lister-fuzz-XXXXXX";
    int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return std::string(name);
  }();
  return path;
}

void ListOnce(const std::string& path, int forced) {
  quil::TZuvOD z;
  z.SetArchiveFile(path);
  z.SetFileSpec({"*"});
  z.SetShowBlankDirs(forced & 1);
  if (forced >= 0) z.SetDetectedType(kForced[forced % (sizeof kForced / sizeof kForced[0])]);
  volatile uint64_t sink = 0;
  z.OnRead = [&](quil::TArcMain*, int64_t off, int32_t num) {
    sink = sink + static_cast<uint64_t>(off) + static_cast<uint64_t>(num) +
           z.Entry().FileName.size();
  };
  z.OnError = [](quil::TArcMain*, const std::string&, const std::string&, const std::string&,
                 int32_t) {};
  z.Activate();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string& path = ScratchFile();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);
  ListOnce(path, -1);
  ListOnce(path, data[0]);
  return 0;
}
