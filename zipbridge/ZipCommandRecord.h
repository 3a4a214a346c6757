// Builds the zip command record handed to libqzip.so for the library's version, and owns every
// text and array the record points to until it is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "libs/common/ZipDllApi.h"

namespace quil {

class TZipKeeper;

class ZipCommandRecord {
 public:
  // An add command for `zipFile` (the file the library writes) and a library of `version`.
  ZipCommandRecord(TZipKeeper& keeper, int32_t version, const std::string& zipFile,
                   QZipCallback callback);
  // Turns the record into a delete command.
  void MakeDelete();
  // The record to pass to "QZipExec".
  void* Record() { return FNew ? static_cast<void*>(FNew.get()) : static_cast<void*>(FOld.get()); }
  bool IsOldLayout() const { return FOld != nullptr; }
  QZipCmdRec* NewLayout() { return FNew.get(); }
  QZipCmdRecOld* OldLayout() { return FOld.get(); }

  // "." + suffix + ":" for each member, without the final ":".
  static std::string StoreSuffixList(uint32_t bits);

 private:
  const char* Keep(const std::string& s);
  std::vector<std::unique_ptr<std::string>> FTexts;
  char FPassword[QZIP_PASSWORD_BUFFER] = {};
  std::vector<QZipFileSpec> FSpecs;
  std::vector<const char*> FExclusions;
  std::unique_ptr<QZipCmdRec> FNew;
  std::unique_ptr<QZipCmdRecOld> FOld;
};

}  // namespace quil
