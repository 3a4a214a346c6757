// The DOS code page 437 ("OEM" names of ZIP archives) to and from UTF-8.
#pragma once

#include <string>

namespace quil {

// Each byte from 0x80 up becomes its character; bytes below 0x80 are copied.
std::string Cp437ToUtf8(const std::string& text);
// Characters outside ASCII become their code page 437 byte, or '_' when the code page lacks them.
std::string Utf8ToCp437(const std::string& text);

}  // namespace quil
