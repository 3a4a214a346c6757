// The extract and test command of the reading library: walks the archive's central directory,
// picks the entries the patterns name, and extracts each into the current folder (or only checks
// it), reporting through the callback. Never writes outside the current folder and never more
// than an entry's declared size.
#pragma once

#include <cstdint>

#include "libs/qunzip/UnzipOptions.h"
#include "libs/qzip/Reporter.h"

namespace quil::qunzip {

// Returns the number of files extracted (or tested) without fault. Failures of single entries are
// reported and skipped; a damaged archive or a stop request ends the command with a message.
int32_t RunUnzipCommand(const UnzipOptions& options, qzip::Reporter& reporter);

}  // namespace quil::qunzip
