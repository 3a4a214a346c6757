// quil add / quil delete: change a ZIP archive through the ZIP maintenance object.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "zipbridge/ZipKeeper.h"

namespace quil::cli {

namespace {

void Report(TZipKeeper& k) {
  k.OnMessage = [](TZipKeeper&, int code, const std::string& m) {
    if (code != 0 || !m.empty()) std::fprintf(stderr, "quil: %s\n", m.c_str());
  };
}

int Finish(TZipKeeper& k, const char* what) {
  if (k.DoneCount() > 0) {
    std::printf("%s %d file(s)\n", what, k.DoneCount());
    return kExitOk;
  }
  // Library messages were shown as they came; the object's own checks are silent until now.
  if (k.ErrorCode() >= 10000)
    std::fprintf(stderr, "quil: %d %s\n", k.ErrorCode(), k.ErrorMessage().c_str());
  return kExitError;
}

int RunAdd(const std::vector<std::string>& args) {
  TZipKeeper k;
  Report(k);
  k.AddCompLevel = 6;
  k.AddOptions = {AddDirNames};
  std::vector<std::string> rest;
  std::string comment;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto next = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
    if (a == "-r") {
      k.AddOptions.Include(AddRecurseDirs).Include(AddSeparateDirs);
    } else if (a == "-j") {
      k.AddOptions.Exclude(AddDirNames);
    } else if (a.size() == 2 && a[0] == '-' && a[1] >= '0' && a[1] <= '9') {
      k.AddCompLevel = a[1] - '0';
    } else if (a == "-P") {
      k.Password = next();
      k.AddOptions.Include(AddEncrypt);
    } else if (a == "-u") {
      k.AddOptions.Include(AddUpdate);
    } else if (a == "-f") {
      k.AddOptions.Include(AddFreshen);
    } else if (a == "-m") {
      k.AddOptions.Include(AddMove);
    } else if (a == "-H") {
      k.AddOptions.Include(AddHiddenFiles);
    } else if (a == "-x") {
      k.FSpecArgsExcl.push_back(next());
    } else if (a == "-z") {
      comment = next();
    } else {
      rest.push_back(a);
    }
  }
  if (rest.size() < 2) {
    std::fprintf(stderr,
                 "usage: quil add [-r] [-j] [-0..-9] [-P pw] [-u|-f] [-m] [-H] [-x pattern] "
                 "[-z comment] ARCHIVE FILE...\n");
    return kExitUsage;
  }
  k.Unattended = true;
  k.SetZipFileName(rest[0]);
  if (!comment.empty()) k.SetRawComment(comment);
  k.FSpecArgs.assign(rest.begin() + 1, rest.end());
  k.Add();
  return Finish(k, "added");
}

int RunDelete(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: quil delete ARCHIVE NAME...\n");
    return kExitUsage;
  }
  TZipKeeper k;
  Report(k);
  k.Unattended = true;
  k.SetZipFileName(args[0]);
  k.FSpecArgs.assign(args.begin() + 1, args.end());
  k.Delete();
  return Finish(k, "deleted");
}

Registrar gAdd({"add",
                "[-r] [-j] [-0..-9] [-P pw] [-u|-f] [-m] ARCHIVE FILE...  add files to a ZIP", 20,
                &RunAdd});
Registrar gDelete({"delete", "ARCHIVE NAME...  delete entries from a ZIP", 21, &RunDelete});

}  // namespace

}  // namespace quil::cli
