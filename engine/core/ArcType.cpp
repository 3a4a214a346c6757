#include "engine/core/ArcType.h"

#include <cctype>

namespace quil {

const std::string_view ArcTypeNames[ArcTypeCount] = {
    "Not avail.", "Unsupport.", "File Error", "Unknown   ", "ACE       ", "ARC       ",
    "ARC SFX   ", "ARJ       ", "ARJ SFX   ", "BH        ", "BH  SFX   ", "CAB       ",
    "GZip      ", "HA        ", "Java JAR  ", "LHA       ", "LHA SFX   ", "LZH       ",
    "LZH SFX   ", "MsGZ     \t", "PAK       ", "PAK SFX   ", "RAR       ", "RAR SFX   ",
    "TAR       ", "UUE       ", "ZIP       ", "ZIP SFX   ", "Zip MVol  ", "ZOO       ",
};

std::string_view ArcTypeDisplayName(TArcType t) {
  if (t >= ArcTypeCount) return {};
  std::string_view s = ArcTypeNames[t];
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

const std::string_view KnownExtensions[KnownExtensionCount] = {
    ".UUE", ".XXE", ".ENC", ".TAR", ".Z",   ".GZ",  ".ZIP", ".ZOO", ".LHA", ".LZH",
    ".ARC", ".ARJ", ".BH",  ".PAK", ".CAB", ".RAR", ".EXE", ".JAR", ".ACE",
};

int KnownExtensionIndex(std::string_view ext) {
  for (int i = 0; i < KnownExtensionCount; ++i) {
    std::string_view k = KnownExtensions[i];
    if (k.size() != ext.size()) continue;
    bool eq = true;
    for (size_t j = 0; j < k.size() && eq; ++j)
      eq = std::toupper(static_cast<unsigned char>(ext[j])) == static_cast<unsigned char>(k[j]);
    if (eq) return i;
  }
  return -1;
}

}  // namespace quil
