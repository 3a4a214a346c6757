// What one command of the reading library is asked to do, taken out of the command record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quil::qunzip {

struct UnzipOptions {
  std::string ZipFileName;
  std::vector<std::string> Specs;  // entry patterns; none: every entry
  std::string Password;            // tried first for encrypted entries
  bool Test = false;               // decode and check only, write nothing
  bool Update = false;             // extract when missing or newer than the existing file
  bool Freshen = false;            // extract only over existing, older files
  bool FolderNames = false;        // recreate the stored folders
  bool Overwrite = false;          // replace existing files without asking
  int32_t PasswordRequests = 1;    // how often the callback may be asked for a password (<= 15)
};

}  // namespace quil::qunzip
