// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quil::test {

class TTempDir {
 public:
  TTempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "quiltestXXXXXX").string();
    char* p = ::mkdtemp(templ.data());
    FPath = p ? p : "";
  }
  ~TTempDir() {
    std::error_code ec;
    // Give back write permission so read-only outputs can be removed.
    for (auto& e : std::filesystem::recursive_directory_iterator(FPath, ec))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add |
                                       std::filesystem::perm_options::nofollow, ec);
    std::filesystem::remove_all(FPath, ec);
  }
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& rel) const { return FPath + "/" + rel; }
  // Writes `data` to `rel` (folders created) and returns the full path.
  std::string Write(const std::string& rel, const std::string& data) const {
    std::string full = *this / rel;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary) << data;
    return full;
  }

 private:
  std::string FPath;
};

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quil::test
