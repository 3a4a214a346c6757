#include "engine/core/TempFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "engine/core/Messages.h"
#include "engine/core/Names.h"

namespace quil {

namespace {
constexpr int kErrorOpeningFile = 25235;
}

std::string TempFolder() {
  const char* env = ::getenv("TMPDIR");
  std::string folder = env && *env ? env : "/tmp";
  while (folder.size() > 1 && folder.back() == PathDelim) folder.pop_back();
  return folder;
}

std::string MakeTempFileName(const std::string& prefix, const std::string& folder) {
  std::string stem = prefix.empty() ? "riz" : prefix;
  std::replace(stem.begin(), stem.end(), PathDelim, '_');
  std::string path = AppendPathDelim(folder.empty() ? TempFolder() : folder) + stem + "XXXXXX";
  std::vector<char> tmpl(path.begin(), path.end());
  tmpl.push_back('\0');
  int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) throw E_RAISE(kErrorOpeningFile);
  ::close(fd);
  return std::string(tmpl.data());
}

TTempFileStream::TTempFileStream(const std::string& prefix, const std::string& folder)
    : FFileName(MakeTempFileName(prefix, folder)) {
  if (!FFile.Open(FFileName, TArcFile::ReadWrite)) {
    ::unlink(FFileName.c_str());
    throw E_RAISE(kErrorOpeningFile);
  }
}

TTempFileStream::~TTempFileStream() {
  FFile.Close();
  ::unlink(FFileName.c_str());
}

}  // namespace quil
