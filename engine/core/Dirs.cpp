#include "engine/core/Dirs.h"

#include <sys/stat.h>

#include <cerrno>

#include "engine/core/FileQueries.h"
#include "engine/core/Messages.h"
#include "engine/core/Names.h"

namespace quil {

namespace {
constexpr int kUnableToCreateDirectory = 25153;

void MakeOne(const std::string& dir) {
  if (DirectoryExists(dir)) return;
  if (::mkdir(dir.c_str(), 0777) == 0) return;
  // Someone else may have made it in the meantime.
  if (errno == EEXIST && DirectoryExists(dir)) return;
  throw E_RAISE(kUnableToCreateDirectory);
}
}  // namespace

void CreateDirectoryPath(const std::string& path) {
  if (path.empty()) throw E_RAISE(kUnableToCreateDirectory);
  std::string dir = path;
  while (dir.size() > 1 && dir.back() == PathDelim) dir.pop_back();
  if (DirectoryExists(dir)) return;
  // Parents first, from the outermost one that is missing: every prefix ending before a PathDelim.
  for (size_t at = dir.find(PathDelim, 1); at != std::string::npos;
       at = dir.find(PathDelim, at + 1)) {
    if (dir[at - 1] == PathDelim) continue;  // "a//b"
    MakeOne(dir.substr(0, at));
  }
  MakeOne(dir);
}

}  // namespace quil
