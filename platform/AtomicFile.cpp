#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quil {
namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void SetError(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what + ": " + std::strerror(errno);
}

}  // namespace

bool WriteFileAtomic(const std::string& path, std::string_view data, unsigned mode,
                     std::string* error) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  // A hidden name, so that file managers and globs on the folder do not pick it up.
  std::string tmpl = (folder == "/" ? "" : folder) + "/." + base + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    SetError(error, "cannot create a temporary file beside " + path);
    return false;
  }
  bool ok = fchmod(fd, static_cast<mode_t>(mode)) == 0;
  if (!ok) SetError(error, "cannot set permissions of " + path);
  if (ok && !(ok = WriteAll(fd, data))) SetError(error, "cannot write " + path);
  if (ok && !(ok = fsync(fd) == 0)) SetError(error, "cannot flush " + path);
  if (close(fd) != 0 && ok) {
    ok = false;
    SetError(error, "cannot close " + path);
  }
  if (ok && !(ok = rename(name.data(), path.c_str()) == 0)) SetError(error, "cannot replace " + path);
  if (!ok) {
    unlink(name.data());
    return false;
  }
  // Make the rename itself durable.
  int dfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& data) {
  data.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      data.clear();
      return false;
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

}  // namespace quil
