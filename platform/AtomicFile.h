// Replacing a file so that readers see either the old or the new content, never a partial one:
// the data goes to a temporary file in the same folder, is flushed to disk, and is renamed over
// the target.
#pragma once

#include <string>
#include <string_view>

namespace quil {

// Writes `data` to `path` atomically with exactly the permission bits `mode`. The folder must
// exist. On failure the target is untouched, no temporary file is left and `error` (when given)
// holds the reason.
bool WriteFileAtomic(const std::string& path, std::string_view data, unsigned mode = 0600,
                     std::string* error = nullptr);

// Reads a whole file into `data`; false when it cannot be opened or read (`data` then empty).
bool ReadWholeFile(const std::string& path, std::string& data);

}  // namespace quil
