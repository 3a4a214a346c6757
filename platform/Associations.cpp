#include "platform/Associations.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/AtomicFile.h"
#include "platform/Registry.h"
#include "platform/XdgDirs.h"

extern char** environ;

namespace quil {
namespace {

std::string FolderOf(const std::string& path) {
  size_t p = path.rfind('/');
  if (p == std::string::npos) return ".";
  return p == 0 ? "/" : path.substr(0, p);
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The key of a "key=value" line, or empty when the line is no such line.
std::string_view KeyOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line[0] == '#' || line[0] == '[') return {};
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
}

bool IsSectionLine(std::string_view line) {
  line = Trim(line);
  return !line.empty() && line[0] == '[';
}

bool IsDefaultsSection(std::string_view line) { return Trim(line) == "[Default Applications]"; }

// Desktop IDs of a ";"-separated list, without empty items.
std::vector<std::string> SplitList(std::string_view v) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= v.size()) {
    size_t end = v.find(';', start);
    if (end == std::string_view::npos) end = v.size();
    std::string_view item = Trim(v.substr(start, end - start));
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A desktop-entry "string" value: backslashes and control characters escaped.
std::string EscapeDesktopString(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// Writes `data` unless the file already holds exactly that; `written` tells which.
bool WriteIfChanged(const std::string& path, std::string_view data, unsigned mode,
                    bool* written = nullptr) {
  if (written != nullptr) *written = false;
  std::string old;
  if (ReadWholeFile(path, old) && old == data) return true;
  if (!MakeFolders(FolderOf(path), 0755) || !WriteFileAtomic(path, data, mode)) return false;
  if (written != nullptr) *written = true;
  return true;
}

}  // namespace

const std::vector<TAssociatedExtension> AssociatedExtensions = {
    {".zip", 0, {"application/zip"}},
    {".rar", 1, {"application/vnd.rar", "application/x-rar"}},
    {".ace", 6, {"application/x-ace"}},
    {".arc", 5, {"application/x-arc"}},
    {".arj", 3, {"application/x-arj"}},
    {".lzh", 4, {"application/x-lha", "application/x-lzh-compressed"}},
    {".lha", 4, {"application/x-lha", "application/x-lzh-compressed"}},
    {".jar", 0, {"application/x-java-archive"}},
    {".cab", 2, {"application/vnd.ms-cab-compressed"}},
    {".zoo", 7, {"application/x-zoo"}},
    {".tar", 8, {"application/x-tar"}},
    {".gz", 9, {"application/gzip"}},
    {".z", 9, {"application/x-compress"}},
    {".tgz", 9, {"application/x-compressed-tar"}},
    {".uue", 10, {"text/x-uuencode"}},
    {".xxe", 11, {"text/x-xxencode"}},
};

std::vector<std::string> ArchiveMimeTypes() { return MimeTypesForFlags("111111111111"); }

std::vector<std::string> MimeTypesForFlags(std::string_view flags) {
  std::vector<std::string> types;
  for (const TAssociatedExtension& e : AssociatedExtensions) {
    if (static_cast<size_t>(e.Position) >= flags.size() || flags[e.Position] != '1') continue;
    for (const char* t : e.MimeTypes) {
      if (std::find(types.begin(), types.end(), t) == types.end()) types.emplace_back(t);
    }
  }
  return types;
}

TAssociationPaths DefaultAssociationPaths() {
  TAssociationPaths p;
  p.DesktopFile = DataHome() + "/applications/" + kDesktopFileId;
  p.MimePackage = DataHome() + "/mime/packages/" + kMimePackageFileName;
  p.MimeAppsList = ConfigHome() + "/mimeapps.list";
  p.TemplateFile = TemplatesFolder() + "/" + kTemplateFileName;
  p.RegistryFile = RegistryFilePath();
  return p;
}

std::string QuoteExecArgument(const std::string& arg) {
  static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string a;
  for (char c : arg) {
    if (c == '%') a += '%';  // a literal percent sign is doubled
    a += c;
  }
  if (!a.empty() && a.find_first_of(kReserved) == std::string::npos) return a;
  std::string q = "\"";
  for (char c : a) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') q += '\\';
    q += c;
  }
  q += '"';
  return q;
}

std::string DesktopFileText(const std::string& programFile) {
  std::string mime;
  for (const std::string& t : ArchiveMimeTypes()) mime += t + ';';
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Version=1.0\n"
      "Name=Quillet\n"
      "GenericName=Archive Manager\n"
      "Comment=Open, extract and create archives\n";
  text += "TryExec=" + EscapeDesktopString(programFile) + "\n";
  text += "Exec=" + EscapeDesktopString(QuoteExecArgument(programFile)) + " %f\n";
  text +=
      "Icon=quillet\n"
      "Terminal=false\n"
      "StartupNotify=true\n"
      "Categories=Qt;Utility;Archiving;Compression;\n";
  text += "MimeType=" + mime + "\n";
  return text;
}

std::string MimePackageText() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"application/x-arc\">\n"
         "    <glob pattern=\"*.arc\"/>\n"
         "  </mime-type>\n"
         "  <mime-type type=\"text/x-xxencode\">\n"
         "    <comment>XXencoded file</comment>\n"
         "    <sub-class-of type=\"text/plain\"/>\n"
         "    <glob pattern=\"*.xxe\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::string MergeMimeApps(std::string_view existing, const std::vector<std::string>& mimeTypes,
                          const std::string& desktopId) {
  std::vector<std::string_view> lines = SplitLines(existing);
  std::vector<std::string> out;
  std::vector<bool> done(mimeTypes.size(), false);
  auto wanted = [&](std::string_view key) -> int {
    std::string k = Lower(key);
    for (size_t i = 0; i < mimeTypes.size(); ++i) {
      if (Lower(mimeTypes[i]) == k) return static_cast<int>(i);
    }
    return -1;
  };
  auto ourLine = [&](size_t i, std::string_view oldValue) {
    std::string v = desktopId + ';';
    for (const std::string& id : SplitList(oldValue)) {
      if (id != desktopId) v += id + ';';
    }
    return mimeTypes[i] + '=' + v;
  };
  // Lines for the types not met yet, added at the end of the first defaults section.
  auto addMissing = [&] {
    for (size_t i = 0; i < mimeTypes.size(); ++i) {
      if (!done[i]) out.push_back(ourLine(i, {}));
      done[i] = true;
    }
  };
  bool inDefaults = false;
  for (size_t li = 0; li < lines.size(); ++li) {
    std::string_view line = lines[li];
    if (IsSectionLine(line)) {
      if (inDefaults) {
        // Keep blank lines that separate the sections after the added lines.
        size_t blanks = 0;
        while (!out.empty() && Trim(out.back()).empty()) {
          out.pop_back();
          ++blanks;
        }
        addMissing();
        out.insert(out.end(), blanks, std::string());
      }
      inDefaults = IsDefaultsSection(line);
      out.emplace_back(line);
      continue;
    }
    std::string_view key = KeyOf(line);
    int i = inDefaults && !key.empty() ? wanted(key) : -1;
    if (i >= 0) {
      out.push_back(ourLine(static_cast<size_t>(i), line.substr(line.find('=') + 1)));
      done[static_cast<size_t>(i)] = true;
    } else {
      out.emplace_back(line);
    }
  }
  if (inDefaults) {
    while (!out.empty() && Trim(out.back()).empty()) out.pop_back();
    addMissing();
  } else if (std::find(done.begin(), done.end(), false) != done.end()) {
    // No defaults section yet (types are added when a defaults section ends).
    if (!out.empty() && !Trim(out.back()).empty()) out.emplace_back();
    out.emplace_back("[Default Applications]");
    addMissing();
  }
  std::string text;
  for (const std::string& l : out) text += l + '\n';
  return text;
}

std::string DefaultApplication(std::string_view mimeApps, std::string_view mimeType) {
  bool inDefaults = false;
  std::string want = Lower(mimeType);
  for (std::string_view line : SplitLines(mimeApps)) {
    if (IsSectionLine(line)) {
      inDefaults = IsDefaultsSection(line);
      continue;
    }
    if (!inDefaults || Lower(KeyOf(line)) != want) continue;
    std::vector<std::string> ids = SplitList(line.substr(line.find('=') + 1));
    // The first defaults line for a type that names an application wins.
    if (!ids.empty()) return ids.front();
  }
  return {};
}

bool IsAssociated(std::string_view flags, const TAssociationPaths& paths) {
  std::string text;
  ReadWholeFile(paths.MimeAppsList, text);  // a missing file has no defaults
  for (const TAssociatedExtension& e : AssociatedExtensions) {
    if (static_cast<size_t>(e.Position) >= flags.size() || flags[e.Position] != '1') continue;
    if (DefaultApplication(text, e.MimeTypes.front()) != kDesktopFileId) return false;
  }
  return true;
}

bool RegisterProgram(const std::string& programFile, const TAssociationPaths& paths) {
  if (!WriteIfChanged(paths.DesktopFile, DesktopFileText(programFile), 0644)) return false;
  bool newPackage = false;
  if (!WriteIfChanged(paths.MimePackage, MimePackageText(), 0644, &newPackage)) return false;
  // Without the database tool the package waits for the next rebuild of the user's database.
  if (newPackage) UpdateUserMimeDatabase(paths);
  TRegistry reg(paths.RegistryFile);
  if (!reg.OpenKey("\\Software\\Quillet\\General", true)) return false;
  if (!reg.ValueExists("Directory") || reg.GetDataType("Directory") != rdString ||
      reg.ReadString("Directory") != programFile) {
    reg.WriteString("Directory", programFile);
  }
  return reg.Flush();
}

bool AssociateArchives(std::string_view flags, const TAssociationPaths& paths) {
  bool ok = true;
  std::vector<std::string> types = MimeTypesForFlags(flags);
  if (!types.empty()) {
    std::string old;
    ReadWholeFile(paths.MimeAppsList, old);
    ok = WriteIfChanged(paths.MimeAppsList, MergeMimeApps(old, types), 0644);
  }
  std::string_view zip(reinterpret_cast<const char*>(kEmptyZip.data()), kEmptyZip.size());
  ok = WriteIfChanged(paths.TemplateFile, zip, 0644) && ok;
  return ok;
}

bool UpdateUserMimeDatabase(const TAssociationPaths& paths) {
  std::string tool = FindOnPath("update-mime-database");
  if (tool.empty()) return false;
  std::string mimeDir = FolderOf(FolderOf(paths.MimePackage));
  std::string quiet = "-n";  // only when the packages are newer than the database
  char* argv[] = {tool.data(), quiet.data(), mimeDir.data(), nullptr};
  pid_t pid;
  if (posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quil
