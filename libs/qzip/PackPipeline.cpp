#include "libs/qzip/PackPipeline.h"

#include <new>

#include "libs/common/ZipDllApi.h"
#include "libs/qzip/Reporter.h"
#include "libs/qzip/TraditionalCipher.h"

namespace quil::qzip {

PackPipeline::PackPipeline(std::vector<PackJob>& jobs, int threads)
    : FJobs(jobs), FDone(jobs.size(), 0), FWindow(size_t(threads) * 2) {
  for (int i = 0; i < threads; ++i) FThreads.emplace_back([this] { Work(); });
}

PackPipeline::~PackPipeline() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FStop = true;
  }
  FCv.notify_all();
  for (auto& t : FThreads) t.join();
}

void PackPipeline::Work() {
  MemoryDeflater deflater;
  for (;;) {
    size_t i;
    {
      std::unique_lock<std::mutex> lock(FMutex);
      FCv.wait(lock, [&] { return FStop || (FNext < FJobs.size() && FNext < FWritten + FWindow); });
      if (FStop) return;
      i = FNext++;
    }
    PackJob& job = FJobs[i];
    if (!job.Streamed) {
      try {
        deflater.Pack(ReadWholeFile(job.Path), job.Level, job.Packed);
        if (!job.Password.empty()) {
          TraditionalCipher cipher(job.Password);
          std::string header = cipher.Header(job.Packed.Crc);
          cipher.Encrypt(reinterpret_cast<uint8_t*>(job.Packed.Data.data()),
                         job.Packed.Data.size());
          job.Packed.Data.insert(0, header);
        }
      } catch (const ZipAbort& e) {
        job.Failed = true;
        job.ErrorCode = e.Code;
        job.ErrorText = e.Text;
      } catch (const std::bad_alloc&) {
        job.Failed = true;
        job.ErrorCode = QZIP_MSG_NO_MEMORY;
        job.ErrorText = "Out of memory compressing " + job.Path;
      }
    }
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FDone[i] = 1;
    }
    FCv.notify_all();
  }
}

PackJob& PackPipeline::Wait(size_t i) {
  std::unique_lock<std::mutex> lock(FMutex);
  FCv.wait(lock, [&] { return FDone[i] != 0; });
  return FJobs[i];
}

void PackPipeline::Written(size_t i) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FJobs[i].Packed.Data = std::string();
    if (i + 1 > FWritten) FWritten = i + 1;
  }
  FCv.notify_all();
}

}  // namespace quil::qzip
