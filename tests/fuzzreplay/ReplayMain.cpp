// Runs a fuzz target's entry point over every file of its corpus folder.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  size_t n = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (!fs::exists(argv[i], ec)) continue;
    for (const auto& e : fs::recursive_directory_iterator(argv[i])) {
      if (!e.is_regular_file()) continue;
      std::ifstream in(e.path(), std::ios::binary);
      std::vector<uint8_t> buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(buf.data(), buf.size());
      ++n;
    }
  }
  std::printf("replayed %zu inputs\n", n);
  return 0;
}
