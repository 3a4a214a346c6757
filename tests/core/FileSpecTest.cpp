#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/FileSpec.h"

using namespace quil;

TEST(FileSpec, MatchSpecTable) {
  struct { const char* spec; const char* name; bool nameOnly; bool want; } cases[] = {
      {"*.TXT", "a.txt", false, true},
      {"*.txt", "dir/a.doc", true, false},
      {"", "", false, true},
      {"*.*", "README", false, true},          // the name gains ".*"
      {"*.", "README", false, true},
      {"*.", "README.TXT", false, false},      // "*." means: no extension
      {"*.", "old.d/README", false, true},     // a dot in a folder is no extension
      {"a?c.txt", "ABC.TXT", false, true},
      {"*.txt", "docs/a.txt", true, true},
      {"*.txt", "docs/a.txt", false, true},    // '*' runs across folders
      {"docs\\*.txt", "docs/a.txt", false, true},
      {"docs/*", "docs/sub/a.c", false, true},
      {"d?cs/a.txt", "docs/a.txt", false, true},
      {"docs/*.txt", "a.txt", true, true},     // name parts only
      {"*", "", false, true},
      {"", "*", false, true},
      {"?", "", false, false},
      {"", "a", false, false},
      {"a", "", false, false},
      {"a*", "A", false, true},
      {"abc", "abc.", false, true},            // a trailing dot on the name is dropped
      {"*.*", "a.b.c", false, true},
      {"*.tar.gz", "x.TAR.GZ", false, true},
      {"*b*", "abc", false, true},
      {"*x*", "abc", false, false},
      {"a*b*c", "aXbYc", false, true},
      {"a*b*c", "aXbY", false, false},
      {"*.txt", "?x.txt", false, true},        // a literal '?' in a name is still a name
      {"abc", "a*", false, true},              // wildcards in the name match too
      {"readme.txt", "*.txt", false, true},
      {"abc", "*.txt", false, false},
      {"*.txt", "*", false, true},
      {"ABC", "abc", false, true},
      {"\xC3\xA4", "\xC3\x84", false, false},  // only ASCII letters ignore case
      {"?.txt", "\xC3\xA9.txt", false, true},  // '?' is one character, not one byte
      {"??.txt", "\xC3\xA9.txt", false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchSpec(c.spec, c.name, c.nameOnly), c.want)
        << "'" << c.spec << "' vs '" << c.name << "' nameOnly=" << c.nameOnly;
}

// Patterns that make naive backtracking take exponential time finish at once here.
TEST(FileSpec, HostilePatternsStayCheap) {
  std::string stars;
  for (int i = 0; i < 40; ++i) stars += "*a";
  const std::string longA(5000, 'a');
  EXPECT_FALSE(MatchSpec(stars + "b", longA, false));
  EXPECT_FALSE(MatchSpec(longA, stars + "b", false));
  EXPECT_TRUE(MatchSpec(stars, longA, false));
}

TEST(FileSpec, NormalizeSpecs) {
  std::vector<std::string> specs = {"docs\\*.txt", "", "a/b/", "*.c", "C:x", "sub/dir/?.h"};
  NormalizeSpecs(specs);
  EXPECT_EQ(specs, (std::vector<std::string>{"*.txt", "*.c", "C:x", "?.h"}));
}

TEST(FileSpec, MatchesFileSpec) {
  const std::vector<std::string> files = {"*.txt", "*.c"}, none;
  const std::vector<std::string> exclude = {"secret*", "*.bak.*"};
  struct { const char* name; bool nameOnly; bool want; } cases[] = {
      {"a.txt", false, true},
      {"src/a.c", true, true},
      {"a.h", false, false},
      {"secret.txt", false, false},
      {"docs/secret.txt", false, true},   // exclusions always look at the whole name
      {"docs/secret.txt", true, true},
      {"x.bak.c", false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesFileSpec(c.name, c.nameOnly, files, exclude), c.want) << c.name;
  EXPECT_FALSE(MatchesFileSpec("a.txt", false, none, none));
  EXPECT_TRUE(MatchesFileSpec("a.txt", false, files, none));
}
