// Questions and a progress bar on the user's terminal, for the commands that need them.
#pragma once

#include <cstdint>
#include <string>

namespace quil::cli {

// True when the descriptor is a terminal.
bool IsTerminal(int fd);
// Prints `prompt` on stderr and reads one line from the terminal without echo. Returns false at
// the end of input.
bool ReadSecret(const std::string& prompt, std::string& answer);
// Prints `prompt` on stderr and reads one line from stdin; returns its first character, lower
// case, or 0 at the end of input.
char AskLetter(const std::string& prompt);

// A one-line progress bar on stderr, drawn only when stderr is a terminal.
class TProgressBar {
 public:
  TProgressBar();
  ~TProgressBar() { Clear(); }
  void Show(int percent, const std::string& label);
  // Removes the bar so that other lines can be printed.
  void Clear();

 private:
  bool FActive;
  bool FShown = false;
  int FLast = -1;
};

}  // namespace quil::cli
