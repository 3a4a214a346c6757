// Matching entry names against the user's wildcard patterns ("*.txt", "docs/a?c.*"), the texts
// of a component's FileSpec and ExcludeSpec lists.
//
// Both the pattern and the name may hold the wildcards '*' (any run of characters, also
// none) and '?' (exactly one character); the two sides are treated alike. Letters compare without
// regard to ASCII case; a character is one UTF-8 code point. Folders are separated by PathDelim;
// a '\\' in a pattern counts as PathDelim.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quil {

// Dot rules, applied before matching (after cutting both to their name parts when nameOnly):
//  - a pattern ending in '.' loses that dot and then matches only names whose name part has
//    no '.' ("*." matches "README" but not "README.TXT");
//  - a pattern without any '.' gains ".*" when the name contains ".*", and a name without
//    any '.' gains ".*" when the pattern contains ".*" ("*.*" matches "README");
//  - a name ending in '.' loses that dot.
// Time and memory grow with the product of the two lengths, never faster.
bool MatchSpec(std::string_view spec, std::string_view name, bool nameOnly);

// Prepares a FileSpec or ExcludeSpec list: '\\' becomes PathDelim, each text is cut to its name
// part (after the last PathDelim), and texts that end up empty are removed.
void NormalizeSpecs(std::vector<std::string>& specs);

// True when name matches at least one of fileSpec (with the nameOnly given) and none of
// excludeSpec (always with nameOnly false). An empty fileSpec matches nothing; an empty
// excludeSpec excludes nothing.
bool MatchesFileSpec(std::string_view name, bool nameOnly,
                     const std::vector<std::string>& fileSpec,
                     const std::vector<std::string>& excludeSpec);

}  // namespace quil
