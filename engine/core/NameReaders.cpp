#include "engine/core/NameReaders.h"

#include <cstring>

namespace quil {

namespace {
constexpr int kNameBuffer = 256;
}

std::optional<std::string> ReadCountedName(TArcFile& file, int64_t& position, int count) {
  if (count < 0 || count >= kNameBuffer || position < 0) return std::nullopt;
  char buf[kNameBuffer];
  if (!file.Seek(position) || file.Read(buf, count) != count) return std::nullopt;
  position += count;
  return std::string(buf, strnlen(buf, static_cast<size_t>(count)));
}

std::optional<std::string> ReadZeroTerminatedName(TArcFile& file, int64_t& position) {
  if (position < 0 || !file.Seek(position)) return std::nullopt;
  char buf[kNameBuffer];
  int64_t got = 0;
  while (got < kNameBuffer) {
    int64_t n = file.Read(buf + got, kNameBuffer - got);
    if (n <= 0) break;
    got += n;
  }
  const void* zero = std::memchr(buf, 0, static_cast<size_t>(got));
  if (!zero) return std::nullopt;
  size_t len = static_cast<size_t>(static_cast<const char*>(zero) - buf);
  position += static_cast<int64_t>(len) + 1;
  return std::string(buf, len);
}

}  // namespace quil
