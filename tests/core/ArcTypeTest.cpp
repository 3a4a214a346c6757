#include <gtest/gtest.h>

#include "engine/core/ArcType.h"
#include "engine/core/EntryInfo.h"
#include "engine/core/Messages.h"

using namespace quil;

TEST(ArcType, SetsMatchTheirMembers) {
  // Not extractable: the four invalid types and the list-only formats.
  for (int t = 0; t < ArcTypeCount; ++t) {
    auto a = static_cast<TArcType>(t);
    bool listOnly = a == atHa || a == atMsGZ || a == atPak || a == atPakExe;
    EXPECT_EQ(ExtractableArcTypes.contains(a), !InvalidArcTypes.contains(a) && !listOnly) << t;
    bool untestable = a == atCab || a == atUue || a == atZipMV;
    EXPECT_EQ(TestableArcTypes.contains(a), ExtractableArcTypes.contains(a) && !untestable) << t;
  }
}

TEST(ArcType, DisplayNames) {
  for (auto n : ArcTypeNames) EXPECT_EQ(n.size(), 10u);
  EXPECT_EQ(ArcTypeDisplayName(atMsGZ), "MsGZ");
  EXPECT_EQ(ArcTypeDisplayName(atBhExe), "BH  SFX");
  EXPECT_EQ(ArcTypeDisplayName(atZipMV), "Zip MVol");
}

TEST(ArcType, KnownExtensionLookupIgnoresCase) {
  EXPECT_EQ(KnownExtensionIndex(".zip"), ExtZip);
  EXPECT_EQ(KnownExtensionIndex(".Jar"), ExtJar);
  EXPECT_EQ(KnownExtensionIndex(".z"), 4);
  EXPECT_EQ(KnownExtensionIndex(".7z"), -1);
}

TEST(EntryInfo, RatioRule) {
  struct { int64_t p, u; int r; } cases[] = {
      {50, 100, 50}, {999, 1000, 1}, {100, 100, 0}, {0, 100, 0}, {100, 0, 0}, {200, 100, 0},
      {1000, 10000000, 99}, {5000000, 10000000, 50},
  };
  for (auto c : cases) EXPECT_EQ(RatioOf(c.p, c.u), c.r) << c.p << "/" << c.u;
}

TEST(Messages, TableTexts) {
  EXPECT_EQ(MessageText(25302), "Unknown file type");
  EXPECT_EQ(MessageText(25172), "File not found");
  EXPECT_EQ(MessageText(26899), "Nothing to do");
  EXPECT_EQ(MessageText(12345), "");
  EXPECT_EQ(MessageLine(25108), "25108 Bad file header");
  E_RAISE e(25236);
  EXPECT_STREQ(e.what(), "Error reading file or unexpected end of file");
}
