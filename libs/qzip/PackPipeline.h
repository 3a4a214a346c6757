// Compresses the files of an add command on worker threads, one file per thread, while the
// caller's thread writes the results in archive order. Workers run at most a few files ahead of
// the writer so that memory stays bounded. Large files are left to the writer, which streams them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "libs/qzip/EntryCompressor.h"

namespace quil::qzip {

struct PackJob {
  std::string Path;
  int Level = 0;          // 0 stores
  std::string Password;   // encrypts when not empty
  bool Streamed = false;  // left to the writer
  // Results:
  PackedData Packed;
  bool Failed = false;
  int ErrorCode = 0;
  std::string ErrorText;
};

class PackPipeline {
 public:
  PackPipeline(std::vector<PackJob>& jobs, int threads);
  ~PackPipeline();  // stops and joins the workers
  // Waits until job `i` is ready (its Packed data filled, or Failed, or Streamed).
  PackJob& Wait(size_t i);
  // Job `i` has been written: its memory is released and workers may go further.
  void Written(size_t i);

 private:
  void Work();
  std::vector<PackJob>& FJobs;
  std::vector<char> FDone;
  std::mutex FMutex;
  std::condition_variable FCv;
  size_t FNext = 0;
  size_t FWritten = 0;
  size_t FWindow;
  bool FStop = false;
  std::vector<std::thread> FThreads;
};

}  // namespace quil::qzip
