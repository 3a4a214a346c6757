#include "cli/Terminal.h"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>

namespace quil::cli {

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

bool ReadSecret(const std::string& prompt, std::string& answer) {
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  termios old{};
  bool restore = ::tcgetattr(STDIN_FILENO, &old) == 0;
  if (restore) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  bool ok = static_cast<bool>(std::getline(std::cin, answer));
  if (restore) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
  return ok;
}

char AskLetter(const std::string& prompt) {
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  std::string line;
  if (!std::getline(std::cin, line)) return 0;
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c)))
      return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return '\n';
}

TProgressBar::TProgressBar() : FActive(IsTerminal(STDERR_FILENO)) {}

void TProgressBar::Show(int percent, const std::string& label) {
  if (!FActive || percent == FLast) return;
  FLast = percent;
  constexpr int kWidth = 30;
  int filled = percent * kWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), ' ');
  std::string name = label.size() > 40 ? "..." + label.substr(label.size() - 37) : label;
  std::fprintf(stderr, "\r\033[K[%s] %3d%% %s", bar.c_str(), percent, name.c_str());
  std::fflush(stderr);
  FShown = true;
}

void TProgressBar::Clear() {
  if (!FShown) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  FShown = false;
  FLast = -1;
}

}  // namespace quil::cli
