#include "libs/qzip/FileCollector.h"

#include <dirent.h>
#include <fnmatch.h>
#include <glob.h>

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace quil::qzip {

namespace {

bool HasWildcard(const std::string& s) { return s.find_first_of("*?[") != std::string::npos; }

std::string BaseName(const std::string& p) {
  auto s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}

std::string DosPart(std::string part, bool isLast) {
  for (auto& c : part) c = char(std::toupper(static_cast<unsigned char>(c)));
  std::string base = part, ext;
  auto dot = part.find_last_of('.');
  if (isLast && dot != std::string::npos && dot > 0) {
    base = part.substr(0, dot);
    ext = part.substr(dot + 1, 3);
  }
  base.erase(std::remove(base.begin(), base.end(), '.'), base.end());
  if (base.size() > 8) base.resize(8);
  if (base.empty()) base.push_back('_');
  if (!ext.empty()) {
    base.push_back('.');
    base.append(ext);
  }
  return base;
}

class Collector {
 public:
  Collector(const ZipOptions& o, std::vector<SourceFile>& out) : FO(o), FOut(out) {}

  void AddPath(const std::string& path, bool explicitName, const std::string* pattern) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    std::string base = BaseName(path);
    bool hidden = !base.empty() && base[0] == '.' && base != "." && base != "..";
    if (hidden && !explicitName && !FO.HiddenFiles) return;
    if (S_ISDIR(st.st_mode)) {
      if (FO.FolderEntries && FO.FolderNames && (!pattern || explicitName)) Push(path, st, true);
      if (FO.Recurse) Walk(path, pattern);
      return;
    }
    if (!S_ISREG(st.st_mode)) return;
    if (pattern && !explicitName && ::fnmatch(pattern->c_str(), base.c_str(), 0) != 0) return;
    Push(path, st, false);
  }

  // Everything below `dir`; with a pattern only the files whose name matches it.
  void Walk(const std::string& dir, const std::string* pattern) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const auto& n : names) {
      std::string p = dir == "/" ? "/" + n : dir + "/" + n;
      struct stat lst {};
      if (::lstat(p.c_str(), &lst) != 0) continue;
      if (S_ISLNK(lst.st_mode)) {  // follow links to files, never into folders (no loops)
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
      }
      AddPath(p, false, pattern);
    }
  }

 private:
  void Push(const std::string& path, const struct stat& st, bool isDir) {
    std::string name = StoredNameFor(path, FO.FolderNames, FO.ForceDos);
    if (name.empty()) return;
    if (isDir) name += '/';
    if (IsExcluded(name, FO.Exclusions)) return;
    if (!FSeen.insert(name).second) return;
    SourceFile f;
    f.Path = path;
    f.StoredName = name;
    f.IsDir = isDir;
    f.Size = isDir ? 0 : uint64_t(st.st_size);
    f.MTime = st.st_mtime;
    f.Mode = st.st_mode;
    f.Device = st.st_dev;
    f.Inode = st.st_ino;
    FOut.push_back(std::move(f));
  }

  const ZipOptions& FO;
  std::vector<SourceFile>& FOut;
  std::unordered_set<std::string> FSeen;
};

}  // namespace

std::string StoredNameFor(const std::string& path, bool folderNames, bool forceDos) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    std::string part = p.substr(i, j - i);
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    i = j + 1;
  }
  if (parts.empty()) return {};
  if (!folderNames) parts.erase(parts.begin(), parts.end() - 1);
  std::string out;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out += '/';
    out += forceDos ? DosPart(parts[k], k + 1 == parts.size()) : parts[k];
  }
  return out;
}

bool IsExcluded(const std::string& name, const std::vector<std::string>& patterns) {
  std::string trimmed = name;
  if (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
  std::string base = BaseName(trimmed);
  for (auto pat : patterns) {
    std::replace(pat.begin(), pat.end(), '\\', '/');
    if (pat.empty()) continue;
    if (::fnmatch(pat.c_str(), trimmed.c_str(), FNM_CASEFOLD) == 0) return true;
    if (pat.find('/') == std::string::npos &&
        ::fnmatch(pat.c_str(), base.c_str(), FNM_CASEFOLD) == 0) {
      return true;
    }
  }
  return false;
}

std::vector<SourceFile> CollectFiles(const ZipOptions& o, std::vector<std::string>& missing) {
  std::vector<SourceFile> out;
  Collector c(o, out);
  for (auto spec : o.Specs) {
    std::replace(spec.begin(), spec.end(), '\\', '/');
    while (spec.size() > 1 && spec.back() == '/') spec.pop_back();
    if (spec.empty()) continue;
    if (!HasWildcard(spec)) {
      struct stat st {};
      if (::stat(spec.c_str(), &st) != 0) {
        missing.push_back(spec);
        continue;
      }
      c.AddPath(spec, true, nullptr);
      continue;
    }
    // A pattern: the matches in its folder; with recursion also matching files further down.
    std::string pattern = BaseName(spec);
    std::string dir =
        spec.size() > pattern.size() ? spec.substr(0, spec.size() - pattern.size()) : "";
    glob_t g{};
    if (::glob(spec.c_str(), GLOB_NOSORT, nullptr, &g) == 0) {
      std::vector<std::string> hits(g.gl_pathv, g.gl_pathv + g.gl_pathc);
      std::sort(hits.begin(), hits.end());
      for (const auto& h : hits) {
        struct stat st {};
        if (::stat(h.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && o.Recurse) continue;  // walked
        c.AddPath(h, false, &pattern);
      }
    }
    ::globfree(&g);
    if (o.Recurse && !HasWildcard(dir)) {
      std::string root = dir.empty() ? "." : dir.substr(0, dir.size() - (dir.size() > 1 ? 1 : 0));
      c.Walk(root, &pattern);
    }
  }
  return out;
}

}  // namespace quil::qzip
