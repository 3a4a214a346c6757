// quil: the command-line face of the Quillet archive engine.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Command.h"

namespace quil::cli {

namespace {
std::vector<Command>& Table() {
  static std::vector<Command> t;
  return t;
}
}  // namespace

Registrar::Registrar(const Command& c) { Table().push_back(c); }

const std::vector<Command>& Commands() {
  auto& t = Table();
  std::sort(t.begin(), t.end(), [](const Command& a, const Command& b) { return a.order < b.order; });
  return t;
}

static void PrintHelp(FILE* out) {
  std::fprintf(out, "Usage: quil COMMAND [ARGS...]\n\nCommands:\n");
  for (const Command& c : Commands()) std::fprintf(out, "  quil %s %s\n", c.name, c.synopsis);
  std::fprintf(out,
               "\nExit codes:\n"
               "  0  success\n"
               "  1  some file is not a recognised archive\n"
               "  2  a file could not be read, or an entry failed (CRC, password, method)\n"
               "  7  bad command line\n");
}

}  // namespace quil::cli

int main(int argc, char** argv) {
  using namespace quil::cli;
  if (argc < 2) {
    PrintHelp(stderr);
    return kExitUsage;
  }
  std::string cmd = argv[1];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    PrintHelp(stdout);
    return kExitOk;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : Commands())
    if (cmd == c.name) return c.run(args);
  std::fprintf(stderr, "quil: unknown command '%s' (see quil --help)\n", cmd.c_str());
  return kExitUsage;
}
