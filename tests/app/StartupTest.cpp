// Start-up and end of the main window: first run, settings kept across runs, the command line,
// and the desktop files of the association step.
#include <QAction>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AppTestKit.h"
#include "app/QuilUnit.h"
#include "platform/Associations.h"

namespace quil::test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

using Startup = AppTest;

TEST_F(Startup, FirstRunThenSettingsKeptAcrossRuns) {
  {
    TMainForm f({});
    EXPECT_EQ(f.SettingsLoadResult(), lrFirstRun);
    EXPECT_EQ(f.size(), QSize(kFirstRunWindowWidth, kFirstRunWindowHeight));
    EXPECT_EQ(f.minimumSize(), QSize(259, 200));
    EXPECT_TRUE(std::filesystem::exists(FDir / "config/quillet/registry.reg"));
    EXPECT_EQ(f.windowTitle().toStdString(), "Quillet 2000");
    f.OpenArchiveFile(Fixture("zip/stored-dirs.zip"));
    f.SortClick(soDate);
    f.SetViewStyle(2);
    f.StatusBarClick();
    f.FormClose();  // closes the archive and saves
    EXPECT_TRUE(f.OpenArchivePath().empty());
  }
  TMainForm again({});
  EXPECT_EQ(again.SettingsLoadResult(), lrLoaded);
  EXPECT_EQ(again.Settings().SortOrder, soDate);
  EXPECT_EQ(again.Settings().ViewStyle, 2);
  EXPECT_EQ(again.Settings().ViewStatusLine, 0);
  EXPECT_TRUE(again.Action("byDate")->isChecked());
  EXPECT_TRUE(again.Action("List")->isChecked());
  EXPECT_EQ(again.Settings().ActiveFile[0], Fixture("zip/stored-dirs.zip"));
  EXPECT_EQ(again.Settings().LastOpenDir, Fixture("zip/"));
}

TEST_F(Startup, CommandLine) {
  const std::string zip = FDir / "Backup.ZIP";
  std::filesystem::copy_file(Fixture("zip/stored-dirs.zip"), zip);
  struct Case {
    std::vector<std::string> Args;
    int Exit;  // -1: keeps running
    bool ArchiveOpen;
  } cases[] = {
      {{}, -1, false},
      {{zip}, -1, true},  // extension compared without regard to case
      {{"notes.txt"}, kExitBadCommandLine, false},
      {{"-E", zip}, kExitBadCommandLine, false},  // switches are compared exactly
      {{zip, zip}, kExitBadCommandLine, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args.empty() ? "(none)" : c.Args[0]);
    TMainForm f(c.Args);
    f.show();
    EXPECT_EQ(f.FormShow(), c.Exit);
    EXPECT_EQ(!f.OpenArchivePath().empty(), c.ArchiveOpen);
    EXPECT_EQ(f.isVisible(), c.Exit < 0);
    if (c.ArchiveOpen) {
      EXPECT_EQ(f.windowTitle().toStdString(), "Quillet 2000 - backup.zip");
      EXPECT_GT(f.Model().rowCount(), 0);
    }
    EXPECT_EQ(f.FormShow(), -1);  // later activations repeat none of the once-per-run steps
  }
}

TEST_F(Startup, AssociationStepWritesTheDesktopFiles) {
  const TAssociationPaths paths = DefaultAssociationPaths();
  ASSERT_EQ(paths.DesktopFile.rfind(FDir.Path(), 0), 0u);
  {
    TMainForm f({});
    f.Settings().Directory = "/opt/quillet/bin/quillet";
    EXPECT_EQ(f.FormShow(), -1);
  }
  // Registered every run; defaults only when asked for.
  EXPECT_NE(Slurp(paths.DesktopFile).find("/opt/quillet/bin/quillet"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(paths.TemplateFile));
  EXPECT_FALSE(IsAssociated("111111111111", paths));

  TMainForm f({});
  f.Settings().Directory = "/opt/quillet/bin/quillet";
  f.Settings().AssociateWithZipFiles = 1;
  f.Settings().AssociatedArchives = "011111111111";
  EXPECT_EQ(f.FormShow(), -1);
  EXPECT_TRUE(IsAssociated("011111111111", paths));
  const std::string apps = Slurp(paths.MimeAppsList);
  EXPECT_EQ(DefaultApplication(apps, "application/vnd.rar"), kDesktopFileId);
  EXPECT_EQ(DefaultApplication(apps, "application/zip"), "");  // position 0 holds "0"
  EXPECT_EQ(Slurp(paths.TemplateFile).size(), 22u);            // written whatever the flags say
}

}  // namespace
}  // namespace quil::test
