#include "zipbridge/ZipCommandRecord.h"

#include <cstring>

#include "zipbridge/ZipKeeper.h"

namespace quil {

namespace {
constexpr int32_t Flag(bool v) { return v ? -1 : 0; }

// The fields both layouts share, at the same places.
template <typename R>
void FillCommon(R& r, TZipKeeper& k, QZipCallback cb, char* password, const char* suffixes,
                const char* zipFile, int32_t specCount) {
  r.WindowHandle = nullptr;  // no window toolkit below the program
  r.Caller = &k;
  r.WriterVersion = QZIP_RECORD_WRITER_VERSION;
  r.Callback = cb;
  r.Trace = Flag(k.Trace);
  r.Password = password;
  r.StoreSuffixes = suffixes;
  const AddOpts& o = k.AddOptions;
  r.Encrypt = Flag(o.Has(AddEncrypt));
  r.HiddenFiles = Flag(o.Has(AddHiddenFiles));
  r.NoFolderEntries = o.Has(AddSeparateDirs) ? 0 : -1;
  r.Verbose = Flag(k.Verbose || k.Trace);
  r.Quiet = -1;
  r.Level = k.AddCompLevel;
  r.JunkFolderNames = o.Has(AddDirNames) ? 0 : -1;
  r.Recurse = Flag(o.Has(AddRecurseDirs));
  r.Grow = -1;
  r.ForceDos = Flag(o.Has(AddForceDOS));
  r.Move = Flag(o.Has(AddMove));
  r.DeleteEntries = 0;
  r.Update = Flag(o.Has(AddUpdate));
  r.Freshen = Flag(o.Has(AddFreshen) && !o.Has(AddUpdate));
  r.LatestTime = Flag(o.Has(AddZipTime));
  r.SpecCount = specCount;
  r.ZipFileName = zipFile;
}

template <typename R>
void TurnIntoDelete(R& r) {
  r.DeleteEntries = -1;
  r.Encrypt = 0;
  r.JunkFolderNames = 0;
  r.Recurse = 0;
  r.Grow = 0;
  r.Move = 0;
  r.Update = 0;
  r.Freshen = 0;
}
}  // namespace

const char* ZipCommandRecord::Keep(const std::string& s) {
  FTexts.push_back(std::make_unique<std::string>(s));
  return FTexts.back()->c_str();
}

std::string ZipCommandRecord::StoreSuffixList(uint32_t bits) {
  static const char* const kSuffixes[12] = {"gif", "png", "z",   "zip", "zoo", "arc",
                                            "lzh", "arj", "taz", "tgz", "lha", "exe"};
  std::string list;
  for (int i = 0; i < 12; ++i) {
    if (!((bits >> i) & 1)) continue;
    if (!list.empty()) list += ':';
    list += std::string(".") + kSuffixes[i];
  }
  return list;
}

ZipCommandRecord::ZipCommandRecord(TZipKeeper& k, int32_t version, const std::string& zipFile,
                                   QZipCallback callback) {
  std::strncpy(FPassword, k.Password.c_str(), QZIP_PASSWORD_BUFFER - 1);
  const char* suffixes =
      k.AddStoreSuffixes.Empty() ? nullptr : Keep(StoreSuffixList(k.AddStoreSuffixes.Bits()));
  const char* zip = Keep(zipFile);
  int32_t count = int32_t(k.FSpecArgs.size());
  if (version > 150) {
    FNew = std::make_unique<QZipCmdRec>();
    std::memset(FNew.get(), 0, sizeof(QZipCmdRec));
    QZipCmdRec& r = *FNew;
    FillCommon(r, k, callback, FPassword, suffixes, zip, count);
    if (!k.TempDir.empty()) r.TempDir = Keep(k.TempDir);
    if (version > 159) {
      if (!k.RawComment().empty()) r.Comment = Keep(k.RawComment());
      r.ArchiveOnly = k.AddOptions.Has(AddArchiveOnly) ? 1 : 0;
      r.ResetArchive = k.AddOptions.Has(AddResetArchive) ? 1 : 0;
      if (!k.FSpecArgsExcl.empty()) {
        for (const auto& e : k.FSpecArgsExcl) FExclusions.push_back(Keep(e));
        r.ExclusionCount = int32_t(FExclusions.size());
        r.Exclusions = FExclusions.data();
      }
    }
    FSpecs.resize(k.FSpecArgs.size());
    if (!FSpecs.empty()) std::memset(FSpecs.data(), 0, FSpecs.size() * sizeof(QZipFileSpec));
    for (size_t i = 0; i < k.FSpecArgs.size(); ++i) FSpecs[i].Spec = Keep(k.FSpecArgs[i]);
    r.Specs = FSpecs.data();
    r.CheckValue = QZIP_CHECK_VALUE;
  } else {
    FOld = std::make_unique<QZipCmdRecOld>();
    std::memset(FOld.get(), 0, sizeof(QZipCmdRecOld));
    QZipCmdRecOld& r = *FOld;
    if (count > QZIP_OLD_MAX_SPECS) count = QZIP_OLD_MAX_SPECS;
    FillCommon(r, k, callback, FPassword, suffixes, zip, count);
    r.CheckValue = QZIP_CHECK_VALUE;
    for (int32_t i = 0; i < count; ++i) r.Specs[i] = Keep(k.FSpecArgs[size_t(i)]);
  }
}

void ZipCommandRecord::MakeDelete() {
  if (FNew) TurnIntoDelete(*FNew);
  if (FOld) TurnIntoDelete(*FOld);
}

}  // namespace quil
