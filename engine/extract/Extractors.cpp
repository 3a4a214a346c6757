#include "engine/extract/Extractors.h"

#include "engine/extract/UnZIP.h"

namespace quil {

std::unique_ptr<TUnBase> ExtractorFor(TArcType t) {
  switch (t) {
    case atJar: return std::make_unique<TUnJar>();
    case atZip: case atZipExe: case atZipMV: return std::make_unique<TUnZIP>();
    default: return nullptr;
  }
}

}  // namespace quil
