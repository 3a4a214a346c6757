// The reading library's extract command over arbitrary archive bytes: once testing and once
// extracting into a scratch folder, with a password so encrypted entries are decoded too. Nothing
// may crash, hang, or appear outside the scratch folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "libs/qunzip/UnzipCommand.h"

namespace {
std::string gRoot;
void RemoveRoot() {
  std::error_code ec;
  std::filesystem::remove_all(gRoot, ec);
}

int32_t Answer(QZipCallbackRec* rec) {
  if (rec->ActionCode == QZIP_ACTION_PASSWORD) {
    std::snprintf(rec->Text, sizeof rec->Text, "pw");
    rec->Value1 = 1;
  } else if (rec->ActionCode == QZIP_ACTION_FILE_EXISTS) {
    rec->Value2 = 1;
  }
  return 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = [] {
    std::string t = (std::filesystem::temp_directory_path() / "qunzipfuzzXXXXXX").string();
    gRoot = ::mkdtemp(t.data()) ? t : std::string();
    std::atexit(&RemoveRoot);
    return gRoot;
  }();
  if (root.empty()) return 0;
  const std::string zip = root + "/in.zip", out = root + "/out";
  if (FILE* f = std::fopen(zip.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  quil::qzip::Reporter rep(&Answer, nullptr, nullptr);
  quil::qunzip::UnzipOptions o;
  o.ZipFileName = zip;
  o.Password = "secret";
  o.PasswordRequests = 2;
  o.Test = true;
  quil::qunzip::RunUnzipCommand(o, rep);
  std::filesystem::create_directories(out);
  // The library extracts into the current folder; the fuzzer's own folder is given back after.
  const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (here >= 0 && ::chdir(out.c_str()) == 0) {
    o.Test = false;
    o.FolderNames = true;
    quil::qunzip::RunUnzipCommand(o, rep);
    [[maybe_unused]] int rc = ::fchdir(here);
  }
  if (here >= 0) ::close(here);
  std::error_code ec;
  std::filesystem::remove_all(out, ec);
  return 0;
}
