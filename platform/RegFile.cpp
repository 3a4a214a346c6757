#include "platform/RegFile.h"

#include <algorithm>
#include <cstdio>

namespace quil {
namespace {

constexpr char kHeader[] = "REGEDIT4";
constexpr size_t kHexLineWidth = 76;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Names compare without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view LastName(std::string_view path) {
  size_t p = path.rfind('\\');
  return p == std::string_view::npos ? path : path.substr(p + 1);
}

// Parses "xx,xx,..." (blanks allowed around items); an empty list is valid.
bool ParseHexList(std::string_view s, std::string& out) {
  out.clear();
  s = Trim(s);
  if (s.empty()) return true;
  size_t i = 0;
  for (;;) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i + 2 > s.size()) return false;
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i == s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
  }
}

bool ParseDword(std::string_view s, uint32_t& out) {
  s = Trim(s);
  if (s.empty() || s.size() > 8) return false;
  uint32_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  out = v;
  return true;
}

void AppendValueLine(std::string& out, const TRegValue& v) {
  std::string line = v.Name.empty() ? "@" : QuoteRegString(v.Name);
  line += '=';
  char buf[16];
  switch (v.Type) {
    case rdString:
      line += QuoteRegString(v.Data);
      break;
    case rdInteger:
      std::snprintf(buf, sizeof buf, "dword:%08x", v.Number);
      line += buf;
      break;
    case rdBinary:
    case rdUnknown:
      line += "hex:";
      for (size_t i = 0; i < v.Data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(v.Data[i]));
        line += buf;
        if (i + 1 < v.Data.size()) {
          line += ',';
          if (line.size() >= kHexLineWidth) {
            out += line;
            out += "\\\n";
            line = "  ";
          }
        }
      }
      break;
  }
  out += line;
  out += '\n';
}

}  // namespace

std::string FoldRegName(std::string_view name) {
  std::string s(name);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string NormalizeKeyPath(std::string_view path) {
  std::string out;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = i;
    while (j < path.size() && path[j] != '\\' && path[j] != '/') ++j;
    std::string_view name = path.substr(i, j - i);
    if (!name.empty()) {
      for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return {};
      }
      if (!out.empty()) out += '\\';
      out += name;
    }
    i = j + 1;
  }
  return out;
}

bool TRegTree::KeyExists(std::string_view path) const { return FindKey(path) != nullptr; }

TRegKey* TRegTree::FindKey(std::string_view path) {
  auto it = FKeys.find(FoldRegName(path));
  return it == FKeys.end() ? nullptr : &it->second;
}

const TRegKey* TRegTree::FindKey(std::string_view path) const {
  auto it = FKeys.find(FoldRegName(path));
  return it == FKeys.end() ? nullptr : &it->second;
}

TRegKey& TRegTree::CreateKey(std::string_view path) {
  // Parents first, each keeping the case it already has.
  size_t pos = 0;
  for (;;) {
    pos = path.find('\\', pos);
    std::string_view part = path.substr(0, pos);
    std::string folded = FoldRegName(part);
    auto it = FKeys.find(folded);
    if (it == FKeys.end()) {
      std::string stored;
      size_t cut = part.rfind('\\');
      if (cut != std::string_view::npos) stored = FKeys.at(FoldRegName(part.substr(0, cut))).Path + '\\';
      stored += LastName(part);
      it = FKeys.emplace(folded, TRegKey{stored, {}}).first;
    }
    if (pos == std::string_view::npos) return it->second;
    ++pos;
  }
}

bool TRegTree::DeleteKey(std::string_view path) {
  std::string folded = FoldRegName(path);
  auto it = FKeys.find(folded);
  if (it == FKeys.end()) return false;
  std::string prefix = folded + '\\';
  auto end = FKeys.lower_bound(prefix);
  while (end != FKeys.end() && end->first.compare(0, prefix.size(), prefix) == 0) ++end;
  // The key itself, then its subkeys (which all sort directly after "key\").
  FKeys.erase(it);
  FKeys.erase(FKeys.lower_bound(prefix), end);
  return true;
}

std::vector<std::string> TRegTree::SubKeyNames(std::string_view path) const {
  std::vector<std::string> names;
  std::string prefix = FoldRegName(path) + '\\';
  for (auto it = FKeys.lower_bound(prefix);
       it != FKeys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (it->first.find('\\', prefix.size()) == std::string::npos) {
      names.emplace_back(LastName(it->second.Path));
    }
  }
  return names;
}

const TRegValue* TRegTree::FindValue(std::string_view key, std::string_view name) const {
  const TRegKey* k = FindKey(key);
  if (k == nullptr) return nullptr;
  for (const TRegValue& v : k->Values) {
    if (SameName(v.Name, name)) return &v;
  }
  return nullptr;
}

void TRegTree::SetValue(std::string_view key, const TRegValue& value) {
  TRegKey& k = CreateKey(key);
  for (TRegValue& v : k.Values) {
    if (SameName(v.Name, value.Name)) {
      std::string keepName = v.Name;
      v = value;
      v.Name = keepName;
      return;
    }
  }
  k.Values.push_back(value);
}

bool TRegTree::DeleteValue(std::string_view key, std::string_view name) {
  TRegKey* k = FindKey(key);
  if (k == nullptr) return false;
  auto it = std::find_if(k->Values.begin(), k->Values.end(),
                         [&](const TRegValue& v) { return SameName(v.Name, name); });
  if (it == k->Values.end()) return false;
  k->Values.erase(it);
  return true;
}

std::string QuoteRegString(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

bool UnquoteRegString(std::string_view line, size_t& pos, std::string& out) {
  out.clear();
  if (pos >= line.size() || line[pos] != '"') return false;
  size_t i = pos + 1;
  while (i < line.size()) {
    char c = line[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < line.size()) {
      char e = line[i + 1];
      int hi, lo;
      switch (e) {
        case '\\': out += '\\'; i += 2; continue;
        case '"': out += '"'; i += 2; continue;
        case 'n': out += '\n'; i += 2; continue;
        case 'r': out += '\r'; i += 2; continue;
        case 't': out += '\t'; i += 2; continue;
        case 'x':
          if (i + 3 < line.size() && (hi = HexDigit(line[i + 2])) >= 0 &&
              (lo = HexDigit(line[i + 3])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 4;
            continue;
          }
          break;
        default:
          break;
      }
    }
    // A backslash before any other character stands for itself.
    out += c;
    ++i;
  }
  return false;
}

std::string FormatRegFile(const TRegTree& tree) {
  std::string out = kHeader;
  out += "\n";
  for (const auto& [folded, key] : tree.Keys()) {
    out += "\n[";
    out += key.Path;
    out += "]\n";
    for (const TRegValue& v : key.Values) AppendValueLine(out, v);
  }
  return out;
}

TRegTree ParseRegFile(std::string_view text, size_t* skipped) {
  TRegTree tree;
  size_t bad = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::string current;  // normalised path of the current key; empty: none
  for (size_t li = 0; li < lines.size(); ++li) {
    std::string_view line = Trim(lines[li]);
    if (line.empty() || line[0] == ';' || line == kHeader ||
        line == "Windows Registry Editor Version 5.00") {
      continue;
    }
    if (line[0] == '[') {
      current.clear();
      if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
        ++bad;
        continue;
      }
      current = NormalizeKeyPath(line.substr(1, line.size() - 2));
      if (current.empty()) {
        ++bad;
        continue;
      }
      tree.CreateKey(current);
      continue;
    }
    if (current.empty()) {
      ++bad;
      continue;
    }
    TRegValue v;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (!UnquoteRegString(line, pos, v.Name) || v.Name.empty()) {
      ++bad;
      continue;
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') {
      ++bad;
      continue;
    }
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    std::string_view data = line.substr(pos);
    bool ok = false;
    if (!data.empty() && data[0] == '"') {
      size_t p = 0;
      ok = UnquoteRegString(data, p, v.Data) && Trim(data.substr(p)).empty();
      v.Type = rdString;
    } else if (data.substr(0, 6) == "dword:") {
      ok = ParseDword(data.substr(6), v.Number);
      v.Type = rdInteger;
    } else if (data.substr(0, 4) == "hex:") {
      std::string list(data.substr(4));
      // Continuation lines: each line but the last ends with '\'.
      while (!list.empty() && list.back() == '\\' && li + 1 < lines.size()) {
        list.pop_back();
        list += Trim(lines[++li]);
      }
      ok = ParseHexList(list, v.Data);
      v.Type = rdBinary;
    }
    if (!ok) {
      ++bad;
      continue;
    }
    tree.SetValue(current, v);
  }
  if (skipped != nullptr) *skipped = bad;
  return tree;
}

}  // namespace quil
