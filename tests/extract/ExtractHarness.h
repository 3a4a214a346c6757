// Runs the ZIP extractor on a file and records what its events said.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/Messages.h"
#include "engine/extract/UnZIP.h"

namespace quil::test {

struct TEndEvent {
  std::string Name;
  bool Pass = false;
};

struct TExtractLog {
  std::vector<TEndEvent> Ends;
  std::vector<int32_t> Errors;
  std::vector<std::string> Events;  // "begin", "password", "error 25151", "end", ... in order
  bool Threw = false;
  int Passed() const {
    int n = 0;
    for (const auto& e : Ends) n += e.Pass;
    return n;
  }
};

// Hooks the recording handlers onto `z` (OnBegin, OnError, OnEnd; OnGetPassword is left alone).
inline void Record(TUnZIP& z, TExtractLog& log) {
  z.OnBegin = [&log](TArcMain*, const std::string&, int32_t, bool&) { log.Events.push_back("begin"); };
  z.OnError = [&log](TArcMain*, const std::string&, const std::string&, const std::string&,
                     int32_t code) {
    log.Errors.push_back(code);
    log.Events.push_back("error " + std::to_string(code));
  };
  z.OnEnd = [&log](TArcMain*, const std::string& fn, bool pass) {
    log.Ends.push_back({fn, pass});
    log.Events.push_back("end");
  };
}

// Extracts (or tests, when `dir` is empty) `archive`; `password` goes into Passwords.
inline TExtractLog RunUnZip(TUnZIP& z, const std::string& archive, const std::string& dir,
                            const std::string& password = "") {
  TExtractLog log;
  z.SetArchiveFile(archive);
  z.SetFileSpec({"*"});
  if (!password.empty()) z.Passwords().push_back(password);
  if (!z.OnEnd) Record(z, log);
  try {
    if (dir.empty()) {
      z.ExtractForTest();
    } else {
      z.SetExtractDir(dir);
      z.Extract();
    }
  } catch (const E_RAISE&) {
    log.Threw = true;
  }
  return log;
}

}  // namespace quil::test
