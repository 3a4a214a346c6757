// quil a / quil d: add files to a ZIP archive and delete entries from it through the ZIP
// maintenance object (and so through libqzip.so).
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Terminal.h"
#include "libs/common/ZipDllApi.h"
#include "zipbridge/ZipKeeper.h"

namespace quil::cli {

namespace {

constexpr const char* kAddUsage =
    "usage: quil a [-r] [-mx0..-mx9] [-p [PASSWORD]] [-u|-f] [--move] [-x SPEC]... "
    "[--no-dir-names] ARCHIVE FILE...\n";
constexpr const char* kDeleteUsage = "usage: quil d ARCHIVE SPEC...\n";

// Reads one line from the terminal without showing it; false when there is no terminal or the
// input ended.
bool AskOnTerminal(const std::string& prompt, std::string& text) {
  FILE* tty = std::fopen("/dev/tty", "r+");
  if (!tty) return false;
  std::fprintf(tty, "%s", prompt.c_str());
  std::fflush(tty);
  int fd = ::fileno(tty);
  termios old {};
  bool restore = ::tcgetattr(fd, &old) == 0;
  if (restore) {
    termios quiet = old;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  char buf[256];
  bool ok = std::fgets(buf, sizeof buf, tty) != nullptr;
  if (restore) ::tcsetattr(fd, TCSAFLUSH, &old);
  std::fprintf(tty, "\n");
  std::fclose(tty);
  if (!ok) return false;
  text = buf;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return true;
}

// The disks of a set on removable media are asked for on the terminal: Enter when the disk is in
// the drive, "q" to cancel. Without a terminal on stdin the object stays unattended (11025).
void AskDisksOnTerminal(TZipKeeper& k) {
  SetZipDiskQuestion([](const std::string& text, bool) {
    if (!IsTerminal(STDIN_FILENO)) return false;
    char answer = AskLetter(text + "\n[Enter = OK, q = Cancel] ");
    return answer != 0 && answer != 'q';
  });
  if (IsTerminal(STDIN_FILENO)) k.Unattended = false;
}

void ShowMessages(TZipKeeper& k) {
  k.OnMessage = [](TZipKeeper&, int code, const std::string& m) {
    if (code != 0 || !m.empty()) std::fprintf(stderr, "quil: %s\n", m.c_str());
  };
}

// Opens the archive's directory; false (with the message shown) when an existing file is no ZIP.
bool OpenArchive(TZipKeeper& k, const std::string& path) {
  k.SetZipFileName(path);
  if (!k.ZipFileName().empty()) return true;
  std::fprintf(stderr, "quil: %s: %d %s\n", path.c_str(), k.ErrorCode(), k.ErrorMessage().c_str());
  return false;
}

int Finish(TZipKeeper& k, const char* what, bool nothingToDoIsFine) {
  if (k.DoneCount() > 0) {
    std::printf("%s %d file(s)\n", what, k.DoneCount());
    return kExitOk;
  }
  if (nothingToDoIsFine && k.ErrorCode() == QZIP_MSG_NOTHING_TO_DO) {
    std::printf("%s 0 files: nothing to do\n", what);
    return kExitOk;
  }
  // Library messages were shown as they came; the object's own checks are silent until now.
  if (k.ErrorCode() >= 10000)
    std::fprintf(stderr, "quil: %d %s\n", k.ErrorCode(), k.ErrorMessage().c_str());
  return kExitError;
}

// Arguments after position i that are not options (and not an option's value).
size_t OperandsAfter(const std::vector<std::string>& args, size_t i) {
  size_t n = 0;
  for (size_t j = i + 1; j < args.size(); ++j) {
    if (args[j] == "-x") {
      ++j;
    } else if (args[j].empty() || args[j][0] != '-') {
      ++n;
    }
  }
  return n;
}

int RunAdd(const std::vector<std::string>& args) {
  TZipKeeper k;
  ShowMessages(k);
  k.AddCompLevel = 6;
  k.AddOptions = {AddDirNames};
  k.Unattended = true;
  std::vector<std::string> operands;
  bool askPassword = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-r") {
      k.AddOptions.Include(AddRecurseDirs).Include(AddSeparateDirs);
    } else if (a.size() == 4 && a.compare(0, 3, "-mx") == 0 && a[3] >= '0' && a[3] <= '9') {
      k.AddCompLevel = a[3] - '0';
    } else if (a == "-p") {
      // "-p PASSWORD" when a password can follow and ARCHIVE FILE still remain; else ask.
      if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-' &&
          OperandsAfter(args, i + 1) >= 2) {
        k.Password = args[++i];
      } else {
        askPassword = true;
      }
      k.AddOptions.Include(AddEncrypt);
    } else if (a.size() > 2 && a.compare(0, 2, "-p") == 0) {
      k.Password = a.substr(2);
      k.AddOptions.Include(AddEncrypt);
    } else if (a == "-u") {
      k.AddOptions.Include(AddUpdate);
    } else if (a == "-f") {
      k.AddOptions.Include(AddFreshen);
    } else if (a == "--move") {
      k.AddOptions.Include(AddMove);
    } else if (a == "-x") {
      if (i + 1 >= args.size()) {
        std::fputs(kAddUsage, stderr);
        return kExitUsage;
      }
      k.FSpecArgsExcl.push_back(args[++i]);
    } else if (a == "--no-dir-names") {
      k.AddOptions.Exclude(AddDirNames);
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "quil: unknown option '%s'\n", a.c_str());
      std::fputs(kAddUsage, stderr);
      return kExitUsage;
    } else {
      operands.push_back(a);
    }
  }
  if (operands.size() < 2) {
    std::fputs(kAddUsage, stderr);
    return kExitUsage;
  }
  if (askPassword) {
    // The library asks through the object, which asks twice on the terminal.
    k.Unattended = false;
    SetZipPasswordDialog([](const std::string&, const std::string& prompt, std::string& text) {
      return AskOnTerminal(prompt, text);
    });
  }
  AskDisksOnTerminal(k);
  if (!OpenArchive(k, operands[0])) return kExitError;
  k.FSpecArgs.assign(operands.begin() + 1, operands.end());
  const bool onlyChanges = k.AddOptions.Has(AddUpdate) || k.AddOptions.Has(AddFreshen);
  k.Add();
  return Finish(k, "added", onlyChanges);
}

int RunDelete(const std::vector<std::string>& args) {
  std::vector<std::string> operands;
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "quil: unknown option '%s'\n", a.c_str());
      std::fputs(kDeleteUsage, stderr);
      return kExitUsage;
    }
    operands.push_back(a);
  }
  if (operands.size() < 2) {
    std::fputs(kDeleteUsage, stderr);
    return kExitUsage;
  }
  TZipKeeper k;
  ShowMessages(k);
  k.Unattended = true;
  AskDisksOnTerminal(k);
  if (!OpenArchive(k, operands[0])) return kExitError;
  k.FSpecArgs.assign(operands.begin() + 1, operands.end());
  k.Delete();
  return Finish(k, "deleted", false);
}

constexpr const char* kAddSynopsis =
    "[-r] [-mx0..-mx9] [-p [PASSWORD]] [-u|-f] [--move] [-x SPEC] [--no-dir-names] ARCHIVE "
    "FILE...\n"
    "                        add files to a ZIP (level 6 unless given; -p alone asks)";
constexpr const char* kDeleteSynopsis = "ARCHIVE SPEC...  delete the entries matching SPEC";

Registrar gAdd({"a", kAddSynopsis, 20, &RunAdd});
Registrar gAddLong({"add", "same as a", 22, &RunAdd});
Registrar gDelete({"d", kDeleteSynopsis, 21, &RunDelete});
Registrar gDeleteLong({"delete", "same as d", 23, &RunDelete});

}  // namespace

}  // namespace quil::cli
