// Per-user folders after the freedesktop base-directory and user-dirs conventions. Every folder is
// read from the environment on each call, so tests can point them at a temporary tree.
#pragma once

#include <string>

namespace quil {

// $HOME, else the password database entry; never ends in '/' (except for "/").
std::string HomeFolder();
// $XDG_CONFIG_HOME when absolute, else HOME/.config.
std::string ConfigHome();
// $XDG_DATA_HOME when absolute, else HOME/.local/share.
std::string DataHome();
// $XDG_CACHE_HOME when absolute, else HOME/.cache.
std::string CacheHome();
// Quillet's own settings folder: $QUILLET_CONFIG_HOME when set and absolute, else
// ConfigHome()/quillet.
std::string QuilletConfigFolder();
// The user's Templates folder: XDG_TEMPLATES_DIR from ConfigHome()/user-dirs.dirs, else
// HOME/Templates (also when the entry is missing, malformed or names the home folder itself).
std::string TemplatesFolder();
// The system temporary folder: $TMPDIR when it names an existing folder, else "/tmp".
std::string SystemTempFolder();

// Creates `path` and its missing parents with `mode`; true when it exists as a folder afterwards.
bool MakeFolders(const std::string& path, unsigned mode = 0700);
// True when `path` names an existing folder / regular file.
bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
// `path` with a trailing '/' added when missing (an empty path stays empty).
std::string WithTrailingDelim(const std::string& path);
// The first executable called `name` on $PATH, as a full path; empty when none.
std::string FindOnPath(const std::string& name);

}  // namespace quil
