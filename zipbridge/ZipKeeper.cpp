// TZipKeeper: construction, the error convention, the code-page rule and small properties.
#include "zipbridge/ZipKeeper.h"

#include "engine/core/Charsets.h"

namespace quil {

TZipKeeper::TZipKeeper() = default;

TZipKeeper::~TZipKeeper() { FInFile.Close(); }

void TZipKeeper::SetZipFileName(const std::string& name) {
  FZipFileName = name;
  List();
}

void TZipKeeper::SetDLLDirectory(const std::string& dir) {
  FDLLDirectory = dir;
  if (FDLLDirectory.size() > 1 && FDLLDirectory.back() == '/') FDLLDirectory.pop_back();
}

void TZipKeeper::RecordError(int id, const std::string& extra) {
  FErrorMessage = ZipText(id) + extra;
  FErrorCode = id;
}

void TZipKeeper::ReportException(const ZipKeeperError& e) {
  FErrorCode = e.Id;
  FErrorMessage = e.what();
  if (OnMessage) OnMessage(*this, 0, FErrorMessage);
}

std::string TZipKeeper::ConvertCodePage(const std::string& text,
                                        CodePageDirection direction) const {
  bool convert = (CodePage == cpAuto && FHostSystem == 0) || FHostSystem == 6 ||
                 (FHostSystem == 11 && FSpecVersion == 50) || CodePage == cpOEM;
  if (!convert) return text;
  return direction == cpdOEM2ANSI ? Cp437ToUtf8(text) : Utf8ToCp437(text);
}

std::string TZipKeeper::DiskSetNumber(int64_t n) {
  std::string s = std::to_string(n + 1001);
  return s.substr(s.size() - 3);
}

}  // namespace quil
