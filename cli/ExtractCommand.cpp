// quil x / quil e / quil t: extract an archive's entries with their folders, extract them all
// into one folder, or test them without writing anything.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Terminal.h"
#include "engine/core/Messages.h"
#include "engine/extract/Extractors.h"
#include "engine/extract/UnZIP.h"

namespace quil::cli {
namespace {

enum TMode { kWithFolders, kFlat, kTest };
enum TOverwrite { owAsk, owAll, owNever };

struct TOptions {
  TMode Mode = kWithFolders;
  std::string Archive, OutDir = ".", Password;
  bool HavePassword = false;
  TOverwrite Overwrite = owAsk;
  std::vector<std::string> Specs, Excludes;
};

int Usage(const char* cmd) {
  std::fprintf(stderr, "usage: quil %s [-o DIR] [-p PASSWORD] [-y|-n] [-x SPEC]... ARCHIVE [SPEC...]\n",
               cmd);
  return kExitUsage;
}

// Parses the arguments; returns -1 when they are good, else the exit code.
int Parse(const char* cmd, const std::vector<std::string>& args, TOptions& o) {
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    if (options && a == "--") {
      options = false;
    } else if (options && a == "-o" && o.Mode != kTest) {
      if (!value(o.OutDir) || o.OutDir.empty()) return Usage(cmd);
    } else if (options && a == "-p") {
      if (!value(o.Password)) return Usage(cmd);
      o.HavePassword = true;
    } else if (options && a == "-x") {
      std::string s;
      if (!value(s)) return Usage(cmd);
      o.Excludes.push_back(s);
    } else if (options && a == "-y" && o.Mode != kTest) {
      o.Overwrite = owAll;
    } else if (options && a == "-n" && o.Mode != kTest) {
      o.Overwrite = owNever;
    } else if (options && a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "quil %s: unknown option '%s'\n", cmd, a.c_str());
      return kExitUsage;
    } else if (o.Archive.empty()) {
      o.Archive = a;
    } else {
      o.Specs.push_back(a);
    }
  }
  if (o.Archive.empty()) return Usage(cmd);
  if (o.Specs.empty()) o.Specs.push_back("*");
  return -1;
}

int Run(const char* cmd, TMode mode, const std::vector<std::string>& args) {
  TOptions o;
  o.Mode = mode;
  if (int rc = Parse(cmd, args, o); rc >= 0) return rc;

  // Detection (which also recognises the last part of a numbered split ZIP set).
  TUnZIP probe;
  probe.SetArchiveFile(o.Archive);
  const TArcType type = probe.ArcType();
  auto fail = [&](int code, int exitCode) {
    std::fprintf(stderr, "quil: %s: %s\n", o.Archive.c_str(), MessageLine(code).c_str());
    return exitCode;
  };
  if (type == atFileOpenErr) return fail(25172, kExitError);
  if (type == atNA || type == atUnknown) return fail(25302, kExitWarning);
  std::unique_ptr<TUnBase> ex = ExtractorFor(type);
  if (!ex) return fail(25242, kExitError);
  TUnBase& z = *ex;
  z.SetArchiveFile(o.Archive);
  z.SetFileSpec(o.Specs);
  z.SetExcludeSpec(o.Excludes);
  z.SetUseStoredDirs(mode != kFlat);
  if (mode != kTest) {
    std::error_code ec;
    std::string abs = std::filesystem::absolute(o.OutDir, ec).string();
    z.SetExtractDir(ec ? o.OutDir : abs);
  }
  if (o.HavePassword) z.Passwords().push_back(o.Password);

  const bool ttyIn = IsTerminal(STDIN_FILENO);
  TProgressBar bar;
  const std::string outBase = mode == kTest ? std::string() : z.ExtractDir();
  std::string current;       // the entry being worked on, as shown to the user
  bool entryFailed = false;  // a message was printed for the current entry
  int failures = 0;
  bool skippedUnasked = false;
  auto display = [&](const std::string& fn) {
    if (!outBase.empty() && fn.compare(0, outBase.size(), outBase) == 0) return fn.substr(outBase.size());
    return fn;
  };
  auto printFailure = [&](const std::string& name, const std::string& line) {
    bar.Clear();
    std::fprintf(stderr, "quil: %s: %s\n", name.c_str(), line.c_str());
  };

  z.OnFileExists = [&](TArcMain*, const std::string& fn, TDateTime, bool& accept) {
    switch (o.Overwrite) {
      case owAll: accept = true; return;
      case owNever: accept = false; return;
      case owAsk: break;
    }
    if (!ttyIn) {
      accept = false;
      skippedUnasked = true;
      printFailure(display(fn), MessageLine(26800) + " (exists; -y overwrites, -n skips)");
      return;
    }
    bar.Clear();
    for (;;) {
      char c = AskLetter("Overwrite " + display(fn) + "? [y]es, [n]o, [a]ll, ne[v]er: ");
      if (c == 'y') { accept = true; return; }
      if (c == 'a') { accept = true; o.Overwrite = owAll; return; }
      if (c == 'n' || c == 0) { accept = false; return; }
      if (c == 'v') { accept = false; o.Overwrite = owNever; return; }
    }
  };
  z.OnBegin = [&](TArcMain*, const std::string& fn, int32_t, bool&) {
    current = display(fn);
    entryFailed = false;
  };
  z.OnError = [&](TArcMain*, const std::string& fn, const std::string& extra, const std::string&,
                  int32_t code) {
    std::string line = MessageLine(code);
    if (!extra.empty()) line += " (" + extra + ")";
    std::string name = !current.empty() ? current : (!fn.empty() ? display(fn) : o.Archive);
    printFailure(name, line);
    if (code != 26517) {  // a wrong answer is asked again
      entryFailed = true;
      ++failures;
    }
  };
  if (ttyIn) {
    z.OnGetPassword = [&](TArcMain*, const std::string& fn, std::string& password, bool& again) {
      bar.Clear();
      std::string answer;
      if (!ReadSecret("Password for " + display(fn) + ": ", answer) || answer.empty()) {
        again = false;
        return;
      }
      password = answer;
    };
  }
  z.OnEnd = [&](TArcMain*, const std::string& fn, bool pass) {
    if (!pass && !entryFailed) {
      const bool locked = z.Entry().Encrypted;
      printFailure(current.empty() ? display(fn) : current,
                   MessageLine(locked && (!ttyIn) ? 26522 : 25151));
      ++failures;
    }
    current.clear();
    entryFailed = false;
  };
  z.OnProgress = [&](TArcMain*, uint8_t byFile, uint8_t) {
    if (!current.empty()) bar.Show(byFile, current);
  };

  try {
    if (mode == kTest)
      z.ExtractForTest();
    else
      z.Extract();
  } catch (const E_RAISE&) {
    bar.Clear();
    return kExitError;  // reported through OnError
  }
  bar.Clear();
  if (failures > 0 || skippedUnasked) return kExitError;
  return kExitOk;
}

int RunX(const std::vector<std::string>& a) { return Run("x", kWithFolders, a); }
int RunE(const std::vector<std::string>& a) { return Run("e", kFlat, a); }
int RunT(const std::vector<std::string>& a) { return Run("t", kTest, a); }

const Registrar kX({"x", "[-o DIR] [-p PW] [-y|-n] [-x SPEC]... ARCHIVE [SPEC...]   extract with folders", 30, RunX});
const Registrar kE({"e", "[-o DIR] [-p PW] [-y|-n] [-x SPEC]... ARCHIVE [SPEC...]   extract into one folder", 31, RunE});
const Registrar kT({"t", "[-p PW] [-x SPEC]... ARCHIVE [SPEC...]   test the entries' checksums", 32, RunT});

}  // namespace
}  // namespace quil::cli
