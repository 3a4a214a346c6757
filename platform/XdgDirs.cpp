#include "platform/XdgDirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace quil {
namespace {

std::string AbsoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || v[0] != '/') return {};
  return v;
}

std::string StripTrailingDelims(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

std::string HomeFolder() {
  std::string h = AbsoluteEnv("HOME");
  if (h.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) h = pw->pw_dir;
  }
  if (h.empty()) h = "/";
  return StripTrailingDelims(h);
}

std::string ConfigHome() {
  std::string v = AbsoluteEnv("XDG_CONFIG_HOME");
  return v.empty() ? HomeFolder() + "/.config" : StripTrailingDelims(v);
}

std::string DataHome() {
  std::string v = AbsoluteEnv("XDG_DATA_HOME");
  return v.empty() ? HomeFolder() + "/.local/share" : StripTrailingDelims(v);
}

std::string CacheHome() {
  std::string v = AbsoluteEnv("XDG_CACHE_HOME");
  return v.empty() ? HomeFolder() + "/.cache" : StripTrailingDelims(v);
}

std::string QuilletConfigFolder() {
  std::string v = AbsoluteEnv("QUILLET_CONFIG_HOME");
  return v.empty() ? ConfigHome() + "/quillet" : StripTrailingDelims(v);
}

std::string TemplatesFolder() {
  const std::string home = HomeFolder();
  const std::string fallback = home + "/Templates";
  std::ifstream in(ConfigHome() + "/user-dirs.dirs");
  std::string line, found;
  while (std::getline(in, line)) {
    // Shell-style assignment: XDG_TEMPLATES_DIR="$HOME/Templates" (last one wins).
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.compare(i, 18, "XDG_TEMPLATES_DIR=") != 0) continue;
    std::string v = line.substr(i + 18);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.pop_back();
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') continue;
    v = v.substr(1, v.size() - 2);
    std::string path;
    if (v.compare(0, 5, "$HOME") == 0 && (v.size() == 5 || v[5] == '/')) {
      path = home + v.substr(5);
    } else if (!v.empty() && v[0] == '/') {
      path = v;
    } else {
      continue;
    }
    std::string unescaped;  // the file escapes '"', '\\', '$' and '`' with a backslash
    for (size_t k = 0; k < path.size(); ++k) {
      if (path[k] == '\\' && k + 1 < path.size()) ++k;
      unescaped += path[k];
    }
    found = StripTrailingDelims(unescaped);
  }
  // A user-dirs entry equal to the home folder means "no such folder".
  if (found.empty() || found == home) return fallback;
  return found;
}

std::string SystemTempFolder() {
  std::string t = StripTrailingDelims(AbsoluteEnv("TMPDIR"));
  return !t.empty() && FolderExists(t) ? t : "/tmp";
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MakeFolders(const std::string& path, unsigned mode) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    std::string part = path.substr(0, pos);
    if (part.empty() || FolderExists(part)) continue;
    if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
  }
  return FolderExists(path);
}

std::string WithTrailingDelim(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + '/';
}

std::string FindOnPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  const char* env = std::getenv("PATH");
  std::string paths = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find(':', start);
    if (end == std::string::npos) end = paths.size();
    std::string dir = paths.substr(start, end - start);
    if (!dir.empty() && dir[0] == '/') {
      std::string candidate = WithTrailingDelim(dir) + name;
      if (FileExists(candidate) && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return {};
}

}  // namespace quil
