#include "engine/core/Names.h"

#include <algorithm>

namespace quil {

namespace {
size_t NamePartStart(std::string_view path) {
  size_t slash = path.find_last_of(PathDelim);
  return slash == std::string_view::npos ? 0 : slash + 1;
}
}  // namespace

std::string ToPathDelims(std::string_view s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), '\\', PathDelim);
  return out;
}

std::string AppendPathDelim(std::string_view s) {
  std::string out(s);
  if (!out.empty() && out.back() != PathDelim) out += PathDelim;
  return out;
}

std::string RemovePathDelim(std::string_view s) {
  if (!s.empty() && s.back() == PathDelim) s.remove_suffix(1);
  return std::string(s);
}

std::string ExtractFilePath(std::string_view path) {
  return std::string(path.substr(0, NamePartStart(path)));
}

std::string ExtractFileName(std::string_view path) {
  return std::string(path.substr(NamePartStart(path)));
}

std::string ExtractFileExt(std::string_view path) {
  std::string_view name = path.substr(NamePartStart(path));
  size_t dot = name.find_last_of('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

size_t NameStemLength(std::string_view name) {
  size_t dot = name.find('.');
  return dot == std::string_view::npos ? name.size() : dot;
}

uint64_t ParseOctal(std::string_view text) {
  uint64_t v = 0;
  for (char c : text)
    if (c >= '0' && c <= '7') v = v * 8 + static_cast<uint64_t>(c - '0');
  return v;
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string SplitAtMarker(std::string& text, std::string_view marker) {
  size_t at = marker.empty() ? std::string::npos : text.find(marker);
  std::string head;
  if (at == std::string::npos) {
    head.swap(text);
  } else {
    head = text.substr(0, at);
    text.erase(0, at + marker.size());
  }
  return head;
}

int32_t PercentOf(int64_t part, int64_t whole) {
  if (whole < 1 || part < 0) return 0;
  // Exact rounding without overflow: (part * 200 + whole) / (2 * whole).
  const __int128 q =
      (static_cast<__int128>(part) * 200 + whole) / (static_cast<__int128>(whole) * 2);
  return q > 100 ? 100 : static_cast<int32_t>(q);
}

}  // namespace quil
