// The libraries' side of the callback: progress, messages, questions and cancelling. The writing
// library and the reading library (libs/qunzip) both report through it.
#pragma once

#include <cstdint>
#include <string>

#include "libs/common/ZipDllApi.h"

namespace quil::qzip {

// Thrown when the callback asks to stop or a failure ends the command; the code is reported.
struct ZipAbort {
  int Code;
  std::string Text;
};

class Reporter {
 public:
  Reporter(QZipCallback cb, void* window, void* caller)
      : FCb(cb), FWindow(window), FCaller(caller) {}

  // Each returns normally to go on; throws ZipAbort{QZIP_MSG_ABORTED} when the callback says stop.
  void FileBegins(const std::string& name, int64_t size);
  void BytesDone(int64_t n);
  void BatchEnd();
  void TotalFiles(int64_t n);
  void TotalBytes(int64_t n);
  void Message(int code, const std::string& text);
  // Offers the name a file will be stored under; returns the (possibly changed) name.
  std::string OfferName(const std::string& name);
  // Asks for a password for adding; empty when none was given.
  std::string AskPassword(const std::string& forFile);

  // --- the reading library's questions ---
  // Asks for a password to read `forFile`; `repeat` goes out as the allowed number of requests
  // and comes back as what the caller allows from now on. Empty when none was given.
  std::string AskExtractPassword(const std::string& forFile, int32_t& repeat);
  // A CRC mismatch; returns the answer: 1 keep the file, 0 discard it, 2 no opinion.
  int CrcError(const std::string& name, uint32_t found, uint32_t expected);
  // `name` exists; returns whether to replace it (no answer: keep it).
  bool ConfirmOverwrite(const std::string& name, bool existingIsOlder);
  void Skipped(const std::string& name, int reason, int error);

 private:
  int32_t Call(QZipCallbackRec& r);
  QZipCallbackRec Make(int action, int32_t v1, int64_t v2, const std::string& text) const;
  QZipCallback FCb;
  void* FWindow;
  void* FCaller;
};

}  // namespace quil::qzip
