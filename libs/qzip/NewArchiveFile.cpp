#include "libs/qzip/NewArchiveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "libs/common/ZipDllApi.h"
#include "libs/qzip/Reporter.h"

namespace quil::qzip {

namespace {
constexpr size_t kBufSize = 1 << 20;

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string RandomSuffix() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  std::string s;
  for (int i = 0; i < 8; ++i) s.push_back(kChars[rd() % 36]);
  return s;
}
}  // namespace

NewArchiveFile::NewArchiveFile(const std::string& target) : FTarget(target) {
  std::string dir = FolderOf(target);
  FFd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (FFd < 0 && errno != ENOENT && errno != EACCES) {
    // The file system cannot hold unnamed files: fall back to a named temporary file.
    FNamedTemp = dir + "/.qzip-XXXXXX";
    FFd = ::mkstemp(FNamedTemp.data());
    if (FFd < 0) FNamedTemp.clear();
  }
  if (FFd < 0) {
    throw ZipAbort{QZIP_MSG_CREATE_FAILED,
                   "Cannot create the new archive in " + dir + ": " + std::strerror(errno)};
  }
  FBuf.reserve(kBufSize);
}

NewArchiveFile::~NewArchiveFile() {
  if (FFd >= 0) ::close(FFd);
  if (!FNamedTemp.empty()) ::unlink(FNamedTemp.c_str());
}

void NewArchiveFile::WriteFailed(int err) {
  throw ZipAbort{QZIP_MSG_WRITE_FAILED,
                 "Cannot write the new archive " + FTarget + ": " + std::strerror(err)};
}

void NewArchiveFile::Flush() {
  size_t done = 0;
  while (done < FBuf.size()) {
    ssize_t w = ::write(FFd, FBuf.data() + done, FBuf.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      int err = w < 0 ? errno : ENOSPC;
      FBuf.clear();
      WriteFailed(err);
    }
    done += size_t(w);
  }
  FBuf.clear();
}

void NewArchiveFile::Write(const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  FPos += n;
  if (FBuf.size() + n > kBufSize) {
    Flush();
    if (n >= kBufSize) {
      FBuf.assign(p, n);
      Flush();
      return;
    }
  }
  FBuf.append(p, n);
}

void NewArchiveFile::PatchAt(uint64_t pos, const void* data, size_t n) {
  Flush();
  if (::pwrite(FFd, data, n, off_t(pos)) != ssize_t(n)) WriteFailed(errno);
}

void NewArchiveFile::TruncateTo(uint64_t pos) {
  Flush();
  if (::ftruncate(FFd, off_t(pos)) != 0 || ::lseek(FFd, off_t(pos), SEEK_SET) < 0) {
    WriteFailed(errno);
  }
  FPos = pos;
}

void NewArchiveFile::CopyFrom(int fd, uint64_t from, uint64_t n) {
  std::string chunk;
  while (n > 0) {
    size_t want = size_t(std::min<uint64_t>(n, kBufSize));
    chunk.resize(want);
    ssize_t r = ::pread(fd, chunk.data(), want, off_t(from));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) throw ZipAbort{QZIP_MSG_READ_FAILED, "Cannot read the archive"};
    Write(chunk.data(), size_t(r));
    from += uint64_t(r);
    n -= uint64_t(r);
  }
}

void NewArchiveFile::Commit(mode_t mode) {
  Flush();
  if (::fchmod(FFd, mode) != 0 || ::fsync(FFd) != 0) WriteFailed(errno);
  if (!FNamedTemp.empty()) {
    if (::rename(FNamedTemp.c_str(), FTarget.c_str()) != 0) WriteFailed(errno);
    FNamedTemp.clear();
    return;
  }
  // Give the unnamed file a name beside the target, then move it over the target.
  std::string proc = "/proc/self/fd/" + std::to_string(FFd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = FolderOf(FTarget) + "/.qzip-" + RandomSuffix();
    int rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    if (rc != 0 && errno == ENOENT) rc = ::linkat(FFd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    if (rc != 0) {
      if (errno == EEXIST) continue;
      WriteFailed(errno);
    }
    if (::rename(name.c_str(), FTarget.c_str()) != 0) {
      int err = errno;
      ::unlink(name.c_str());
      WriteFailed(err);
    }
    return;
  }
  WriteFailed(EEXIST);
}

}  // namespace quil::qzip
