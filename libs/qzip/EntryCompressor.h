// Compressing one file for the archive: whole files in memory with libdeflate (used from the
// worker threads), larger ones streamed with zlib straight into the new archive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "libs/qzip/NewArchiveFile.h"

struct libdeflate_compressor;

namespace quil::qzip {

// Files up to this size are compressed in memory.
constexpr uint64_t kInMemoryLimit = 32ull << 20;

struct PackedData {
  std::string Data;  // compressed (and encrypted) bytes
  uint32_t Crc = 0;
  uint16_t Method = 0;  // 0 stored, 8 deflated
  uint64_t Size = 0;    // uncompressed size
};

// One libdeflate compressor per level, kept for one thread.
class MemoryDeflater {
 public:
  ~MemoryDeflater();
  // Compresses `in` at `level` (0 stores); keeps it stored when deflating does not make it smaller.
  void Pack(std::string&& in, int level, PackedData& out);

 private:
  libdeflate_compressor* FComp = nullptr;
  int FLevel = -1;
};

// Reads a whole file; throws ZipAbort{QZIP_MSG_READ_FAILED} when it cannot be read.
std::string ReadWholeFile(const std::string& path);
uint32_t Crc32(uint32_t crc, const void* p, size_t n);

// Streams `path` into `out` (after its local header), deflating at `level` (0 stores), encrypting
// with `password` when it is not empty. `progress` gets the bytes done per chunk. Fills crc, sizes
// and method; falls back to storing when deflating made the data larger.
struct StreamResult {
  uint32_t Crc = 0;
  uint16_t Method = 0;
  uint64_t Size = 0;
  uint64_t CompressedSize = 0;
};
StreamResult StreamFile(const std::string& path, int level, const std::string& password,
                        NewArchiveFile& out, const std::function<void(uint64_t)>& progress);

}  // namespace quil::qzip
