// Which directory reader lists which archive type.
#include "engine/core/ArcFile.h"
#include "engine/list/DirReader.h"
#include "engine/list/ZuvOD.h"

namespace quil {

int64_t TDirReader::ReadAt(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n) {
  TArcFile& f = z.ArcFile();
  if (!f.Seek(pos)) return -1;
  return f.Read(buf, n);
}

std::unique_ptr<TDirReader> DirReaderFor(TArcType t) {
  switch (t) {
    case atZip:
    case atZipExe:
    case atJar:
    case atZipMV:
      return MakeZipDirReader();
    default:
      return nullptr;
  }
}

}  // namespace quil
