// The desktop side of file associations, after the freedesktop conventions:
//  - a desktop entry "quillet.desktop" in DataHome()/applications naming the program and every
//    archive MIME type it opens;
//  - a small MIME package in DataHome()/mime/packages for the two kinds the shared database lacks
//    a name pattern for (".arc", ".xxe");
//  - the program as default application in ConfigHome()/mimeapps.list for the archive kinds the
//    user chose ("Associated Archives" flags), other lines of that file kept as they are;
//  - an empty ZIP archive in the Templates folder, offered by file managers under "New";
//  - the value "Directory" under "Software\Quillet\General" in the settings store, which the
//    file-manager extension reads to find the program.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quil {

inline constexpr char kDesktopFileId[] = "quillet.desktop";
inline constexpr char kTemplateFileName[] = "Quillet File.zip";
inline constexpr char kMimePackageFileName[] = "quillet.xml";

// An end-of-central-directory record with no entries: the smallest valid ZIP archive.
inline constexpr std::array<unsigned char, 22> kEmptyZip = {0x50, 0x4B, 0x05, 0x06};

// The archive extensions of the association step, each with its position in the
// "Associated Archives" flag string and its MIME types (the shared database's name first, then
// aliases still met in older files).
struct TAssociatedExtension {
  const char* Ext;
  int Position;
  std::vector<const char*> MimeTypes;
};
extern const std::vector<TAssociatedExtension> AssociatedExtensions;

// Every MIME type the program opens (for the desktop entry), without repeats.
std::vector<std::string> ArchiveMimeTypes();
// The MIME types whose position holds '1' in `flags` (a short string counts as '0').
std::vector<std::string> MimeTypesForFlags(std::string_view flags);

// Where the association files go; read from the environment (XdgDirs.h) unless given.
struct TAssociationPaths {
  std::string DesktopFile;    // DataHome()/applications/quillet.desktop
  std::string MimePackage;    // DataHome()/mime/packages/quillet.xml
  std::string MimeAppsList;   // ConfigHome()/mimeapps.list
  std::string TemplateFile;   // TemplatesFolder()/Quillet File.zip
  std::string RegistryFile;   // RegistryFilePath()
};
TAssociationPaths DefaultAssociationPaths();

// The desktop entry for `programFile`, with Exec quoted after the desktop-entry rules.
std::string DesktopFileText(const std::string& programFile);
// `arg` as one argument of a desktop entry's Exec key (quoting and escaping applied).
std::string QuoteExecArgument(const std::string& arg);
// The MIME package text.
std::string MimePackageText();

// mimeapps.list with `desktopId` made the first default for every type of `mimeTypes`, each
// other line kept as it is (other applications stay in the list after ours).
std::string MergeMimeApps(std::string_view existing, const std::vector<std::string>& mimeTypes,
                          const std::string& desktopId = kDesktopFileId);
// The first default application of `mimeType` in a mimeapps.list text; empty when none.
std::string DefaultApplication(std::string_view mimeApps, std::string_view mimeType);

// True when every extension whose position holds '1' in `flags` opens with the program.
// Unreadable files count as "not associated".
bool IsAssociated(std::string_view flags, const TAssociationPaths& paths = DefaultAssociationPaths());

// Registers the program, run at every start: the desktop entry, the MIME package (rebuilding the
// user's MIME database when the package changed) and the "Directory" value. False at the first
// failure (the remaining steps are skipped).
bool RegisterProgram(const std::string& programFile,
                     const TAssociationPaths& paths = DefaultAssociationPaths());

// Makes the program the default for the kinds flagged in `flags` (kinds flagged '0' are left as
// they are, nothing is removed) and writes the empty-ZIP template whatever the flags say. Run when
// "Associate with Zip files" is 1. False when a file could not be written.
bool AssociateArchives(std::string_view flags,
                       const TAssociationPaths& paths = DefaultAssociationPaths());

// Rebuilds the user's MIME database after the package changed, with update-mime-database when it
// is installed. False when the tool is missing or fails.
bool UpdateUserMimeDatabase(const TAssociationPaths& paths = DefaultAssociationPaths());

}  // namespace quil
