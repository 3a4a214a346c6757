#include "engine/core/FileSpec.h"

#include <algorithm>

#include "engine/core/Charsets.h"
#include "engine/core/Names.h"

namespace quil {

namespace {

using Text = std::u32string;

void CutToNamePart(Text& t) {
  size_t slash = t.find_last_of(U'/');
  if (slash != Text::npos) t.erase(0, slash + 1);
}

bool EndsWithDot(const Text& t) { return !t.empty() && t.back() == U'.'; }

bool HasDotInNamePart(const Text& t) {
  size_t slash = t.find_last_of(U'/');
  return t.find(U'.', slash == Text::npos ? 0 : slash + 1) != Text::npos;
}

char32_t Upper(char32_t c) { return c >= U'a' && c <= U'z' ? c - 32 : c; }

// Does spec[i..] match name[j..]? Filled from the ends backwards, one table row for each pattern
// position, so the cost is |spec| * |name| steps for any pattern.
bool Walk(const Text& s, const Text& n) {
  const size_t sl = s.size(), nl = n.size();
  std::vector<char> next(nl + 1), row(nl + 1);  // row i+1 and row i
  // Row sl: the spec is used up; only '*' may be left in the name.
  next[nl] = 1;
  for (size_t j = nl; j-- > 0;) next[j] = n[j] == U'*' && next[j + 1];
  for (size_t i = sl; i-- > 0;) {
    const char32_t sc = s[i];
    // Column nl: the name is used up; only '*' may be left in the spec.
    row[nl] = sc == U'*' && next[nl];
    for (size_t j = nl; j-- > 0;) {
      const char32_t nc = n[j];
      bool m;
      if (sc == U'*')
        m = i + 1 == sl || next[j] || row[j + 1];  // last '*' takes the rest; else none or one more
      else if (nc == U'*')
        m = j + 1 == nl || row[j + 1] || next[j];
      else if (sc == U'?' || nc == U'?' || Upper(sc) == Upper(nc))
        m = next[j + 1];
      else
        m = false;
      row[j] = m;
    }
    std::swap(row, next);
  }
  return next[0];
}

}  // namespace

bool MatchSpec(std::string_view specText, std::string_view nameText, bool nameOnly) {
  Text spec = Utf8ToCodePoints(ToPathDelims(specText));
  Text name = Utf8ToCodePoints(nameText);
  if (nameOnly) {
    CutToNamePart(spec);
    CutToNamePart(name);
  }
  const Text kAnyExt = U".*";
  bool specWantsNoExt = false;
  if (EndsWithDot(spec)) {
    spec.pop_back();
    specWantsNoExt = true;
  } else if (spec.find(U'.') == Text::npos && name.find(kAnyExt) != Text::npos) {
    spec += kAnyExt;
  }
  if (EndsWithDot(name))
    name.pop_back();
  else if (name.find(U'.') == Text::npos && spec.find(kAnyExt) != Text::npos)
    name += kAnyExt;
  if (specWantsNoExt && HasDotInNamePart(name)) return false;

  if (spec.empty() && name.empty()) return true;
  if (spec.empty() ? name.front() != U'*' : (name.empty() && spec.front() != U'*')) return false;
  return Walk(spec, name);
}

void NormalizeSpecs(std::vector<std::string>& specs) {
  for (std::string& s : specs) s = ExtractFileName(ToPathDelims(s));
  std::erase_if(specs, [](const std::string& s) { return s.empty(); });
}

bool MatchesFileSpec(std::string_view name, bool nameOnly,
                     const std::vector<std::string>& fileSpec,
                     const std::vector<std::string>& excludeSpec) {
  auto included = [&](const std::string& s) { return MatchSpec(s, name, nameOnly); };
  auto excluded = [&](const std::string& s) { return MatchSpec(s, name, false); };
  return std::any_of(fileSpec.begin(), fileSpec.end(), included) &&
         std::none_of(excludeSpec.begin(), excludeSpec.end(), excluded);
}

}  // namespace quil
