// The settings tree and its text form. Keys are paths of names joined by '\' whose first name is a
// root ("HKEY_CURRENT_USER"); each key holds named, typed values. Key and value names compare
// without regard to ASCII case and keep the case they were first written with.
//
// Text form, one file:
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Quillet]
//   "Last open dir"="/home/ann/"
//   "Sort order"=dword:00000001
//   "Data"=hex:50,4b,05,06
//   @="the key's default value"
//
// Strings escape '\' as \\, '"' as \", line feed, carriage return and tab as \n, \r, \t and
// every other control byte as \xHH; all other bytes (UTF-8 included) are written as they are.
// Long hex lists continue on the next line after a trailing '\'. Reading is lenient: a line that
// cannot be understood is skipped and counted, and never stops the rest of the file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quil {

enum TRegDataType { rdUnknown, rdString, rdInteger, rdBinary };

struct TRegValue {
  std::string Name;          // empty: the key's default value ("@")
  TRegDataType Type = rdUnknown;
  std::string Data;          // rdString: the text; rdBinary: the bytes
  uint32_t Number = 0;       // rdInteger

  bool operator==(const TRegValue&) const = default;
};

struct TRegKey {
  std::string Path;               // as first written, e.g. "HKEY_CURRENT_USER\Software\Quillet"
  std::vector<TRegValue> Values;  // in the order they were first written

  bool operator==(const TRegKey&) const = default;
};

// ASCII lower-case copy, for comparing names.
std::string FoldRegName(std::string_view name);
// A key path in its stored form: '/' turned into '\', empty names and leading, trailing or doubled
// '\' dropped. Empty when the path holds a byte that the text form cannot carry in a key line
// (a control byte).
std::string NormalizeKeyPath(std::string_view path);

class TRegTree {
 public:
  // Keys. Creating a key creates its missing parents; deleting one removes everything below it.
  bool KeyExists(std::string_view path) const;
  TRegKey* FindKey(std::string_view path);
  const TRegKey* FindKey(std::string_view path) const;
  TRegKey& CreateKey(std::string_view path);  // path must be normalised and not empty
  bool DeleteKey(std::string_view path);
  // Names of the direct subkeys of `path`, in case-insensitive order.
  std::vector<std::string> SubKeyNames(std::string_view path) const;

  // Values of an existing key (the setters create the key).
  const TRegValue* FindValue(std::string_view key, std::string_view name) const;
  void SetValue(std::string_view key, const TRegValue& value);
  bool DeleteValue(std::string_view key, std::string_view name);

  // Every key, parents before children.
  const std::map<std::string, TRegKey>& Keys() const { return FKeys; }
  bool operator==(const TRegTree&) const = default;

 private:
  std::map<std::string, TRegKey> FKeys;  // by folded path
};

// Text form of a string (with the surrounding quotes) and back. Unquote reads from `pos` (at the
// opening quote) and leaves `pos` after the closing one; false when the quote is not closed.
std::string QuoteRegString(std::string_view s);
bool UnquoteRegString(std::string_view line, size_t& pos, std::string& out);

// The whole text form. ParseRegFile returns the number of lines it skipped in `skipped`.
std::string FormatRegFile(const TRegTree& tree);
TRegTree ParseRegFile(std::string_view text, size_t* skipped = nullptr);

}  // namespace quil
