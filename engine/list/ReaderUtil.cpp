#include "engine/list/ReaderUtil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "engine/core/Charsets.h"
#include "engine/list/ZuvOD.h"

namespace quil::reader {

void ReadExact(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n) {
  if (n <= 0) return;
  if (pos < 0 || z.ReadAt(pos, buf, n) != n) z.RaiseError(z.VolumeName(), "", "0", 25236);
}

int64_t ReadSome(TZuvOD& z, int64_t pos, uint8_t* buf, int64_t n) {
  if (n <= 0 || pos < 0) return 0;
  int64_t got = z.ReadAt(pos, buf, n);
  return got < 0 ? 0 : got;
}

void StopListing(TZuvOD& z) { z.SetReadPos(z.EndPos()); }

void MoveTo(TZuvOD& z, int64_t next, int64_t headerStart) {
  if (next <= headerStart) {
    StopListing(z);
    return;
  }
  z.SetReadPos(next);
}

void BadHeader(TZuvOD& z) {
  z.RaiseError(z.VolumeName(), "", "0", 25108);
  std::abort();  // not reached: RaiseError throws
}

std::optional<std::string> ReadZText(TZuvOD& z, int64_t& pos, int maxLen) {
  uint8_t buf[1024];
  int want = std::min(maxLen + 1, static_cast<int>(sizeof buf));
  int64_t got = ReadSome(z, pos, buf, want);
  for (int64_t i = 0; i < got; ++i) {
    if (buf[i] == 0) {
      pos += i + 1;
      return std::string(reinterpret_cast<char*>(buf), static_cast<size_t>(i));
    }
  }
  return std::nullopt;
}

std::string UpToZero(const uint8_t* p, size_t n) {
  const uint8_t* e = std::find(p, p + n, uint8_t{0});
  return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(e - p));
}

std::string OemName(std::string_view raw) { return OemToAnsiName(raw); }

std::string Utf8OrOemName(std::string_view raw) { return StoredNameToUtf8(raw, IsValidUtf8(raw)); }

std::string AsFolder(std::string name) {
  if (!name.empty() && name.back() != '/') name += '/';
  return name;
}

namespace {

bool EndsWithNoCase(const std::string& s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
      return false;
  return true;
}

}  // namespace

bool IsNewStyleVolumeName(const std::string& name) {
  if (!EndsWithNoCase(name, ".rar")) return false;
  size_t end = name.size() - 4, i = end;
  while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1]))) --i;
  if (i == end || i < 5) return false;
  std::string part = name.substr(i - 5, 5);
  return EndsWithNoCase(part, ".part");
}

std::string NextVolumeFileName(const std::string& current, char letter, int number) {
  if (IsNewStyleVolumeName(current)) {
    size_t end = current.size() - 4, i = end;
    while (i > 0 && std::isdigit(static_cast<unsigned char>(current[i - 1]))) --i;
    std::string digits = current.substr(i, end - i);
    // Increment the decimal text, keeping its width (it grows on overflow).
    int k = static_cast<int>(digits.size()) - 1;
    while (k >= 0 && digits[k] == '9') digits[k--] = '0';
    if (k < 0) digits.insert(digits.begin(), '1');
    else ++digits[k];
    return current.substr(0, i) + digits + current.substr(end);
  }
  size_t slash = current.rfind('/');
  size_t dot = current.rfind('.');
  std::string stem = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                         ? current
                         : current.substr(0, dot);
  // Follow the case of the current extension.
  bool upper = dot != std::string::npos && dot + 1 < current.size() &&
               std::isupper(static_cast<unsigned char>(current[dot + 1]));
  char l = static_cast<char>(upper ? std::toupper(letter) : std::tolower(letter));
  int n = number;
  while (n > 99) {  // .r99 is followed by .s00
    n -= 100;
    ++l;
  }
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%c%02d", l, n);
  return stem + suffix;
}

bool SwitchToVolume(TZuvOD& z, std::string name, int number) {
  if (!z.OnNextVolume) return false;
  if (!z.RequestNextVolume(name, static_cast<int64_t>(number))) return false;
  TArcFile& f = z.ArcFile();
  std::string id = std::to_string(number);
  if (!f.Close()) z.RaiseError(name, "", id, 25137);
  if (!f.Open(name, TArcFile::ReadOnly)) {
    f.Open(z.ArchiveFile(), TArcFile::ReadOnly);
    z.RaiseError(name, "", id, 25236);
  }
  int64_t size = f.Size();
  if (size < 0) z.RaiseError(name, "", id, 25236);
  z.DetectionState().ArchiveSize = size;
  z.SetEndPos(size);
  z.SetVolumeName(name);
  return true;
}

}  // namespace quil::reader
