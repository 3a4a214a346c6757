// TUnBase: the extraction driver. Every extractor derives from it and supplies ExtractEntries.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/ZipCommon.h"

namespace quil {

enum TCpuType : uint8_t { cptAuto, cpt80286, cpt80386, cpt80486 };

// One record of the matched list: an entry an extractor selected before decoding.
struct TArcFileRecord {
  uint8_t Flag = 0;
  uint16_t Method = 0;
  int64_t HeaderOffset = 0;
  int64_t PackedSize = 0;
  int64_t UnpackedSize = 0;
  uint32_t CRC = 0;
  uint32_t Attributes = 0;
  uint32_t DosDate = 0;
};
using TArcFileList = std::vector<TArcFileRecord>;

class TUnBase : public TZipCommon {
 public:
  TUnBase();

  TCpuType CpuType() const { return FCpuType; }
  void SetCpuType(TCpuType t) { FCpuType = t; }

  // Extracts the entries that match FileSpec into ExtractDir. Errors of the first checks (no
  // archive, a type that cannot be extracted, an archive that cannot be opened) fire OnError and
  // throw E_RAISE; so does any error ExtractEntries lets escape, after the run has been wound up.
  void Extract();
  // The same run with output kind test: nothing is written.
  void ExtractForTest();

  TArcFileList& MatchedList() { return FMatched; }

 protected:
  // The extractor's per-archive work. Does nothing here.
  virtual void ExtractEntries() {}
  void RunDriver();

  TCpuType FCpuType = cptAuto;
  TArcFileList FMatched;
};

}  // namespace quil
