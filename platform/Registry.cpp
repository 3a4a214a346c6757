#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/XdgDirs.h"

namespace quil {
namespace {

std::string FolderOf(const std::string& path) {
  size_t p = path.rfind('/');
  if (p == std::string::npos) return ".";
  return p == 0 ? "/" : path.substr(0, p);
}

// An exclusive flock on the store's lock file, held for one write.
class TLockFile {
 public:
  explicit TLockFile(const std::string& path) {
    FFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FFd < 0) return;
    while (flock(FFd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(FFd);
        FFd = -1;
        return;
      }
    }
  }
  ~TLockFile() {
    if (FFd >= 0) close(FFd);  // closing releases the lock
  }
  bool Locked() const { return FFd >= 0; }

 private:
  int FFd = -1;
};

}  // namespace

std::string RegistryFilePath() { return QuilletConfigFolder() + "/registry.reg"; }

TRegistry::TRegistry(std::string fileName) : FFileName(std::move(fileName)) {}

TRegistry::~TRegistry() { Flush(); }

void TRegistry::SetRootKey(std::string root) {
  CloseKey();
  FRootKey = NormalizeKeyPath(root);
}

std::string TRegistry::CurrentFullPath() const {
  if (!FKeyOpen) return {};
  return FCurrentPath.empty() ? FRootKey : FRootKey + '\\' + FCurrentPath;
}

std::string TRegistry::FullPath(std::string_view key) const {
  bool absolute = !key.empty() && (key[0] == '\\' || key[0] == '/');
  std::string rel = NormalizeKeyPath(key);
  if (rel.empty() && !key.empty() && key.find_first_not_of("\\/") != std::string_view::npos) {
    return {};  // holds bytes a key name cannot carry
  }
  std::string base = (absolute || !FKeyOpen) ? FRootKey : CurrentFullPath();
  if (base.empty()) return {};
  return rel.empty() ? base : base + '\\' + rel;
}

TRegistry::TFileStamp TRegistry::StampOf(const std::string& path) const {
  TFileStamp s;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return s;
  s.Exists = true;
  s.Dev = st.st_dev;
  s.Ino = st.st_ino;
  s.Size = st.st_size;
  s.MTimeNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  s.CTimeNs = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

bool TRegistry::LoadFromDisk(TRegTree& tree, TFileStamp& stamp, size_t& skipped) const {
  // Stamp before reading: if the file is replaced in between, the next Sync reads it again.
  stamp = StampOf(FFileName);
  tree = TRegTree();
  skipped = 0;
  std::string text;
  if (!stamp.Exists) return true;
  if (!ReadWholeFile(FFileName, text)) return false;
  tree = ParseRegFile(text, &skipped);
  return true;
}

void TRegistry::Apply(TRegTree& tree, const TOp& op) const {
  switch (op.What) {
    case TOp::kCreateKey: tree.CreateKey(op.Key); break;
    case TOp::kDeleteKey: tree.DeleteKey(op.Key); break;
    case TOp::kSetValue: tree.SetValue(op.Key, op.Value); break;
    case TOp::kDeleteValue: tree.DeleteValue(op.Key, op.Value.Name); break;
  }
}

void TRegistry::Record(TOp op) {
  Apply(FTree, op);
  FOps.push_back(std::move(op));
}

void TRegistry::Sync() {
  if (FLoaded && StampOf(FFileName) == FStamp) return;
  LoadFromDisk(FTree, FStamp, FSkipped);
  for (const TOp& op : FOps) Apply(FTree, op);
  FLoaded = true;
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
  std::string full = FullPath(key);
  if (full.empty()) return false;
  Sync();
  if (!FTree.KeyExists(full)) {
    if (!canCreate) return false;
    Record({TOp::kCreateKey, full, {}});
  }
  FKeyOpen = true;
  const std::string& stored = FTree.FindKey(full)->Path;  // the spelling the store keeps
  FCurrentPath = stored.size() > FRootKey.size() ? stored.substr(FRootKey.size() + 1) : std::string();
  return true;
}

void TRegistry::CloseKey() {
  Flush();
  FKeyOpen = false;
  FCurrentPath.clear();
}

bool TRegistry::CreateKey(std::string_view key) {
  std::string full = FullPath(key);
  if (full.empty()) return false;
  Sync();
  if (!FTree.KeyExists(full)) Record({TOp::kCreateKey, full, {}});
  return true;
}

bool TRegistry::KeyExists(std::string_view key) {
  std::string full = FullPath(key);
  if (full.empty()) return false;
  Sync();
  return FTree.KeyExists(full);
}

bool TRegistry::DeleteKey(std::string_view key) {
  std::string full = FullPath(key);
  if (full.empty() || full == FRootKey) return false;
  Sync();
  if (!FTree.KeyExists(full)) return false;
  Record({TOp::kDeleteKey, full, {}});
  // Leaving the open key when it was removed, as the registry's handle would go stale.
  std::string open = FoldRegName(CurrentFullPath());
  std::string gone = FoldRegName(full);
  if (FKeyOpen && (open == gone || open.compare(0, gone.size() + 1, gone + '\\') == 0)) {
    FKeyOpen = false;
    FCurrentPath.clear();
  }
  return true;
}

std::vector<std::string> TRegistry::GetKeyNames() const {
  if (!FKeyOpen) return {};
  return FTree.SubKeyNames(CurrentFullPath());
}

const TRegValue* TRegistry::Find(std::string_view name) const {
  if (!FKeyOpen) return nullptr;
  return FTree.FindValue(CurrentFullPath(), name);
}

std::vector<std::string> TRegistry::GetValueNames() const {
  std::vector<std::string> names;
  if (!FKeyOpen) return names;
  if (const TRegKey* k = FTree.FindKey(CurrentFullPath())) {
    for (const TRegValue& v : k->Values) names.push_back(v.Name);
  }
  return names;
}

bool TRegistry::ValueExists(std::string_view name) const { return Find(name) != nullptr; }

TRegDataType TRegistry::GetDataType(std::string_view name) const {
  const TRegValue* v = Find(name);
  return v == nullptr ? rdUnknown : v->Type;
}

int64_t TRegistry::GetDataSize(std::string_view name) const {
  const TRegValue* v = Find(name);
  if (v == nullptr) return -1;
  if (v->Type == rdInteger) return 4;
  return static_cast<int64_t>(v->Data.size()) + (v->Type == rdString ? 1 : 0);
}

bool TRegistry::DeleteValue(std::string_view name) {
  if (Find(name) == nullptr) return false;
  TRegValue v;
  v.Name = name;
  Record({TOp::kDeleteValue, CurrentFullPath(), std::move(v)});
  return true;
}

void TRegistry::SetValue(std::string_view name, TRegValue v) {
  if (!FKeyOpen) throw ERegistryException("Failed to set data for '" + std::string(name) + "'");
  v.Name = name;
  Record({TOp::kSetValue, CurrentFullPath(), std::move(v)});
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
  TRegValue v;
  v.Type = rdString;
  v.Data = value;
  SetValue(name, std::move(v));
}

std::string TRegistry::ReadString(std::string_view name) const {
  const TRegValue* v = Find(name);
  if (v == nullptr) return {};
  if (v->Type != rdString) {
    throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
  }
  return v->Data;
}

void TRegistry::WriteInteger(std::string_view name, int32_t value) {
  TRegValue v;
  v.Type = rdInteger;
  v.Number = static_cast<uint32_t>(value);
  SetValue(name, std::move(v));
}

int32_t TRegistry::ReadInteger(std::string_view name) const {
  const TRegValue* v = Find(name);
  if (v == nullptr || v->Type != rdInteger) {
    throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
  }
  return static_cast<int32_t>(v->Number);
}

void TRegistry::WriteBinaryData(std::string_view name, const void* data, size_t size) {
  TRegValue v;
  v.Type = rdBinary;
  if (size > 0) v.Data.assign(static_cast<const char*>(data), size);
  SetValue(name, std::move(v));
}

std::vector<uint8_t> TRegistry::ReadBinaryData(std::string_view name) const {
  const TRegValue* v = Find(name);
  if (v == nullptr || v->Type != rdBinary) {
    throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
  }
  return std::vector<uint8_t>(v->Data.begin(), v->Data.end());
}

bool TRegistry::Flush() {
  if (FOps.empty()) return true;
  const std::string folder = FolderOf(FFileName);
  if (!MakeFolders(folder)) {
    FLastError = "cannot create the folder " + folder + ": " + std::strerror(errno);
    return false;
  }
  TLockFile lock(FFileName + ".lock");
  if (!lock.Locked()) {
    FLastError = "cannot lock " + FFileName + ".lock: " + std::strerror(errno);
    return false;
  }
  // What other processes wrote since we last read, with our changes on top.
  TRegTree disk, merged;
  TFileStamp stamp;
  size_t skipped = 0;
  if (!LoadFromDisk(disk, stamp, skipped)) {
    // Writing now would replace values we could not read.
    FLastError = "cannot read " + FFileName + ": " + std::strerror(errno);
    return false;
  }
  merged = disk;
  for (const TOp& op : FOps) Apply(merged, op);
  if (!(merged == disk && skipped == 0 && stamp.Exists)) {
    if (!WriteFileAtomic(FFileName, FormatRegFile(merged), 0600, &FLastError)) {
      // Keep the changes pending; the view includes what the file holds now.
      FTree = std::move(merged);
      FStamp = stamp;
      FSkipped = skipped;
      FLoaded = true;
      return false;
    }
    skipped = 0;
  }
  FTree = std::move(merged);
  FStamp = StampOf(FFileName);  // still under the lock: this is the file just written
  FSkipped = skipped;
  FLoaded = true;
  FOps.clear();
  FLastError.clear();
  return true;
}

}  // namespace quil
