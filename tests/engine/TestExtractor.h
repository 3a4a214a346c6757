// A minimal extractor over the engine base: writes given entries (name, bytes, attributes, date)
// through the driver's naming, admission and output services, or copies stored ZIP data.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/core/UnBase.h"

namespace quil::test {

struct TFakeEntry {
  std::string Name;
  std::string Data;
  uint32_t Attr = 0x20;
  uint32_t Dos = 0;
  uint32_t UnixMode = 0;
};

class TTestExtractor : public TUnBase {
 public:
  std::vector<TFakeEntry> Entries;
  std::vector<std::string> Written;  // output paths of the files written
  std::function<void(TTestExtractor&)> Work;  // replaces the default work when set

 protected:
  void ExtractEntries() override {
    if (Work) return Work(*this);
    for (auto& e : Entries) {
      SetOutputName(e.Name);
      bool extract = false;
      std::string stream;
      AdmitEntry(extract, stream, 0);
      if (!extract) continue;
      TArcFile out;
      if (!OpenOutput(out, FileName())) {
        ReportError(FileName(), "", "0", 25235);
        continue;
      }
      std::string data = e.Data;
      WriteHook(&out, nullptr, 1, static_cast<int64_t>(data.size()), 32, false,
                reinterpret_cast<uint8_t*>(data.data()));
      CloseOutput(out, e.Attr, e.Dos, FileName(), e.UnixMode);
      Written.push_back(FileName());
    }
  }
};

}  // namespace quil::test
