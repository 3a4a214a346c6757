// Text helpers of the window program and its dialogs: thousands grouping, the dialogs' wildcard
// matching, and rounding to the nearest integer with halves to even.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quil {

// Inserts ',' before every group of three digits counted from the right: "1234567" gives
// "1,234,567", "999" stays "999". The separator is always the comma, whatever the locale.
std::string GroupThousands(std::string_view digits);
std::string GroupThousands(int64_t value);

// The wildcard rule of the selection, search, add and extract dialogs. '?' matches one
// character; '*' matches a run of characters, but a trailing '*' must still cover at least one
// character ("abc*" matches "abcd", not "abc"), and "*.*" needs a dot in the name. "**" counts as
// "*", and a pattern that is then exactly "*" matches every name. With ignoreCase the letters
// a-z compare without regard to case.
bool MatchWildcard(std::string_view name, std::string_view pattern, bool ignoreCase);

// x rounded to the nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
int64_t RoundHalfEven(double x);

}  // namespace quil
