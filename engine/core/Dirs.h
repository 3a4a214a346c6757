// Creating output folders.
#pragma once

#include <string>

namespace quil {

// Creates the folder and every missing parent (mode 0777 before umask). Trailing PathDelims are
// ignored; an existing folder is fine. Throws E_RAISE(25153) for an empty path or when a folder
// cannot be created (including when a file stands in the way).
void CreateDirectoryPath(const std::string& path);

}  // namespace quil
