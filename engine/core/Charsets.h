// Character sets of stored names. Texts in the program are UTF-8; "OEM" names (the DOS archivers'
// code page) are CP437 and "ANSI" 8-bit names are Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace quil {

// A stored CP437 name as UTF-8, with both '\\' and '/' as PathDelim.
std::string OemToAnsiName(std::string_view oem);
// A UTF-8 name as CP437 (characters CP437 lacks become '_'), with both '\\' and '/' as PathDelim.
std::string AnsiToOemName(std::string_view utf8);
// The same two conversions for texts that are not names (comments): separators stay as they are,
// and (to CP437) a byte that is not part of well-formed UTF-8 is kept as that byte.
std::string Cp437ToUtf8(std::string_view oem);
std::string Utf8ToCp437(std::string_view utf8);
// Windows-1252 bytes as UTF-8 (the five unassigned bytes stand for the C1 controls U+0081 etc.).
std::string Win1252ToUtf8(std::string_view ansi);
// True when the text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view text);
// A name read from an archive: kept as UTF-8 when flagged so and well-formed, else read as CP437;
// separators become PathDelim either way.
std::string StoredNameToUtf8(std::string_view raw, bool flaggedUtf8);

// The code points of a UTF-8 text. A byte that does not begin a well-formed sequence stands for
// itself as U+DC00 + byte, so distinct texts stay distinct.
std::u32string Utf8ToCodePoints(std::string_view text);
// Appends the UTF-8 form of a code point (U+DC80..U+DCFF written back as the byte they stand for).
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace quil
