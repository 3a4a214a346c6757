// TCompBase: the writer base (the UU/XX encoder derives from it).
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/ZipCommon.h"

namespace quil {

class TCompBase : public TZipCommon {
 public:
  TCompBase();

  // Input kind stream, output kind temporary stream; clears the run state and, when ArchiveFile
  // is set, runs the writer (CompressRun).
  void Compress();
  // Writer admission: OnBegin with Extract preset to true, then OnRenameCompressedFile when still
  // admitted (the handler may change `name`). Returns whether the entry is written.
  bool AdmitCompressEntry(std::string& name, int32_t recNum);

 protected:
  // The writer's run operation. Does nothing here.
  virtual void CompressRun() {}
};

}  // namespace quil
