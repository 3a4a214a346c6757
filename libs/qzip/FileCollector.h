// Turns the file specifications of an add command into the list of files and folders to store,
// with the names they get in the archive.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "libs/qzip/ZipOptions.h"

namespace quil::qzip {

struct SourceFile {
  std::string Path;        // as found on disk
  std::string StoredName;  // '/'-separated; folders end with '/'
  bool IsDir = false;
  uint64_t Size = 0;
  int64_t MTime = 0;  // seconds since 1970
  mode_t Mode = 0;
  dev_t Device = 0;
  ino_t Inode = 0;
};

// Name an archive entry gets for `path`: no leading '/', no "." or ".." parts, '\\' as '/';
// without folder names only the last part. Empty when nothing is left.
std::string StoredNameFor(const std::string& path, bool folderNames, bool forceDos);

// True when `name` matches one of the exclusion patterns (whole name, or the last part for
// patterns without '/').
bool IsExcluded(const std::string& name, const std::vector<std::string>& patterns);

// Exclusions and deletions compare names without regard to case.
// Expands the specifications. Files named explicitly that do not exist are reported through
// `missing`. Duplicate stored names keep the first.
std::vector<SourceFile> CollectFiles(const ZipOptions& o, std::vector<std::string>& missing);

}  // namespace quil::qzip
