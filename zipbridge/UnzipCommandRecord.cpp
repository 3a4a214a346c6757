#include "zipbridge/UnzipCommandRecord.h"

#include <cstring>

#include "zipbridge/ZipKeeper.h"

namespace quil {

namespace {
constexpr int32_t Flag(bool v) { return v ? -1 : 0; }

template <typename R>
void FillCommon(R& r, TZipKeeper& k, QZipCallback cb, const char* password, const char* zipFile,
                int32_t specCount) {
  r.WindowHandle = nullptr;
  r.Caller = &k;
  r.WriterVersion = QZIP_RECORD_WRITER_VERSION;
  r.Callback = cb;
  r.Trace = Flag(k.Trace);
  r.Password = password;
  const ExtrOpts& o = k.ExtrOptions;
  r.TestOnly = Flag(o.Has(ExtrTest));
  r.Quiet = -1;
  r.Verbose = Flag(k.Verbose || k.Trace);
  r.Update = Flag(o.Has(ExtrUpdate));
  r.Freshen = Flag(o.Has(ExtrFreshen) && !o.Has(ExtrUpdate));
  r.FolderNames = Flag(o.Has(ExtrDirNames));
  r.Overwrite = Flag(o.Has(ExtrOverWrite));
  r.SpecCount = specCount;
  r.ZipFileName = zipFile;
}
}  // namespace

const char* UnzipCommandRecord::Keep(const std::string& s) {
  FTexts.push_back(std::make_unique<std::string>(s));
  return FTexts.back()->c_str();
}

UnzipCommandRecord::UnzipCommandRecord(TZipKeeper& k, int32_t version, const std::string& zipFile,
                                       QZipCallback callback) {
  std::string password = k.Password;
  // An old library would ask for a password the unattended caller cannot give: a filler one
  // (never a real password) makes it skip encrypted entries instead.
  if (version < 160 && k.Unattended && k.AddOptions.Has(AddEncrypt) && password.empty()) {
    password.assign(80, 'z');
  }
  const char* pw = Keep(password);
  const char* zip = Keep(zipFile);
  int32_t count = int32_t(k.FSpecArgs.size());
  if (version > 151) {
    FNew = std::make_unique<QUnzipCmdRec>();
    std::memset(FNew.get(), 0, sizeof(QUnzipCmdRec));
    FillCommon(*FNew, k, callback, pw, zip, count);
    FSpecs.resize(k.FSpecArgs.size());
    if (!FSpecs.empty()) std::memset(FSpecs.data(), 0, FSpecs.size() * sizeof(QUnzipFileSpec));
    for (size_t i = 0; i < k.FSpecArgs.size(); ++i) FSpecs[i].Spec = Keep(k.FSpecArgs[i]);
    FNew->Specs = FSpecs.data();
    if (version > 159) FNew->PasswordRequestCount = int32_t(k.PasswordReqCount());
    FNew->CheckValue = QZIP_CHECK_VALUE;
  } else {
    FOld = std::make_unique<QUnzipCmdRecOld>();
    std::memset(FOld.get(), 0, sizeof(QUnzipCmdRecOld));
    if (count > QZIP_OLD_MAX_SPECS) count = QZIP_OLD_MAX_SPECS;
    FillCommon(*FOld, k, callback, pw, zip, count);
    FOld->CheckValue = QZIP_CHECK_VALUE;
    for (int32_t i = 0; i < count; ++i) FOld->Specs[i] = Keep(k.FSpecArgs[size_t(i)]);
  }
}

}  // namespace quil
