#include "engine/core/FileQueries.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "engine/core/ArcFileAttr.h"
#include "engine/core/FileSpec.h"
#include "engine/core/Names.h"

namespace quil {

namespace {
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool IsHiddenName(const std::string& path) {
  std::string name = ExtractFileName(RemovePathDelim(path));
  return name.size() > 1 && name[0] == '.' && name != "..";
}
}  // namespace

int32_t DosAttributesOf(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return -1;
  int32_t attr = 0;
  if (S_ISDIR(st.st_mode))
    attr |= TArcFileAttr::faDirectory;
  else if (S_ISREG(st.st_mode))
    attr |= TArcFileAttr::faArchive;
  if ((st.st_mode & kWriteBits) == 0) attr |= TArcFileAttr::faReadOnly;
  if (IsHiddenName(path)) attr |= TArcFileAttr::faHidden;
  return attr;
}

bool ApplyDosAttributes(const std::string& path, int32_t attr) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (attr & TArcFileAttr::faReadOnly)
    mode &= ~kWriteBits;
  else if ((mode & kWriteBits) == 0)
    mode |= S_IWUSR;
  return mode == (st.st_mode & 07777) || ::chmod(path.c_str(), mode) == 0;
}

bool FileIsWritable(const std::string& name) {
  constexpr int32_t kBlocking = TArcFileAttr::faReadOnly | TArcFileAttr::faSysFile |
                                TArcFileAttr::faHidden | TArcFileAttr::faDirectory |
                                TArcFileAttr::faVolumeID;
  int32_t attr = DosAttributesOf(name);
  return attr >= 0 && (attr & kBlocking) == 0;
}

bool DirectoryExists(const std::string& name) {
  if (name.empty()) return true;
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExistsByFind(const std::string& name) {
  if (name.empty()) return false;
  std::string pattern = ExtractFileName(name);
  if (pattern.find_first_of("*?") == std::string::npos) {
    struct stat st;
    return ::lstat(name.c_str(), &st) == 0;
  }
  std::string folder = ExtractFilePath(name);
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const struct dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (MatchSpec(pattern, e->d_name, true)) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace quil
