// Thousands grouping, the dialogs' wildcard rule, ratio texts, archive kinds, command enabling and
// the command line.
#include <gtest/gtest.h>

#include "app/ArchiveKind.h"
#include "app/CenteredMessage.h"
#include "app/EntryTable.h"
#include "app/TextHelpers.h"

namespace quil {
namespace {

TEST(GroupThousands, InsertsCommasFromTheRight) {
  const std::pair<const char*, const char*> cases[] = {{"", ""},
                                                       {"7", "7"},
                                                       {"100", "100"},
                                                       {"999", "999"},
                                                       {"1000", "1,000"},
                                                       {"1234567", "1,234,567"},
                                                       {"100000", "100,000"},
                                                       {"1500000", "1,500,000"}};
  for (auto [in, out] : cases) EXPECT_EQ(GroupThousands(in), out) << in;
  EXPECT_EQ(GroupThousands(int64_t{9223372036854775807}), "9,223,372,036,854,775,807");
}

TEST(MatchWildcard, TrailingStarNeedsACharacterAndDotsMatter) {
  struct Case {
    const char* Name;
    const char* Pattern;
    bool IgnoreCase, Match;
  } cases[] = {
      {"Report.TXT", "*.txt", true, true},
      {"Report.TXT", "*.txt", false, false},
      {"abc", "abc*", false, false},
      {"abcd", "abc*", false, true},
      {"readme", "*.*", false, false},
      {"read.me", "*.*", false, true},
      {"a1b2c", "a?b*c", false, true},
      {"anything", "**", false, true},
      {"", "*", false, true},
      {"", "", false, true},
      {"ab", "a*b*", false, false},
      {"axbyc", "a*b*c", false, true},
      {"abc", "a?c", false, true},
      {"ac", "a?c", false, false},
      {"x.tar.gz", "*.gz", true, true},
      {"abc", "ab", false, false},
      {"file.txt", "*le.t?t", false, true},
      {"file.txt", "*.t", false, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchWildcard(c.Name, c.Pattern, c.IgnoreCase), c.Match)
        << c.Name << " / " << c.Pattern;
}

TEST(RatioText, TwoDigitsAtLeastAndNeverNegative) {
  struct Case {
    int64_t Packed, Unpacked;
    const char* Text;
  } cases[] = {
      {95, 100, "05%"}, {0, 0, "00%"}, {110, 100, "00%"}, {2, 0, "00%"}, {0, 100, "100%"},
      {50, 100, "50%"}, {1, 3, "67%"}, {1, 8, "88%"},     {7, 8, "12%"},  // 12.5 rounds to the even
                                                                          // 12
      {3, 8, "62%"},  // 62.5 rounds to the even 62
      {5, 8, "38%"},  // 37.5 rounds to the even 38
  };
  for (const Case& c : cases)
    EXPECT_EQ(RatioText(RatioCode(c.Packed, c.Unpacked)), c.Text) << c.Packed << "/" << c.Unpacked;
  EXPECT_EQ(RatioText(kRatioUnknown), "?");
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.4), 0);
}

TEST(ArchiveKind, ExtensionRefinedByDetectedType) {
  EXPECT_EQ(KindFromPath("/a/Backup.ZIP"), ".zip");
  EXPECT_EQ(KindFromPath("/a/x.tar.gz"), ".gz");
  EXPECT_EQ(KindFromPath("/a.b/noext"), "");
  EXPECT_EQ(RefineKind(".exe", atArjExe), ".arj");
  EXPECT_EQ(RefineKind(".exe", atZipExe), ".exe");
  EXPECT_EQ(RefineKind(".lha", atLha), ".lzh");
  EXPECT_EQ(RefineKind(".xxe", atUue), ".enc");
  EXPECT_EQ(RefineKind(".dat", atHa), ".ha");
  EXPECT_EQ(RefineKind(".jar", atJar), ".jar");
  EXPECT_EQ(RefineKind(".txt", atUnknown), ".txt");
  EXPECT_TRUE(IsZipKind(".jar"));
  EXPECT_TRUE(IsListerKind(".cab"));
}

TEST(ArchiveKind, CommandsFollowTheKind) {
  TCommandState zip = CommandsForKind(".zip", false, false, false);
  EXPECT_TRUE(zip.Add && zip.Delete && zip.Comment && zip.RenameInPlace && zip.MakeExe &&
              zip.Test && zip.UUEncode && zip.Extract && zip.CloseArchive);
  EXPECT_FALSE(zip.ExeToZip || zip.VirusScan);

  TCommandState exe = CommandsForKind(".exe", false, false, true);
  EXPECT_TRUE(exe.ExeToZip && exe.Add && exe.VirusScan);
  EXPECT_FALSE(exe.MakeExe);

  TCommandState cab = CommandsForKind(".cab", false, false, false);
  EXPECT_FALSE(cab.Add || cab.Delete || cab.Comment || cab.Test || cab.MakeExe);
  EXPECT_TRUE(cab.Extract && cab.UUEncode && cab.View);

  TCommandState enc = CommandsForKind(".enc", false, false, false);
  EXPECT_FALSE(enc.Test || enc.UUEncode || enc.Add);
  EXPECT_TRUE(CommandsForKind(".arj", false, false, false).Test);

  TCommandState ro = CommandsForKind(".zip", true, false, false);
  EXPECT_FALSE(ro.Add || ro.Delete || ro.DropFiles || ro.RenameInPlace || ro.MoveArchive ||
               ro.RenameArchive || ro.DeleteArchive);
  EXPECT_TRUE(ro.CopyArchive && ro.Extract && ro.Comment);

  TCommandState spanned = CommandsForKind(".zip", false, true, false);
  EXPECT_FALSE(spanned.RenameInPlace || spanned.MakeExe);
  EXPECT_TRUE(spanned.Add);
}

TEST(CommandLine, ArchivesSwitchesAndEverythingElse) {
  struct Case {
    std::vector<std::string> Args;
    TStartupAction Action;
    std::string Archive;
  } cases[] = {
      {{}, saNone, ""},
      {{"C:/A/Backup.ZIP"}, saOpen, "C:/A/Backup.ZIP"},
      {{"x.tar.gz"}, saOpen, "x.tar.gz"},
      {{"setup.exe"}, saOpen, "setup.exe"},
      {{"notes.txt"}, saUnknown, ""},
      {{"a.zip", "b.zip"}, saUnknown, ""},
      {{"-E", "x.zip"}, saUnknown, ""},
      {{"-e", "x.zip"}, saSwitch, "x.zip"},
      {{"-aZ"}, saSwitch, ""},
      {{"-az"}, saUnknown, ""},
  };
  for (const Case& c : cases) {
    TCommandLine cl = ParseCommandLine(c.Args);
    EXPECT_EQ(cl.Action, c.Action) << (c.Args.empty() ? "" : c.Args[0]);
    EXPECT_EQ(cl.Archive, c.Archive);
  }
}

TEST(CenteredMessage, CentredOnTheOwnerAndKeptOnTheScreen) {
  const QRect screen(0, 0, 1000, 800);
  struct Case {
    QRect Owner;
    QPoint TopLeft;
  } cases[] = {
      {{100, 100, 600, 400}, {300, 250}},     // centred
      {{-400, -300, 300, 200}, {0, 0}},       // owner off the top left
      {{800, 700, 600, 400}, {800, 700}},     // owner off the bottom right
  };
  for (const Case& c : cases)
    EXPECT_EQ(CenteredMessageGeometry(c.Owner, QSize(200, 100), screen).topLeft(), c.TopLeft)
        << c.Owner.x();
}

TEST(Installer, SetupAtTheRootOrInstallAnywhere) {
  EXPECT_TRUE(IsInstallerEntry("SETUP.EXE", ""));
  EXPECT_FALSE(IsInstallerEntry("setup.exe", "disk1/"));
  EXPECT_TRUE(IsInstallerEntry("install.exe", "sub/"));
  EXPECT_FALSE(IsInstallerEntry("setup.exe.txt", ""));
}

}  // namespace
}  // namespace quil
