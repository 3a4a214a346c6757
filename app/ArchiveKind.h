// Which engine object handles an open archive (its kind key), which commands the main window
// offers for it, and how the program's command line is read. Plain C++ with no window toolkit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ArcType.h"

namespace quil {

// The kind key: the lower-cased extension of the archive's name (with its dot), refined by the
// detected type for archives the lister reads.
std::string KindFromPath(std::string_view path);
// The kind for a detected type: the lister's kinds (".arc", ".arj", ".cab", ".gz", ".lzh",
// ".rar", ".tar", ".enc" for UUE/XXE, ".ace", ".zoo", ".bh", ".ha", ".pak", ".msgz"), or `kind`
// unchanged for ZIP types and files the engine does not recognise.
std::string RefineKind(const std::string& kind, TArcType detected);
// True for kinds the lister reads; every other kind is a ZIP read by the ZIP object.
bool IsListerKind(std::string_view kind);
bool IsZipKind(std::string_view kind);

// Enabled state of the main window's commands for one open archive (all false when none is open).
struct TCommandState {
  bool FindFiles = false, List = false, ArrangeIcons = false, CheckOut = false, Print = false;
  bool UnselectAll = false, Refresh = false, CloseArchive = false, Properties = false;
  bool CreateShortcut = false, MoveArchive = false, CopyArchive = false, RenameArchive = false;
  bool DeleteArchive = false, Extract = false, View = false, SelectAll = false;
  bool InvertSelection = false, RenameInPlace = false, MakeExe = false, ExeToZip = false;
  bool VirusScan = false, Add = false, Delete = false, DropFiles = false, Comment = false;
  bool Test = false, UUEncode = false;
  bool operator==(const TCommandState&) const = default;
};
// The state for an archive of `kind`; readOnly for a write-protected archive file, spanned for a
// ZIP set across disks, virusScanner when the configured scanner exists.
TCommandState CommandsForKind(std::string_view kind, bool readOnly, bool spanned,
                              bool virusScanner);

// The command line (arguments after the program name).
enum TStartupAction {
  saNone,      // no arguments: a normal start
  saOpen,      // one archive path: open and list it, then a normal start
  saSwitch,    // a switch run ("-e", "-et", "-es", "-a", "-aZ", "-tosfx", "-tozip")
  saUnknown,   // anything else: the program ends at once
};
struct TCommandLine {
  TStartupAction Action = saNone;
  std::string Archive;  // saOpen, and the switches that name an archive
  std::string Switch;   // saSwitch
};
// True when `path`'s lower-cased extension is one a plain command-line archive may have.
bool HasArchiveExtension(std::string_view path);
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// Install is offered when "setup.exe" lies at the archive's root or "install.exe" anywhere.
bool IsInstallerEntry(std::string_view name, std::string_view path);

}  // namespace quil
