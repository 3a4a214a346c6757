// Temporary files: unique names in the temporary folder, and a stream on a temporary file that
// removes the file when it goes away.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/ArcFile.h"

namespace quil {

// The temporary folder: $TMPDIR when it is set and non-empty, else /tmp. No trailing PathDelim.
std::string TempFolder();

// Creates a new empty file with a unique name made of `prefix` ("riz" when empty; a PathDelim in
// it becomes '_') and six random characters, in `folder` (TempFolder() when empty), and returns
// its path. Throws E_RAISE(25235) when the file cannot be created.
std::string MakeTempFileName(const std::string& prefix = "", const std::string& folder = "");

// A read/write stream on a new temporary file; the file is deleted when the stream is destroyed.
class TTempFileStream {
 public:
  // Throws E_RAISE(25235) when the file cannot be created or opened.
  explicit TTempFileStream(const std::string& prefix = "", const std::string& folder = "");
  ~TTempFileStream();
  TTempFileStream(const TTempFileStream&) = delete;
  TTempFileStream& operator=(const TTempFileStream&) = delete;

  const std::string& FileName() const { return FFileName; }
  // The open file, for code that reads or writes a TArcFile.
  TArcFile& File() { return FFile; }

  int64_t Read(void* buf, int64_t count) { return FFile.Read(buf, count); }
  int64_t Write(const void* buf, int64_t count) { return FFile.Write(buf, count); }
  bool Seek(int64_t pos) { return FFile.Seek(pos); }
  int64_t Position() const { return FFile.Position(); }
  int64_t Size() const { return FFile.Size(); }

 private:
  std::string FFileName;
  TArcFile FFile;
};

}  // namespace quil
