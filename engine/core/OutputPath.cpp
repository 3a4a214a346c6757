#include "engine/core/OutputPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace quil::outpath {

std::string FolderOf(std::string_view path) {
  size_t p = path.rfind('/');
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string FileNamePart(std::string_view path) {
  size_t p = path.rfind('/');
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string AbsoluteFolder(std::string_view folder) {
  std::string f(folder);
  if (f.empty() || f[0] != '/') {
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    if (f.rfind("./", 0) == 0) f.erase(0, 2);
    if (f == ".") f.clear();
    f = cwd + (cwd.empty() || cwd.back() != '/' ? "/" : "") + f;
  }
  if (f.back() != '/') f += '/';
  return f;
}

std::string SafeRelativePath(std::string_view stored) {
  std::string s(stored);
  for (char& c : s)
    if (c == '\\') c = '/';
  if (s.size() >= 2 && s[1] == ':' &&
      ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')))
    s.erase(0, 2);
  std::string out;
  size_t i = 0;
  while (i <= s.size()) {
    size_t j = s.find('/', i);
    if (j == std::string::npos) j = s.size();
    std::string_view part(s.data() + i, j - i);
    if (!part.empty() && part != "." && part != "..") {
      if (!out.empty()) out += '/';
      out += part;
    }
    i = j + 1;
  }
  return out;
}

bool IsHiddenName(std::string_view path) {
  std::string n = FileNamePart(path);
  return !n.empty() && n[0] == '.';
}

static bool MakeFolderChain(const std::string& abs) {
  // Plain mkdir -p for the extraction folder itself (its links are the user's choice).
  std::error_code ec;
  std::filesystem::create_directories(abs, ec);
  return std::filesystem::is_directory(abs, ec);
}

bool CreateOutputFolders(const std::string& base, const std::string& file) {
  if (file.compare(0, base.size(), base) != 0) return false;
  if (!MakeFolderChain(base)) return false;
  size_t i = base.size();
  for (;;) {
    size_t j = file.find('/', i);
    if (j == std::string::npos) return true;  // the rest is the file's own name
    bool empty = j == i;
    i = j + 1;
    if (empty) continue;
    std::string dir = file.substr(0, j);
    struct stat st;
    if (::lstat(dir.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return false;  // a link or a file stands in the way
      continue;
    }
    if (errno != ENOENT) return false;
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  }
}

}  // namespace quil::outpath
