// One add or delete command of the writing library, from the options to the replaced archive.
#pragma once

#include "libs/qzip/Reporter.h"
#include "libs/qzip/ZipOptions.h"

namespace quil::qzip {

// Runs the command; returns the number of files added or entries deleted. Every failure is
// reported through the callback and returns 0 with the archive unchanged.
int RunZipCommand(const ZipOptions& o, Reporter& rep);

}  // namespace quil::qzip
