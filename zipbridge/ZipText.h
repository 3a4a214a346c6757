// Message table of the ZIP maintenance object: ids 10101 to 11047.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quil {

// The table's text, or nothing for an id it lacks.
std::optional<std::string> ZipTextLookup(int id);
// The text an error message gets when the table lacks its id.
std::string ZipTextFallback(int id);
// The table's text, or the error fallback.
std::string ZipText(int id);
// The table's text, or empty (labels and prompts).
std::string ZipTextOrEmpty(int id);
// The text formatted with a string ("%s") or one or two integers ("%d", "%.1d"); the fallback
// (unformatted) when the id is missing.
std::string ZipTextFormat(int id, const std::string& arg);
std::string ZipTextFormat(int id, int64_t a);
std::string ZipTextFormat(int id, int64_t a, int64_t b);

}  // namespace quil
