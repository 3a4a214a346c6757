// The command table of quil: every command file registers one entry with a static Registrar.
#pragma once

#include <string>
#include <vector>

namespace quil::cli {

// Exit codes (the usual archiver convention).
enum ExitCode : int {
  kExitOk = 0,          // all went well
  kExitWarning = 1,     // some input is not a recognised archive
  kExitError = 2,       // a file could not be read, or an entry failed
  kExitUsage = 7,       // bad command line
};

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* synopsis;  // one line for quil --help, after the name
  int order;             // position in the help text
  CommandFn run;
};

struct Registrar {
  explicit Registrar(const Command& c);
};

const std::vector<Command>& Commands();

}  // namespace quil::cli
