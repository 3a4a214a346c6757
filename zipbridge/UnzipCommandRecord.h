// Builds the unzip command record handed to libqunzip.so for the library's version, and owns every
// text and array the record points to until it is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "libs/common/ZipDllApi.h"

namespace quil {

class TZipKeeper;

class UnzipCommandRecord {
 public:
  UnzipCommandRecord(TZipKeeper& keeper, int32_t version, const std::string& zipFile,
                     QZipCallback callback);
  void* Record() { return FNew ? static_cast<void*>(FNew.get()) : static_cast<void*>(FOld.get()); }
  bool IsOldLayout() const { return FOld != nullptr; }
  QUnzipCmdRec* NewLayout() { return FNew.get(); }
  QUnzipCmdRecOld* OldLayout() { return FOld.get(); }

 private:
  const char* Keep(const std::string& s);
  std::vector<std::unique_ptr<std::string>> FTexts;
  std::vector<QUnzipFileSpec> FSpecs;
  std::unique_ptr<QUnzipCmdRec> FNew;
  std::unique_ptr<QUnzipCmdRecOld> FOld;
};

}  // namespace quil
