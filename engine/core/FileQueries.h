// Questions about files on disk, and the DOS attribute view of them: read-only = no write
// permission bit at all, directory = directory, hidden = name starting with '.', archive = regular
// file; system and volume-label are never set.
#pragma once

#include <cstdint>
#include <string>

namespace quil {

// The DOS attributes of a file or folder (symbolic links followed), -1 when it cannot be reached.
int32_t DosAttributesOf(const std::string& path);
// Applies the read-only bit of attr (clears or restores the owner's write permission); the other
// bits have no Linux counterpart to set. False when the permissions could not be changed.
bool ApplyDosAttributes(const std::string& path, int32_t attr);

// False when the file is read-only, hidden, a directory (or system or a volume label), and when it
// cannot be reached.
bool FileIsWritable(const std::string& name);
// True for an empty name or an existing directory.
bool DirectoryExists(const std::string& name);
// True when anything exists under the name (a dangling link too). Wildcards in the name part
// ("dir/*.txt") are looked up in its folder with MatchSpec.
bool FileExistsByFind(const std::string& name);

}  // namespace quil
