// Feeds arbitrary bytes to the text helpers: wildcard matching (pattern and name separated by
// the first newline; the first byte chooses name-only matching), the name conversions, and the
// CRC-32 code paths, which must agree with the byte-wise rule.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/core/Charsets.h"
#include "engine/core/Crc.h"
#include "engine/core/FileSpec.h"
#include "engine/core/Names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quil;
  if (size == 0) return 0;
  const bool nameOnly = data[0] & 1;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t nl = text.find('\n');
  std::string_view spec = text.substr(0, nl);
  std::string_view name = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
  MatchSpec(spec, name, nameOnly);
  MatchSpec(name, spec, !nameOnly);

  if (!IsValidUtf8(OemToAnsiName(text)) || !IsValidUtf8(Win1252ToUtf8(text))) __builtin_trap();
  if (AnsiToOemName(text).size() > text.size()) __builtin_trap();
  ParseOctal(text);
  PercentOf(static_cast<int64_t>(size) - 7, static_cast<int64_t>(text.size()) - 3);

  const uint32_t slow = crc_impl::Bytewise(~0u, data, size);
  uint32_t fast = ~0u;
  CrcUpdate32(data, size, fast);
  if (fast != slow) __builtin_trap();
  return 0;
}
