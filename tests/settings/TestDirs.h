// Helpers for tests that work on real files: a temporary folder removed afterwards, environment
// variables restored afterwards, small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

namespace quil::test {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/quil-settings-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    FPath = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

// Sets or clears environment variables for the lifetime of the object.
class ScopedEnv {
 public:
  ~ScopedEnv() {
    for (auto& [name, old] : FSaved) {
      if (old) setenv(name.c_str(), old->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const std::optional<std::string>& value) {
    if (!FSaved.count(name)) {
      const char* v = getenv(name.c_str());
      FSaved[name] = v ? std::optional<std::string>(v) : std::nullopt;
    }
    if (value) setenv(name.c_str(), value->c_str(), 1);
    else unsetenv(name.c_str());
  }

 private:
  std::map<std::string, std::optional<std::string>> FSaved;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

}  // namespace quil::test
