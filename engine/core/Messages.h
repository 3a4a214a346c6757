// The engine's message table and its exception class.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quil {

// Text of an engine message number (25102..26899); empty for an unknown number.
std::string_view MessageText(int code);
// "<number> <text>", the form the command-line tool prints.
std::string MessageLine(int code);

// The engine exception: a message number and its text.
class E_RAISE : public std::runtime_error {
 public:
  explicit E_RAISE(int code) : std::runtime_error(std::string(MessageText(code))), Code(code) {}
  E_RAISE(int code, const std::string& text) : std::runtime_error(text), Code(code) {}
  int Code;
};

}  // namespace quil
