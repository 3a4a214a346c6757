#include "engine/core/ArcFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quil {

TArcFile::~TArcFile() { Close(); }

TArcFile::TArcFile(TArcFile&& o) noexcept { *this = std::move(o); }

TArcFile& TArcFile::operator=(TArcFile&& o) noexcept {
  if (this != &o) {
    Close();
    FFd = o.FFd;
    FPath = std::move(o.FPath);
    FPos = o.FPos;
    FWritable = o.FWritable;
    FBuf = std::move(o.FBuf);
    FReadAhead = o.FReadAhead;
    FBufStart = o.FBufStart;
    FBufLen = o.FBufLen;
    o.FFd = -1;
    o.DropBuffer();
  }
  return *this;
}

bool TArcFile::Open(const std::string& path, Mode mode, bool noFollow) {
  Close();
  int flags = O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
  switch (mode) {
    case ReadOnly: flags |= O_RDONLY; break;
    case CreateWrite: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case ReadWrite: flags |= O_RDWR; break;
  }
  int fd;
  do fd = ::open(path.c_str(), flags, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    if (errno == 0) errno = EISDIR;
    return false;
  }
  FFd = fd;
  FPath = path;
  FPos = 0;
  FWritable = mode != ReadOnly;
  DropBuffer();
  return true;
}

bool TArcFile::Close() {
  if (FFd < 0) return true;
  int r = ::close(FFd);
  FFd = -1;
  DropBuffer();
  FPos = 0;
  return r == 0;
}

int64_t TArcFile::Size() const {
  if (FFd < 0) return -1;
  struct stat st;
  if (::fstat(FFd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool TArcFile::Seek(int64_t pos) {
  if (FFd < 0 || pos < 0) return false;
  FPos = pos;
  return true;
}

void TArcFile::SetReadAhead(size_t bytes) {
  FReadAhead = bytes;
  DropBuffer();
}

static int64_t PreadAll(int fd, void* buf, int64_t count, int64_t pos) {
  auto* p = static_cast<uint8_t*>(buf);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, p + done, static_cast<size_t>(count - done), pos + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TArcFile::Read(void* buf, int64_t count) {
  if (FFd < 0 || count < 0) return -1;
  if (count == 0) return 0;
  auto* out = static_cast<uint8_t*>(buf);
  int64_t done = 0;
  // Serve what the buffer holds.
  if (FBufLen && FPos >= FBufStart && FPos < FBufStart + static_cast<int64_t>(FBufLen)) {
    size_t off = static_cast<size_t>(FPos - FBufStart);
    size_t n = std::min<size_t>(FBufLen - off, static_cast<size_t>(count));
    std::memcpy(out, FBuf.data() + off, n);
    done = static_cast<int64_t>(n);
    FPos += done;
  }
  if (done == count) return done;
  int64_t rest = count - done;
  if (FReadAhead == 0 || rest >= static_cast<int64_t>(FReadAhead)) {
    int64_t n = PreadAll(FFd, out + done, rest, FPos);
    if (n < 0) return done > 0 ? done : -1;
    FPos += n;
    return done + n;
  }
  if (FBuf.size() != FReadAhead) FBuf.resize(FReadAhead);
  int64_t n = PreadAll(FFd, FBuf.data(), static_cast<int64_t>(FReadAhead), FPos);
  if (n < 0) {
    DropBuffer();
    return done > 0 ? done : -1;
  }
  FBufStart = FPos;
  FBufLen = static_cast<size_t>(n);
  int64_t take = std::min<int64_t>(n, rest);
  std::memcpy(out + done, FBuf.data(), static_cast<size_t>(take));
  FPos += take;
  return done + take;
}

bool TArcFile::ReadAt(int64_t pos, void* buf, int64_t count) {
  if (FFd < 0 || pos < 0 || count < 0) return false;
  int64_t save = FPos;
  FPos = pos;
  int64_t n = Read(buf, count);
  FPos = save;
  return n == count;
}

int64_t TArcFile::Write(const void* buf, int64_t count) {
  if (FFd < 0 || !FWritable || count < 0) return -1;
  DropBuffer();
  const auto* p = static_cast<const uint8_t*>(buf);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(FFd, p + done, static_cast<size_t>(count - done), FPos + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    done += n;
  }
  FPos += done;
  return done;
}

}  // namespace quil
