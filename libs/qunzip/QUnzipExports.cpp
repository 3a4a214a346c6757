// Entry points of libqunzip.so: the extract/test command and the library version.
#include <cstring>
#include <string>

#include "libs/common/ZipDllApi.h"
#include "libs/qunzip/UnzipCommand.h"
#include "libs/qunzip/UnzipOptions.h"
#include "libs/qzip/Reporter.h"

namespace {

constexpr int32_t kLibraryVersion = 160;

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }

quil::qunzip::UnzipOptions OptionsOf(const QUnzipCmdRec& r) {
  quil::qunzip::UnzipOptions o;
  o.ZipFileName = Text(r.ZipFileName);
  for (int32_t i = 0; i < r.SpecCount && r.Specs; ++i) {
    if (r.Specs[i].Spec && *r.Specs[i].Spec) o.Specs.push_back(r.Specs[i].Spec);
  }
  if (r.Password) o.Password = std::string(r.Password, strnlen(r.Password, QZIP_PASSWORD_BUFFER - 1));
  o.Test = r.TestOnly != 0;
  o.Update = r.Update != 0;
  o.Freshen = r.Freshen != 0 && !o.Update;
  o.FolderNames = r.FolderNames != 0;
  o.Overwrite = r.Overwrite != 0;
  o.PasswordRequests = r.PasswordRequestCount < 0 ? 0 : r.PasswordRequestCount;
  return o;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t GetQUnzipVersion(void) {
  return kLibraryVersion;
}

extern "C" __attribute__((visibility("default"))) int32_t QUnzipExec(void* record) {
  if (!record) return 0;
  const auto& r = *static_cast<const QUnzipCmdRec*>(record);
  quil::qzip::Reporter rep(r.Callback, r.WindowHandle, r.Caller);
  if (r.CheckValue != QZIP_CHECK_VALUE || !r.ZipFileName || !*r.ZipFileName || r.SpecCount < 0) {
    rep.Message(QZIP_MSG_BAD_PARAMETER, "Invalid command record");
    return 0;
  }
  try {
    return quil::qunzip::RunUnzipCommand(OptionsOf(r), rep);
  } catch (...) {
    rep.Message(QZIP_MSG_NO_MEMORY, "Out of memory");
    return 0;
  }
}
