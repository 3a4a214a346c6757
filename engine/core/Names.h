// Path, name and small text helpers shared by the readers and extractors. Paths use PathDelim;
// folder paths are kept with a trailing PathDelim.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quil {

inline constexpr char PathDelim = '/';

// Both '/' and '\\' become PathDelim.
std::string ToPathDelims(std::string_view s);
// Appends PathDelim unless s ends with one; an empty text stays empty.
std::string AppendPathDelim(std::string_view s);
// Removes one trailing PathDelim.
std::string RemovePathDelim(std::string_view s);
// "a/b/c.txt": "a/b/", "c.txt", ".txt". The extension is taken from the last '.' of the name part
// and keeps its dot; it is empty when the name part has no '.'.
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);

// The number of characters before the first '.' of the name, or its whole length.
size_t NameStemLength(std::string_view name);
// Exchanges the high and the low 16 bits (for formats that store the date word before the time).
constexpr uint32_t SwapWords(uint32_t x) { return (x << 16) | (x >> 16); }
// Every character '0'..'7' is taken as an octal digit, all others are skipped. Wraps modulo 2^64.
uint64_t ParseOctal(std::string_view text);
// True when every character is '0'..'9' (also for an empty text).
bool AllDigits(std::string_view text);
// Returns the part of text before the first marker and leaves the part after it in text; without
// a marker (or with an empty one) returns all of text and empties it.
std::string SplitAtMarker(std::string& text, std::string_view marker);
// part * 100 / whole rounded to the nearest integer (halves up), at most 100; 0 when whole < 1
// or the quotient is negative.
int32_t PercentOf(int64_t part, int64_t whole);

}  // namespace quil
