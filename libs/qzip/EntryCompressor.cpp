#include "libs/qzip/EntryCompressor.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "libs/common/ZipDllApi.h"
#include "libs/qzip/Reporter.h"
#include "engine/core/Crc.h"
#include "libs/qzip/TraditionalCipher.h"

namespace quil::qzip {

namespace {
constexpr size_t kChunk = 1 << 20;

[[noreturn]] void ReadFailed(const std::string& path, int err) {
  throw ZipAbort{QZIP_MSG_READ_FAILED, "Cannot read " + path + ": " + std::strerror(err)};
}

class InputFile {
 public:
  explicit InputFile(const std::string& path) : FPath(path) {
    FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) ReadFailed(path, errno);
  }
  ~InputFile() { ::close(FFd); }
  // Reads up to n bytes; 0 at the end.
  size_t Read(char* p, size_t n) {
    for (;;) {
      ssize_t r = ::read(FFd, p, n);
      if (r >= 0) return size_t(r);
      if (errno != EINTR) ReadFailed(FPath, errno);
    }
  }
  void Rewind() {
    if (::lseek(FFd, 0, SEEK_SET) != 0) ReadFailed(FPath, errno);
  }

 private:
  std::string FPath;
  int FFd;
};
}  // namespace

uint32_t Crc32(uint32_t crc, const void* p, size_t n) {
  uint32_t reg = ~crc;
  CrcUpdate32(p, n, reg);
  return ~reg;
}

std::string ReadWholeFile(const std::string& path) {
  InputFile f(path);
  std::string data;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && st.st_size > 0) data.reserve(size_t(st.st_size) + 1);
  char buf[65536];
  for (size_t n; (n = f.Read(buf, sizeof buf)) > 0;) data.append(buf, n);
  return data;
}

MemoryDeflater::~MemoryDeflater() {
  if (FComp) libdeflate_free_compressor(FComp);
}

void MemoryDeflater::Pack(std::string&& in, int level, PackedData& out) {
  out.Size = in.size();
  out.Crc = Crc32(0, in.data(), in.size());
  out.Method = 0;
  if (level > 0 && !in.empty()) {
    if (FLevel != level) {
      if (FComp) libdeflate_free_compressor(FComp);
      FComp = libdeflate_alloc_compressor(level);
      if (!FComp) throw std::bad_alloc();
      FLevel = level;
    }
    std::string packed(libdeflate_deflate_compress_bound(FComp, in.size()), '\0');
    // Only results smaller than the input are kept: give the compressor no more room than that.
    size_t n = libdeflate_deflate_compress(FComp, in.data(), in.size(), packed.data(),
                                           std::min(packed.size(), in.size() - 1));
    if (n > 0) {
      packed.resize(n);
      out.Data = std::move(packed);
      out.Method = 8;
      return;
    }
  }
  out.Data = std::move(in);
}

StreamResult StreamFile(const std::string& path, int level, const std::string& password,
                        NewArchiveFile& out, const std::function<void(uint64_t)>& progress) {
  InputFile in(path);
  StreamResult res;
  std::string buf(kChunk, '\0');
  std::string packed(kChunk, '\0');
  uint64_t start = out.Position();
  if (!password.empty()) {  // the cipher header needs the CRC first
    for (size_t n; (n = in.Read(buf.data(), kChunk)) > 0;) res.Crc = Crc32(res.Crc, buf.data(), n);
    in.Rewind();
  }

  auto storeAll = [&](bool report) {
    std::unique_ptr<TraditionalCipher> cipher;
    if (!password.empty()) {
      cipher = std::make_unique<TraditionalCipher>(password);
      out.Write(cipher->Header(res.Crc));
    }
    uint32_t crc = 0;
    uint64_t size = 0;
    for (size_t n; (n = in.Read(buf.data(), kChunk)) > 0;) {
      crc = Crc32(crc, buf.data(), n);
      size += n;
      if (cipher) cipher->Encrypt(reinterpret_cast<uint8_t*>(buf.data()), n);
      out.Write(buf.data(), n);
      if (report) progress(n);
    }
    res.Crc = crc;
    res.Size = size;
    res.Method = 0;
    res.CompressedSize = out.Position() - start;
  };

  if (level <= 0) {
    storeAll(true);
    return res;
  }

  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  struct ZEnd {
    z_stream* z;
    ~ZEnd() { deflateEnd(z); }
  } zend{&z};
  std::unique_ptr<TraditionalCipher> cipher;
  if (!password.empty()) {
    cipher = std::make_unique<TraditionalCipher>(password);
    out.Write(cipher->Header(res.Crc));
  }
  uint32_t crc = 0;
  uint64_t size = 0;
  bool eof = false;
  while (!eof) {
    size_t n = in.Read(buf.data(), kChunk);
    eof = n == 0;
    crc = Crc32(crc, buf.data(), n);
    size += n;
    z.next_in = reinterpret_cast<Bytef*>(buf.data());
    z.avail_in = uInt(n);
    do {
      z.next_out = reinterpret_cast<Bytef*>(packed.data());
      z.avail_out = uInt(packed.size());
      deflate(&z, eof ? Z_FINISH : Z_NO_FLUSH);
      size_t have = packed.size() - z.avail_out;
      if (cipher) cipher->Encrypt(reinterpret_cast<uint8_t*>(packed.data()), have);
      out.Write(packed.data(), have);
    } while (z.avail_out == 0);
    if (n) progress(n);
  }
  res.Crc = crc;
  res.Size = size;
  res.Method = 8;
  res.CompressedSize = out.Position() - start;
  uint64_t overhead = cipher ? 12 : 0;
  if (res.CompressedSize - overhead >= size && size > 0) {  // deflating did not pay: store it
    out.TruncateTo(start);
    in.Rewind();
    storeAll(false);
  }
  return res;
}

}  // namespace quil::qzip
