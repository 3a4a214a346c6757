// TRegistry: the per-user settings store, kept as one text file (RegFile.h) that several
// processes share (the window program and the file-manager extension).
//
// Changes are kept in the object and written together when the key is closed (CloseKey), on Flush
// and on destruction; moving from one open key to another does not write, so a run of changes
// under several keys reaches other processes as one. Writing takes an exclusive lock on a lock file beside the store, reads the file
// again, replays this object's changes on top of what is there now, and replaces the file
// atomically; so two processes that change different values both keep their changes, and a
// reader never sees a partial file. Opening keys picks up what other processes wrote meanwhile.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "platform/RegFile.h"

namespace quil {

// Raised by the typed reads and writes when a value is missing, has another type, or no key is
// open.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr char HKEY_CURRENT_USER[] = "HKEY_CURRENT_USER";
inline constexpr char HKEY_CLASSES_ROOT[] = "HKEY_CLASSES_ROOT";

// The store's file: QuilletConfigFolder() + "/registry.reg" (see XdgDirs.h for the variables).
std::string RegistryFilePath();

class TRegistry {
 public:
  // Uses the given store file; its folder is created on the first write.
  explicit TRegistry(std::string fileName = RegistryFilePath());
  ~TRegistry();  // writes pending changes; failures are dropped
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  const std::string& FileName() const { return FFileName; }
  const std::string& RootKey() const { return FRootKey; }
  void SetRootKey(std::string root);  // closes the current key
  // The open key below the root ("Software\Quillet"); empty when none is open.
  const std::string& CurrentPath() const { return FCurrentPath; }
  bool KeyOpen() const { return FKeyOpen; }

  // Key paths that begin with '\' start at the root; others start at the open key (or at the root
  // when none is open). '/' is accepted in place of '\'.
  bool OpenKey(std::string_view key, bool canCreate);
  bool OpenKeyReadOnly(std::string_view key) { return OpenKey(key, false); }
  void CloseKey();  // writes pending changes and forgets the open key
  bool CreateKey(std::string_view key);
  bool KeyExists(std::string_view key);
  bool DeleteKey(std::string_view key);  // with everything below it
  std::vector<std::string> GetKeyNames() const;  // subkeys of the open key
  bool HasSubKeys() const { return !GetKeyNames().empty(); }

  // Values of the open key. An empty name is the key's default value.
  std::vector<std::string> GetValueNames() const;
  bool ValueExists(std::string_view name) const;
  TRegDataType GetDataType(std::string_view name) const;  // rdUnknown when missing
  int64_t GetDataSize(std::string_view name) const;       // -1 when missing
  bool DeleteValue(std::string_view name);

  void WriteString(std::string_view name, std::string_view value);
  // "" when the value is missing; raises when it is not a string.
  std::string ReadString(std::string_view name) const;
  void WriteInteger(std::string_view name, int32_t value);
  int32_t ReadInteger(std::string_view name) const;  // raises when missing or not an integer
  void WriteBinaryData(std::string_view name, const void* data, size_t size);
  std::vector<uint8_t> ReadBinaryData(std::string_view name) const;  // raises like ReadInteger

  // Writes pending changes now. False (reason in LastError) when the file cannot be written; the
  // changes then stay pending for the next attempt.
  bool Flush();
  bool Modified() const { return !FOps.empty(); }
  const std::string& LastError() const { return FLastError; }
  // Lines of the file skipped as unreadable when it was last read (rewritten cleanly on the next
  // write).
  size_t SkippedLines() const { return FSkipped; }

 private:
  struct TOp {
    enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue } What;
    std::string Key;
    TRegValue Value;
  };
  struct TFileStamp {
    bool Exists = false;
    dev_t Dev = 0;
    ino_t Ino = 0;
    off_t Size = 0;
    int64_t MTimeNs = 0, CTimeNs = 0;
    bool operator==(const TFileStamp&) const = default;
  };

  std::string FullPath(std::string_view key) const;  // "" when the path is unusable
  std::string CurrentFullPath() const;
  void Sync();  // re-reads the file when another process replaced it
  // False when the file exists but cannot be read (the tree is then empty).
  bool LoadFromDisk(TRegTree& tree, TFileStamp& stamp, size_t& skipped) const;
  TFileStamp StampOf(const std::string& path) const;
  void Apply(TRegTree& tree, const TOp& op) const;
  void Record(TOp op);
  const TRegValue* Find(std::string_view name) const;
  void SetValue(std::string_view name, TRegValue v);

  std::string FFileName;
  std::string FRootKey = HKEY_CURRENT_USER;
  std::string FCurrentPath;
  bool FKeyOpen = false;
  TRegTree FTree;          // the file as last read, with the pending changes applied
  TFileStamp FStamp;       // identity of the file as last read
  bool FLoaded = false;
  size_t FSkipped = 0;
  std::vector<TOp> FOps;   // changes not yet written
  std::string FLastError;
};

}  // namespace quil
