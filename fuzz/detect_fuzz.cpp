// Archive-type detection on a buffer in memory: whatever the bytes, detection must end with a
// type and never read outside its buffers.
#include <cstddef>
#include <cstdint>

#include "engine/core/Detect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quil::TMemoryReadAt in(data, size);
  for (int32_t room : {0, 32000}) {
    quil::TDetectOptions opt;
    opt.FileName = "fuzz.zip";
    opt.ZipCmntBufSize = room;
    quil::TDetection d;
    quil::DetectArcType(in, opt, d);
    if (d.ArcType >= quil::ArcTypeCount) __builtin_trap();
  }
  return 0;
}
