// The new archive while it is written: an unnamed file in the archive's folder (so that a crash
// leaves nothing behind) that replaces the archive by rename only when Commit() is called.
// Destroying it without Commit() discards everything written.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace quil::qzip {

class NewArchiveFile {
 public:
  // Creates the file beside `target`; throws ZipAbort{QZIP_MSG_CREATE_FAILED} on failure.
  explicit NewArchiveFile(const std::string& target);
  ~NewArchiveFile();
  NewArchiveFile(const NewArchiveFile&) = delete;
  NewArchiveFile& operator=(const NewArchiveFile&) = delete;

  // Appends; throws ZipAbort{QZIP_MSG_WRITE_FAILED} when the data cannot be written.
  void Write(const void* data, size_t n);
  void Write(const std::string& s) { Write(s.data(), s.size()); }
  // Overwrites already written bytes at `pos`.
  void PatchAt(uint64_t pos, const void* data, size_t n);
  // Throws away everything from `pos` on.
  void TruncateTo(uint64_t pos);
  uint64_t Position() const { return FPos; }
  // Copies `n` bytes from `fd` at `from`.
  void CopyFrom(int fd, uint64_t from, uint64_t n);
  // Flushes, syncs, gives the file `mode` and puts it in place of the target.
  void Commit(mode_t mode);

 private:
  void Flush();
  [[noreturn]] void WriteFailed(int err);
  std::string FTarget;
  std::string FNamedTemp;  // used only where unnamed files are not supported
  int FFd = -1;
  uint64_t FPos = 0;
  std::string FBuf;
};

}  // namespace quil::qzip
