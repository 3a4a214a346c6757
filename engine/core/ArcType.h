// Archive types known to the engine, their display strings and the type sets.
#pragma once

#include <cstdint>
#include <string_view>

namespace quil {

enum TArcType : uint8_t {
  atNA, atUnsupported, atFileOpenErr, atUnknown, atACE, atArc, atArcExe, atArj, atArjExe,
  atBh, atBhExe, atCab, atGZip, atHa, atJar, atLha, atLhaExe, atLzh, atLzhExe, atMsGZ,
  atPak, atPakExe, atRar, atRarExe, atTar, atUue, atZip, atZipExe, atZipMV, atZoo,
};
inline constexpr int ArcTypeCount = 30;

// A set of archive types: bit n stands for the type of ordinal n.
struct TArcTypeSet {
  uint32_t bits = 0;
  constexpr bool contains(TArcType t) const { return (bits >> t) & 1u; }
};

inline constexpr TArcTypeSet InvalidArcTypes{0x0000000Fu};
inline constexpr TArcTypeSet ExtractableArcTypes{0x3FC7DFF0u};
inline constexpr TArcTypeSet TestableArcTypes{0x2DC7D7F0u};
// Types whose extractors open the archive through a library of their own.
inline constexpr TArcTypeSet LibraryArcTypes{(1u << atACE) | (1u << atCab) | (1u << atRar)};

// Display strings, 10 characters each (blanks included).
extern const std::string_view ArcTypeNames[ArcTypeCount];

// The display string without trailing blanks or tabs.
std::string_view ArcTypeDisplayName(TArcType t);

inline bool IsRecognised(TArcType t) { return !InvalidArcTypes.contains(t); }
inline bool IsZipType(TArcType t) { return t == atZip || t == atZipExe || t == atJar || t == atZipMV; }

// Upper-case extensions the engine knows, index 0..18.
inline constexpr int KnownExtensionCount = 19;
extern const std::string_view KnownExtensions[KnownExtensionCount];
inline constexpr int ExtZip = 6;
inline constexpr int ExtJar = 17;
// Index of an extension (with its dot, any case) in KnownExtensions, or -1.
int KnownExtensionIndex(std::string_view ext);

}  // namespace quil
