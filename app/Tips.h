// The tips shown by the tip-of-the-day dialog, numbered 1..26 ("Current Tip" names the next).
#pragma once

#include <array>
#include <string_view>

namespace quil {

inline constexpr int TipCount = 26;
// Tip n (1..26); an n outside the range gives tip 1.
std::string_view TipText(int n);

}  // namespace quil
