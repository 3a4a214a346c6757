// Entry points of libqzip.so: the add/delete command and the library version.
#include <cstring>
#include <string>

#include "libs/common/ZipDllApi.h"
#include "libs/qzip/Reporter.h"
#include "libs/qzip/ZipCommand.h"
#include "libs/qzip/ZipOptions.h"

namespace {

constexpr int32_t kLibraryVersion = 160;

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }

std::vector<std::string> SplitSuffixes(const char* list) {
  std::vector<std::string> out;
  std::string s = Text(list), cur;
  for (char c : s) {
    if (c == ':') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

quil::qzip::ZipOptions OptionsOf(const QZipCmdRec& r) {
  quil::qzip::ZipOptions o;
  o.ZipFileName = Text(r.ZipFileName);
  for (int32_t i = 0; i < r.SpecCount && r.Specs; ++i) {
    if (r.Specs[i].Spec) o.Specs.push_back(r.Specs[i].Spec);
  }
  for (int32_t i = 0; i < r.ExclusionCount && r.Exclusions; ++i) {
    if (r.Exclusions[i]) o.Exclusions.push_back(r.Exclusions[i]);
  }
  o.StoreSuffixes = SplitSuffixes(r.StoreSuffixes);
  if (r.Password)
    o.Password = std::string(r.Password, strnlen(r.Password, QZIP_PASSWORD_BUFFER - 1));
  if (r.Comment && *r.Comment) {
    o.Comment = r.Comment;
    o.HasComment = true;
  }
  o.Level = r.Level;
  o.Delete = r.DeleteEntries != 0;
  o.Encrypt = r.Encrypt != 0;
  o.HiddenFiles = r.HiddenFiles != 0;
  o.FolderEntries = r.NoFolderEntries == 0;
  o.FolderNames = r.JunkFolderNames == 0;
  o.Recurse = r.Recurse != 0;
  o.ForceDos = r.ForceDos != 0;
  o.Move = r.Move != 0;
  o.Update = r.Update != 0;
  o.Freshen = r.Freshen != 0 && !o.Update;
  o.LatestTime = r.LatestTime != 0;
  o.Verbose = r.Verbose != 0;
  return o;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t GetQZipVersion(void) {
  return kLibraryVersion;
}

extern "C" __attribute__((visibility("default"))) int32_t QZipExec(void* record) {
  if (!record) return 0;
  const auto& r = *static_cast<const QZipCmdRec*>(record);
  quil::qzip::Reporter rep(r.Callback, r.WindowHandle, r.Caller);
  if (r.CheckValue != QZIP_CHECK_VALUE || !r.ZipFileName || !*r.ZipFileName || r.SpecCount < 0) {
    rep.Message(QZIP_MSG_BAD_PARAMETER, "Invalid command record");
    return 0;
  }
  try {
    return quil::qzip::RunZipCommand(OptionsOf(r), rep);
  } catch (...) {
    rep.Message(QZIP_MSG_NO_MEMORY, "Out of memory");
    return 0;
  }
}
