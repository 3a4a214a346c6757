// What one command of the writing library is asked to do, taken out of the command record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quil::qzip {

struct ZipOptions {
  std::string ZipFileName;
  std::vector<std::string> Specs;          // files to add, or entry patterns to delete
  std::vector<std::string> Exclusions;     // patterns of names not to add
  std::vector<std::string> StoreSuffixes;  // ".gif" ...: stored without compression
  std::string Password;
  std::string Comment;  // new archive comment; empty keeps the existing one
  bool HasComment = false;
  int Level = 6;  // 0 stores
  bool Delete = false;
  bool Encrypt = false;
  bool HiddenFiles = false;
  bool FolderEntries = false;  // separate entries for folders
  bool FolderNames = true;     // store names with their folders
  bool Recurse = false;
  bool ForceDos = false;
  bool Move = false;
  bool Update = false;
  bool Freshen = false;
  bool LatestTime = false;
  bool Verbose = false;
  int Threads = 0;  // 0: one per core
};

}  // namespace quil::qzip
