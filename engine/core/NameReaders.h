// Reading the names that headers store as counted or zero-terminated byte strings. Positions are
// 0-based file offsets. The bytes are returned as stored; callers convert the character set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/ArcFile.h"

namespace quil {

// Reads `count` bytes (0..255) at `position` and advances position by count. The name ends at the
// first zero byte, if any. nullopt (position unchanged) when count is out of range or the bytes
// are not all there.
std::optional<std::string> ReadCountedName(TArcFile& file, int64_t& position, int count);
// Reads the zero-terminated name at `position` (at most 255 bytes before the zero) and advances
// position past the zero. nullopt (position unchanged) when no zero byte follows within 256
// bytes or the file ends first.
std::optional<std::string> ReadZeroTerminatedName(TArcFile& file, int64_t& position);

}  // namespace quil
