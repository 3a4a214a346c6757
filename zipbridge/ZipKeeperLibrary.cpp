// TZipKeeper: loading libqzip.so, the add and delete commands, the library callback and the
// password questions.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <cstring>

#include "libs/common/ZipDllApi.h"
#include "zipbridge/UnzipCommandRecord.h"
#include "zipbridge/ZipCommandRecord.h"
#include "zipbridge/ZipKeeper.h"

namespace quil {

namespace {

// One library handle for the whole program, shared by every TZipKeeper.
struct LibraryState {
  void* Handle = nullptr;
  QZipExecFn Exec = nullptr;
  QZipVersionFn Version = nullptr;
};
LibraryState gZipLib;

TPasswordDialog& PasswordDialog() {
  static TPasswordDialog dialog;
  return dialog;
}

bool IsFile(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ProgramFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string p(buf, size_t(n));
  return p.substr(0, p.find_last_of('/'));
}

int32_t CallbackTrampoline(QZipCallbackRec* rec) {
  if (!rec || !rec->Caller) return 0;
  return static_cast<TZipKeeper*>(rec->Caller)->LibraryCallback(*rec);
}

std::string CallbackText(const QZipCallbackRec& rec) {
  std::string t(rec.Text, strnlen(rec.Text, QZIP_CALLBACK_TEXT));
  while (!t.empty() && t.back() == ' ') t.pop_back();
  std::replace(t.begin(), t.end(), '\\', '/');
  return t;
}

}  // namespace

void SetZipPasswordDialog(TPasswordDialog dialog) { PasswordDialog() = std::move(dialog); }

std::string TZipKeeper::LibraryPath(const char* file) const {
  std::string name = std::string("/") + file;
  if (!FDLLDirectory.empty() && IsFile(FDLLDirectory + name)) return FDLLDirectory + name;
  // The program's folder, then the library folder beside it (bin/ and lib/).
  for (const char* sub : {"", "/../lib"}) {
    std::string own = ProgramFolder() + sub + name;
    if (IsFile(own)) return own;
  }
  return file;  // the system's library search
}

namespace {
struct LibraryNames {
  const char* File;
  const char* Exec;
  const char* Version;
  int Loaded, NoExec, NoVersion, Missing;  // message ids
};
const LibraryNames kZipNames = {
    QZIP_LIBRARY_NAME, "QZipExec", "GetQZipVersion", 10601, 10602, 10603, 10604};
const LibraryNames kUnzipNames = {
    QUNZIP_LIBRARY_NAME, "QUnzipExec", "GetQUnzipVersion", 10701, 10702, 10703, 10704};
LibraryState gUnzipLib;
}  // namespace

void TZipKeeper::LoadLibrary(bool unzip) {
  const LibraryNames& n = unzip ? kUnzipNames : kZipNames;
  LibraryState& lib = unzip ? gUnzipLib : gZipLib;
  try {
    if (lib.Handle) return;
    lib.Handle = ::dlopen(LibraryPath(n.File).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib.Handle) {
      RecordError(n.Missing);
      return;
    }
    if (Trace) RecordError(n.Loaded);
    lib.Exec = reinterpret_cast<QZipExecFn>(::dlsym(lib.Handle, n.Exec));
    if (!lib.Exec) RecordError(n.NoExec);
    lib.Version = reinterpret_cast<QZipVersionFn>(::dlsym(lib.Handle, n.Version));
    if (!lib.Version) RecordError(n.NoVersion);
  } catch (...) {
  }
}

void TZipKeeper::UnloadLibrary(bool unzip) {
  LibraryState& lib = unzip ? gUnzipLib : gZipLib;
  if (lib.Handle) ::dlclose(lib.Handle);
  lib = LibraryState{};
}

int32_t TZipKeeper::LibraryVersion(bool unzip) {
  LibraryState& lib = unzip ? gUnzipLib : gZipLib;
  bool loadedHere = !lib.Handle;
  if (loadedHere) LoadLibrary(unzip);
  int32_t v = lib.Version ? lib.Version() : 0;
  if (loadedHere) UnloadLibrary(unzip);
  return v;
}

void TZipKeeper::LoadZipLibrary() { LoadLibrary(false); }
void TZipKeeper::UnloadZipLibrary() { UnloadLibrary(false); }
int32_t TZipKeeper::ZipLibraryVersion() { return LibraryVersion(false); }
void TZipKeeper::LoadUnzipLibrary() { LoadLibrary(true); }
void TZipKeeper::UnloadUnzipLibrary() { UnloadLibrary(true); }
int32_t TZipKeeper::UnzipLibraryVersion() { return LibraryVersion(true); }

int32_t TZipKeeper::ReadSpan(const std::string&, const std::string&) {
  // Joining split sets belongs to the disk-spanning work; until then a split set is not
  // extracted through this object, and the caller is told so.
  RecordError(11024);
  return -1;
}

void TZipKeeper::Extract() {
  FDoneCount = 0;
  uint32_t savedReqCount = FPasswordReqCount;
  if (!IsFile(FZipFileName)) return RecordError(10102);
  if (FExtractBusy) return;
  bool noPasswordRun = Unattended && Password.empty() && !OnPasswordError;
  if (noPasswordRun) {
    FPasswordReqCount = 0;
    RecordError(10502);
  }
  FExtractBusy = true;
  FCancelRequest = false;
  bool loadedHere = !gUnzipLib.Handle;
  if (loadedHere) LoadUnzipLibrary();
  if (!gUnzipLib.Handle || !gUnzipLib.Exec) {
    if (loadedHere) UnloadUnzipLibrary();
    FPasswordReqCount = savedReqCount;
    FExtractBusy = false;
    return;
  }
  std::string source = FZipFileName;
  if (FLastDisk > 0) {
    std::string dir = TempDir.empty() ? (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") : TempDir;
    if (dir.back() != '/') dir += '/';
    source = dir + "quilspanXXXXXX";
    int fd = ::mkstemp(source.data());
    if (fd >= 0) ::close(fd);
    if (fd < 0) RecordError(11027);
    if (fd < 0 || ReadSpan(FZipFileName, source) != 0) {
      if (fd >= 0) ::unlink(source.c_str());
      FPasswordReqCount = savedReqCount;
      FExtractBusy = false;
      if (loadedHere) UnloadUnzipLibrary();
      return;
    }
  }
  if (!ExtrBaseDir.empty()) {
    // The library extracts relative to the current folder: a missing extraction folder is made
    // first, and one that cannot be entered ends the run before anything is written elsewhere.
    std::error_code ec;
    std::filesystem::create_directories(ExtrBaseDir, ec);
    if (::chdir(ExtrBaseDir.c_str()) != 0) {
      RecordError(10501, ": " + ExtrBaseDir);
      if (source != FZipFileName) ::unlink(source.c_str());
      FSpecArgs.clear();
      FPasswordReqCount = savedReqCount;
      if (loadedHere) UnloadUnzipLibrary();
      FExtractBusy = false;
      return;
    }
  }
  int32_t v = gUnzipLib.Version ? gUnzipLib.Version() : 0;
  try {
    UnzipCommandRecord rec(*this, v, source, &CallbackTrampoline);
    FDoneCount = gUnzipLib.Exec(rec.Record());
  } catch (...) {
    RecordError(10501);
  }
  if (source != FZipFileName) ::unlink(source.c_str());
  FSpecArgs.clear();
  if (noPasswordRun) FPasswordReqCount = savedReqCount;
  if (loadedHere) UnloadUnzipLibrary();
  FCancelRequest = false;
  FExtractBusy = false;
}

int32_t TZipKeeper::WriteSpan(const std::string&, const std::string&) {
  // Writing split sets belongs to the disk-spanning work; until then a spanning add fails with a
  // message and leaves the archive as it was.
  RecordError(11024);
  return -1;
}

int32_t TZipKeeper::RunZipCommand(bool deleteCommand, const std::string& target) {
  bool loadedHere = !gZipLib.Handle;
  if (loadedHere) LoadZipLibrary();
  if (!gZipLib.Handle || !gZipLib.Exec) {
    if (loadedHere) UnloadZipLibrary();
    return -1;  // not loaded: nothing happened
  }
  FWriteBusy = true;
  FCancelRequest = false;
  int32_t v = gZipLib.Version ? gZipLib.Version() : 0;
  try {
    ZipCommandRecord rec(*this, v, target, &CallbackTrampoline);
    if (deleteCommand) rec.MakeDelete();
    FDoneCount = gZipLib.Exec(rec.Record());
  } catch (...) {
    RecordError(10101);
  }
  if (loadedHere) UnloadZipLibrary();
  return 0;
}

void TZipKeeper::FinishWriteCommand() {
  FSpecArgs.clear();
  FSpecArgsExcl.clear();
  FCancelRequest = false;
  FWriteBusy = false;
  if (FDoneCount > 0) List();
}

void TZipKeeper::Add() {
  FDoneCount = 0;
  if (FSpecArgs.empty()) return RecordError(10301);
  if (FZipFileName.empty()) return RecordError(10102);
  if (Unattended && AddOptions.Has(AddEncrypt) && Password.empty()) return RecordError(10302);
  bool spanning = AddOptions.Has(AddDiskSpan) || AddOptions.Has(AddDiskSpanErase);
  std::string target = FZipFileName;
  if (spanning) {
    if (AddOptions.Has(AddFreshen) || AddOptions.Has(AddUpdate)) return RecordError(10303);
    std::string ext =
        FZipFileName.substr(std::min(FZipFileName.size(), FZipFileName.find_last_of('.')));
    std::transform(ext.begin(), ext.end(), ext.begin(), ::toupper);
    if (ext == ".EXE") return RecordError(11041);
    std::string dir = TempDir.empty() ? (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") : TempDir;
    if (dir.back() != '/') dir += '/';
    std::string tmpl = dir + "zipXXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd >= 0) {
      ::close(fd);
      ::unlink(tmpl.c_str());
    }
    target = tmpl;
    if (Verbose && OnMessage) OnMessage(*this, 0, "Temporary zipfile: " + target);
  }
  if (FWriteBusy) return;
  if (RunZipCommand(false, target) != 0) return;  // library missing: FSpecArgs stay
  if (spanning) {
    if (FDoneCount > 0 && WriteSpan(target, FZipFileName) != 0) FDoneCount = 0;
    ::unlink(target.c_str());
  }
  FinishWriteCommand();
}

void TZipKeeper::Delete() {
  FDoneCount = 0;
  if (FSpecArgs.empty()) return RecordError(10401);
  if (!IsFile(FZipFileName)) return RecordError(10102);
  if (FWriteBusy) return;
  if (RunZipCommand(true, FZipFileName) != 0) return;
  FinishWriteCommand();
}

int32_t TZipKeeper::LibraryCallback(QZipCallbackRec& rec) {
  std::string text = CallbackText(rec);
  switch (rec.ActionCode) {
    case QZIP_ACTION_FILE_BEGINS:
      if (OnProgress) OnProgress(*this, NewFile, text, rec.Value2);
      break;
    case QZIP_ACTION_BYTES_DONE:
      if (OnProgress) OnProgress(*this, ProgressUpdate, "", rec.Value2);
      break;
    case QZIP_ACTION_BATCH_END:
      if (OnProgress) OnProgress(*this, EndOfBatch, "", 0);
      break;
    case QZIP_ACTION_MESSAGE:
      FErrorMessage = text;
      if (rec.Value1 != 0) {
        FErrorCode = rec.Value1 & 0xFF;
        FErrorDetail = rec.Value1;
      }
      if (OnMessage) OnMessage(*this, rec.Value1, text);
      break;
    case QZIP_ACTION_TOTAL_FILES:
      if (OnProgress) OnProgress(*this, TotalFiles2Process, "", rec.Value2);
      break;
    case QZIP_ACTION_TOTAL_BYTES:
      if (OnProgress) OnProgress(*this, TotalSize2Process, "", rec.Value2);
      break;
    case QZIP_ACTION_NEW_NAME:
      if (OnSetNewName) {
        std::string name(rec.Text, strnlen(rec.Text, QZIP_CALLBACK_TEXT));
        bool changed = false;
        OnSetNewName(*this, name, changed);
        if (changed) {
          std::memset(rec.Text, 0, QZIP_CALLBACK_TEXT);
          std::memcpy(rec.Text, name.data(), std::min<size_t>(name.size(), QZIP_CALLBACK_TEXT - 1));
          rec.ActionCode = QZIP_ACTION_PASSWORD;
        }
      }
      break;
    case QZIP_ACTION_PASSWORD: {
      FPasswordStore = false;
      uint32_t repeat = uint32_t(std::max<int64_t>(rec.Value2, 0));
      std::string pw;
      if (OnPasswordError) {
        OnPasswordError(*this, pw, text, repeat);
      } else if (rec.Value1 & 1) {
        pw = AskAddPassword();
      } else {
        PasswordPromptFile = text;
        PasswordPromptCount = int32_t(repeat);
        pw = AskExtractPassword();
      }
      if (!pw.empty()) {
        std::memset(rec.Text, 0, QZIP_CALLBACK_TEXT);
        std::memcpy(rec.Text, pw.data(), std::min<size_t>(pw.size(), 80));
        rec.Value1 = 1;
      } else {
        repeat = 0;
        rec.Value1 = 0;
      }
      rec.Value2 = std::min<uint32_t>(repeat, 15);
      FPasswordStore = true;
      break;
    }
    case QZIP_ACTION_CRC_ERROR:
      if (OnCRC32Error) {
        bool doExtract = true;
        OnCRC32Error(*this, text, uint32_t(rec.Value1), uint32_t(rec.Value2), doExtract);
        rec.Value1 = doExtract ? 1 : 0;
      } else {
        rec.Value1 = 2;
      }
      break;
    case QZIP_ACTION_FILE_EXISTS:
      if (OnExtractOverwrite) {
        bool doOverwrite = (rec.Value2 & 0xFF) != 0;
        OnExtractOverwrite(*this, text, (rec.Value1 & 1) != 0, doOverwrite);
        rec.Value2 = doOverwrite ? 1 : 0;
      }
      break;
    case QZIP_ACTION_FILE_SKIPPED:
      if (OnExtractSkipped) OnExtractSkipped(*this, text, uint8_t(rec.Value2 & 0xFF), rec.Value1);
      break;
    default:
      break;
  }
  return FCancelRequest ? -1 : 0;
}

std::string TZipKeeper::AskAddPassword() {
  if (Unattended) {
    RecordError(10150);
    return {};
  }
  auto& dialog = PasswordDialog();
  std::string first, second;
  if (!dialog || !dialog(ZipText(10154), ZipTextOrEmpty(10155), first) || first.empty()) return {};
  if (!dialog(ZipText(10154), ZipTextOrEmpty(10156), second) || second.empty()) return {};
  if (first != second) {
    RecordError(10104);
    return {};
  }
  if (FPasswordStore) Password = first;
  return first;
}

std::string TZipKeeper::AskExtractPassword() {
  std::string name = PasswordPromptFile.substr(PasswordPromptFile.find_last_of('/') + 1);
  std::string prompt = PasswordPromptCount == 2
                           ? "Enter password for " + name + ":"
                           : "Wrong password, please re-enter for " + name + ": ";
  if (Unattended) {
    RecordError(10151);
    return {};
  }
  auto& dialog = PasswordDialog();
  std::string pw;
  if (!dialog || !dialog(ZipText(10154), prompt, pw)) return {};
  if (!pw.empty() && FPasswordStore) Password = pw;
  return pw;
}

}  // namespace quil
