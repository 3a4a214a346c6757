#include "app/ArchiveKind.h"

#include <algorithm>
#include <array>

namespace quil {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

constexpr std::array<std::string_view, 14> kListerKinds = {
    ".rar", ".arc", ".arj", ".lzh", ".zoo", ".cab", ".ace", ".gz", ".tar", ".enc",
    ".bh",  ".ha",  ".pak", ".msgz"};

constexpr std::array<std::string_view, 17> kArchiveExtensions = {
    ".zip", ".rar", ".arc", ".ace", ".arj", ".lzh", ".cab", ".zoo", ".gz",
    ".tar", ".uue", ".xxe", ".lha", ".jar", ".exe", ".z",   ".tgz"};

constexpr std::array<std::string_view, 7> kSwitches = {"-e",  "-et",    "-es",   "-a",
                                                       "-aZ", "-tosfx", "-tozip"};

}  // namespace

std::string KindFromPath(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : Lower(name.substr(dot));
}

std::string RefineKind(const std::string& kind, TArcType detected) {
  switch (detected) {
    case atArc: case atArcExe: return ".arc";
    case atArj: case atArjExe: return ".arj";
    case atCab: return ".cab";
    case atGZip: return ".gz";
    case atLha: case atLhaExe: case atLzh: case atLzhExe: return ".lzh";
    case atRar: case atRarExe: return ".rar";
    case atTar: return ".tar";
    case atUue: return ".enc";
    // Listed-only and other lister formats: without these a file named otherwise would be
    // handed to the ZIP object, which cannot read it.
    case atACE: return ".ace";
    case atZoo: return ".zoo";
    case atBh: case atBhExe: return ".bh";
    case atHa: return ".ha";
    case atPak: case atPakExe: return ".pak";
    case atMsGZ: return ".msgz";
    default: return kind;
  }
}

bool IsListerKind(std::string_view kind) {
  return std::find(kListerKinds.begin(), kListerKinds.end(), kind) != kListerKinds.end();
}

bool IsZipKind(std::string_view kind) { return !IsListerKind(kind); }

TCommandState CommandsForKind(std::string_view kind, bool readOnly, bool spanned,
                              bool virusScanner) {
  TCommandState c;
  c.FindFiles = c.List = c.ArrangeIcons = c.CheckOut = c.Print = c.UnselectAll = true;
  c.Refresh = c.CloseArchive = c.Properties = c.CreateShortcut = c.MoveArchive = true;
  c.CopyArchive = c.RenameArchive = c.DeleteArchive = c.Extract = c.View = c.SelectAll = true;
  c.InvertSelection = c.RenameInPlace = true;
  c.MakeExe = kind == ".zip";
  c.VirusScan = virusScanner;
  const bool zip = IsZipKind(kind);
  c.Add = c.Delete = c.DropFiles = c.Comment = zip;
  c.RenameInPlace = zip;
  c.Test = kind != ".cab" && kind != ".enc";
  c.UUEncode = kind != ".enc";
  // Formats that are listed only: nothing to extract, view or test.
  if (kind == ".ha" || kind == ".pak" || kind == ".msgz")
    c.Extract = c.View = c.CheckOut = c.Test = false;
  if (readOnly) {
    c.MoveArchive = c.RenameArchive = c.DeleteArchive = false;
    c.Add = c.DropFiles = c.Delete = c.RenameInPlace = false;
  }
  if (zip && spanned) c.RenameInPlace = c.MakeExe = false;
  if (zip && kind == ".exe") {
    c.MakeExe = false;
    c.ExeToZip = true;
  }
  return c;
}

bool HasArchiveExtension(std::string_view path) {
  std::string ext = KindFromPath(path);
  return std::find(kArchiveExtensions.begin(), kArchiveExtensions.end(), ext) !=
         kArchiveExtensions.end();
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine cl;
  if (args.empty()) return cl;
  const std::string& first = args[0];
  if (args.size() == 1 && HasArchiveExtension(first)) {
    cl.Action = saOpen;
    cl.Archive = first;
    return cl;
  }
  if (std::find(kSwitches.begin(), kSwitches.end(), first) != kSwitches.end()) {
    cl.Action = saSwitch;
    cl.Switch = first;
    if (args.size() >= 2) cl.Archive = args[1];
    return cl;
  }
  cl.Action = saUnknown;
  return cl;
}

bool IsInstallerEntry(std::string_view name, std::string_view path) {
  std::string n = Lower(name);
  return (n == "setup.exe" && path.empty()) || n == "install.exe";
}

}  // namespace quil
