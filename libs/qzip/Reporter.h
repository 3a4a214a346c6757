// The writing library's side of the callback: progress, messages, questions and cancelling.
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

 private:
  int32_t Call(QZipCallbackRec& r);
  QZipCallbackRec Make(int action, int32_t v1, int64_t v2, const std::string& text) const;
  QZipCallback FCb;
  void* FWindow;
  void* FCaller;
};

}  // namespace quil::qzip
