// TArcFile: a file opened for one operation (archive input or extraction output). Thin and
// portable over POSIX descriptors; reads go through a small read-ahead buffer so that header walks
// with many small reads cost few system calls. Never throws: failures return false / -1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quil {

class TArcFile {
 public:
  enum Mode { ReadOnly, CreateWrite, ReadWrite };

  TArcFile() = default;
  ~TArcFile();
  TArcFile(const TArcFile&) = delete;
  TArcFile& operator=(const TArcFile&) = delete;
  TArcFile(TArcFile&& o) noexcept;
  TArcFile& operator=(TArcFile&& o) noexcept;

  // Opens `path`. CreateWrite creates or truncates (mode 0666 before umask). With `noFollow` a
  // symbolic link as the last component fails the open.
  bool Open(const std::string& path, Mode mode, bool noFollow = false);
  // Closes; false when the close reported an error (e.g. a delayed write failure).
  bool Close();
  bool IsOpen() const { return FFd >= 0; }
  const std::string& Path() const { return FPath; }

  // Size of the file in bytes, -1 on failure.
  int64_t Size() const;
  // Current position (0-based).
  int64_t Position() const { return FPos; }
  // Moves to an absolute position; false for a negative position or a failing seek.
  bool Seek(int64_t pos);
  // Reads up to `count` bytes at the current position; returns the number read (0 at end of file)
  // or -1 on a read error.
  int64_t Read(void* buf, int64_t count);
  // Reads exactly `count` bytes at `pos` (without moving the current position); false when fewer
  // could be read.
  bool ReadAt(int64_t pos, void* buf, int64_t count);
  // Writes all of `count` bytes at the current position; returns the number written (< count on
  // failure, e.g. disk full).
  int64_t Write(const void* buf, int64_t count);

  // Sizes the read-ahead buffer (0 turns it off). Default 64 KiB.
  void SetReadAhead(size_t bytes);

 private:
  void DropBuffer() { FBufStart = FBufLen = 0; }
  int FFd = -1;
  std::string FPath;
  int64_t FPos = 0;
  bool FWritable = false;
  std::vector<uint8_t> FBuf;
  size_t FReadAhead = 64 * 1024;
  int64_t FBufStart = 0;  // file position of FBuf[0]
  size_t FBufLen = 0;     // valid bytes in FBuf
};

}  // namespace quil
