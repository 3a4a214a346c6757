// quil info FILE...: the detected type of each file, one tab-separated line per file:
// path, type, ArcOffset, ZipFlags, ArchiveSize, VolumeNumber.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "engine/core/ArcMain.h"

namespace quil::cli {
namespace {

// The room the ZIP lister gives the archive comment when it searches the end record.
constexpr int32_t kListerCommentRoom = 32000;

int RunInfo(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  bool options = true;
  for (const std::string& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "quil info: unknown option '%s'\n", a.c_str());
      return kExitUsage;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: quil info FILE...\n");
    return kExitUsage;
  }
  int rc = kExitOk;
  for (const std::string& f : files) {
    TArcMain arc;
    arc.SetZipCmntBufSize(kListerCommentRoom);
    arc.SetArchiveFile(f);
    TArcType t = arc.ArcType();
    std::string type(ArcTypeDisplayName(t));
    std::printf("%s\t%s\t%" PRId64 "\t%u\t%" PRId64 "\t%d\n", f.c_str(), type.c_str(),
                arc.ArcOffset(), static_cast<unsigned>(arc.ZipFlags()), arc.ArchiveSize(),
                arc.VolumeNumber());
    if (t == atFileOpenErr)
      rc = kExitError;
    else if (!IsRecognised(t) && rc == kExitOk)
      rc = kExitWarning;
  }
  std::fflush(stdout);
  return rc;
}

const Registrar kInfo({"info", "FILE...        detected archive type, offset, ZIP flags, size, volume number",
                       10, RunInfo});

}  // namespace
}  // namespace quil::cli
