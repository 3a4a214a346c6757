#include "app/TextHelpers.h"

#include <cmath>

namespace quil {

std::string GroupThousands(std::string_view digits) {
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string GroupThousands(int64_t value) {
  if (value < 0) return "-" + GroupThousands(std::to_string(-(value + 1) + uint64_t(1)));
  return GroupThousands(std::to_string(value));
}

int64_t RoundHalfEven(double x) {
  double r = std::round(x);
  if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
  return static_cast<int64_t>(r);
}

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// True when `text` at `pos` holds `seg`, '?' in seg matching any character.
bool SegmentAt(std::string_view text, size_t pos, std::string_view seg) {
  if (pos + seg.size() > text.size()) return false;
  for (size_t k = 0; k < seg.size(); ++k)
    if (seg[k] != '?' && seg[k] != text[pos + k]) return false;
  return true;
}

}  // namespace

bool MatchWildcard(std::string_view nameIn, std::string_view patternIn, bool ignoreCase) {
  std::string pattern(patternIn);
  for (size_t p; (p = pattern.find("**")) != std::string::npos;) pattern.erase(p, 1);
  if (pattern == "*") return true;
  std::string name(nameIn);
  if (ignoreCase) {
    for (char& c : name) c = Upper(c);
    for (char& c : pattern) c = Upper(c);
  }
  size_t n = 0, p = 0;
  while (n < name.size() && p < pattern.size()) {
    char pc = pattern[p];
    if (pc == '*') {
      size_t next = pattern.find('*', p + 1);
      std::string_view seg =
          std::string_view(pattern).substr(p + 1, next == std::string::npos ? next : next - p - 1);
      if (next == std::string::npos) {
        if (seg.empty()) return true;
        if (name.size() - n < seg.size()) return false;
        return SegmentAt(name, name.size() - seg.size(), seg);
      }
      // Search at most 255 characters of the rest of the name for the segment.
      std::string_view rest = std::string_view(name).substr(n, 255);
      size_t found = std::string_view::npos;
      for (size_t i = 0; i + seg.size() <= rest.size(); ++i)
        if (SegmentAt(rest, i, seg)) {
          found = i;
          break;
        }
      if (found == std::string_view::npos) return false;
      n += found + seg.size();
      p = next;
    } else if (pc == '?' || pc == name[n]) {
      ++n;
      ++p;
    } else {
      return false;
    }
  }
  return n == name.size() && p == pattern.size();
}

}  // namespace quil
