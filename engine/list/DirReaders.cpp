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
    case atACE: return MakeAceDirReader();
    case atArc:
    case atArcExe: return MakeArcDirReader();
    case atPak:
    case atPakExe: return MakePakDirReader();
    case atArj:
    case atArjExe: return MakeArjDirReader();
    case atBh:
    case atBhExe: return MakeBhDirReader();
    case atCab: return MakeCabDirReader();
    case atGZip: return MakeGzipDirReader();
    case atHa: return MakeHaDirReader();
    case atLha:
    case atLhaExe:
    case atLzh:
    case atLzhExe: return MakeLhaDirReader();
    case atMsGZ: return MakeMsgzDirReader();
    case atRar:
    case atRarExe: return MakeRarDirReader();
    case atTar: return MakeTarDirReader();
    case atUue: return MakeUuDirReader();
    case atZoo: return MakeZooDirReader();
    default:
      return nullptr;
  }
}

}  // namespace quil
