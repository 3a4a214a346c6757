// Shared helpers of the ZIP writing tests: scratch folders, files with chosen times and modes,
// running oracle tools, and calling libqzip.so through its command record.
#pragma once

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "libs/common/ZipDllApi.h"

namespace ziptest {

namespace fs = std::filesystem;

struct ScratchDir {
  fs::path Path;
  ScratchDir() {
    char tmpl[] = "/tmp/qziptest-XXXXXX";
    Path = ::mkdtemp(tmpl);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(Path, ec);
  }
  std::string operator/(const std::string& rel) const { return (Path / rel).string(); }
};

inline void PutFile(const std::string& path, const std::string& data, time_t mtime = 1700000000,
                    mode_t mode = 0644) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
  ::chmod(path.c_str(), mode);
  struct timeval tv[2] = {{mtime, 0}, {mtime, 0}};
  ::utimes(path.c_str(), tv);
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a shell command; returns its exit status and puts its output (stdout+stderr) in `out`.
inline int Shell(const std::string& cmd, std::string* out = nullptr) {
  FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  int st = ::pclose(p);
  if (out) *out = text;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Listing by an independent reader (Python's zipfile) of one or more archives: for each a line
// "archive=<path>", its comment line, then one line per entry:
// name \t method \t size \t crc \t flag \t external-attributes \t date-time
inline std::string PyList(const std::vector<std::string>& zips) {
  std::string out, args;
  for (const auto& z : zips) args += " " + Quote(z);
  Shell(
      "python3 -I -S -c " +
          Quote("import sys,zipfile\n"
                "for a in sys.argv[1:]:\n"
                " z=zipfile.ZipFile(a)\n"
                " print('archive=%s'%a)\n"
                " print('comment=%s'%z.comment.decode('latin-1'))\n"
                " for i in z.infolist(): print('%s\\t%d\\t%d\\t%08x\\t%d\\t%08x\\t%s'%(i.filename,"
                "i.compress_type,i.file_size,i.CRC,i.flag_bits,i.external_attr,"
                "'%04d%02d%02d%02d%02d%02d'%i.date_time))\n") +
          args,
      &out);
  return out;
}
inline std::string PyList(const std::string& zip) { return PyList(std::vector<std::string>{zip}); }

// Every file below `dir` (relative path, content, mode, mtime) for comparing trees.
inline std::string TreeDigest(const std::string& dir) {
  std::vector<std::string> lines;
  for (auto& e : fs::recursive_directory_iterator(dir)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    std::string rel = fs::relative(e.path(), dir).string();
    std::string line = rel + " mode=" + std::to_string(st.st_mode & 07777);
    if (S_ISREG(st.st_mode)) {
      line += " mtime=" + std::to_string(st.st_mtime) +
              " data=" + std::to_string(std::hash<std::string>{}(Slurp(e.path())));
    } else {
      line += " dir";
    }
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  std::string all;
  for (auto& l : lines) all += l + "\n";
  return all;
}

// The library and one command.
class QZip {
 public:
  QZip() {
    FLib = ::dlopen(QUIL_BINARY_DIR "/lib/" QZIP_LIBRARY_NAME, RTLD_NOW);
    if (FLib) FExec = reinterpret_cast<QZipExecFn>(::dlsym(FLib, "QZipExec"));
  }
  ~QZip() {
    if (FLib) ::dlclose(FLib);
  }
  bool Loaded() const { return FExec != nullptr; }

  // Options of the next command.
  std::vector<std::string> Specs, Exclusions;
  std::string Zip, Password, Comment, Suffixes;
  int Level = 6;
  bool Encrypt = false, Hidden = false, FolderEntries = false, FolderNames = true, Recurse = false,
       Move = false, Update = false, Freshen = false, Delete = false, LatestTime = false;
  // Called for each callback; returning -1 stops.
  std::function<int32_t(QZipCallbackRec&)> OnCallback;
  // What the callbacks reported.
  std::vector<std::pair<int, std::string>> Messages;  // (code, text)
  std::vector<int> Actions;

  int Run() {
    QZipCmdRec r;
    std::memset(&r, 0, sizeof r);
    r.Caller = this;
    r.WriterVersion = QZIP_RECORD_WRITER_VERSION;
    r.Callback = &QZip::Callback;
    char pw[QZIP_PASSWORD_BUFFER] = {};
    std::strncpy(pw, Password.c_str(), QZIP_PASSWORD_BUFFER - 1);
    r.Password = pw;
    r.StoreSuffixes = Suffixes.empty() ? nullptr : Suffixes.c_str();
    r.Encrypt = Encrypt ? -1 : 0;
    r.HiddenFiles = Hidden ? -1 : 0;
    r.NoFolderEntries = FolderEntries ? 0 : -1;
    r.Quiet = -1;
    r.Level = Level;
    r.JunkFolderNames = FolderNames ? 0 : -1;
    r.Recurse = Recurse ? -1 : 0;
    r.Grow = -1;
    r.Move = Move ? -1 : 0;
    r.DeleteEntries = Delete ? -1 : 0;
    r.Update = Update ? -1 : 0;
    r.Freshen = Freshen ? -1 : 0;
    r.LatestTime = LatestTime ? -1 : 0;
    r.SpecCount = int32_t(Specs.size());
    r.ZipFileName = Zip.c_str();
    r.Comment = Comment.empty() ? nullptr : Comment.c_str();
    std::vector<QZipFileSpec> specs(Specs.size());
    std::memset(specs.data(), 0, specs.size() * sizeof(QZipFileSpec));
    for (size_t i = 0; i < Specs.size(); ++i) specs[i].Spec = Specs[i].c_str();
    r.Specs = specs.data();
    std::vector<const char*> excl;
    for (auto& e : Exclusions) excl.push_back(e.c_str());
    r.ExclusionCount = int32_t(excl.size());
    r.Exclusions = excl.empty() ? nullptr : excl.data();
    r.CheckValue = QZIP_CHECK_VALUE;
    Messages.clear();
    Actions.clear();
    return FExec(&r);
  }

 private:
  static int32_t Callback(QZipCallbackRec* rec) {
    auto* self = static_cast<QZip*>(rec->Caller);
    self->Actions.push_back(rec->ActionCode);
    if (rec->ActionCode == QZIP_ACTION_MESSAGE) self->Messages.emplace_back(rec->Value1, rec->Text);
    return self->OnCallback ? self->OnCallback(*rec) : 0;
  }
  void* FLib = nullptr;
  QZipExecFn FExec = nullptr;
};

}  // namespace ziptest
