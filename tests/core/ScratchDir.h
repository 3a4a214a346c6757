// A fresh folder under the build tree for one test, removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = std::string(QUIL_BINARY_DIR) + "/scratch-XXXXXX";
    FPath = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~ScratchDir() {
    std::error_code ec;
    // Give back write permission first, so read-only leftovers can go too.
    for (auto& e : std::filesystem::recursive_directory_iterator(FPath, ec))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FPath, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& rel) const { return FPath + "/" + rel; }
  // Writes a file with the given bytes and returns its path.
  std::string Write(const std::string& rel, const std::string& bytes) const {
    std::string p = *this / rel;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

 private:
  std::string FPath;
};
