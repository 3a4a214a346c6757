// The main window with real archives: opening each kind, the six columns, totals and status
// texts, command enabling, the sort orders, selection commands and typing in the list.
#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AppTestKit.h"
#include "app/QuilUnit.h"
#include "support/ZipBuilder.h"

namespace quil::test {
namespace {

// Names (with folders) of the files in an expectation file, folders left out.
std::vector<std::string> ExpectedFiles(const std::string& tsv) {
  std::ifstream in(tsv);
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::string name = line.substr(0, line.find('\t'));
    if (!name.empty() && name.back() != '/') names.push_back(name);
  }
  return names;
}

std::vector<std::string> Column(TMainForm& f, int column) {
  std::vector<std::string> out;
  for (int r = 0; r < f.Model().rowCount(); ++r)
    out.push_back(f.Model().Text(r, column).toStdString());
  return out;
}

using MainForm = AppTest;

TEST_F(MainForm, OpensEveryListedKind) {
  struct Case {
    const char* File;
    const char* Kind;
    bool ZipCommands, Test;
  } cases[] = {
      {"zip/stored-dirs.zip", ".zip", true, true},
      {"zip/hello.jar", ".jar", true, true},
      {"sfx/zip-sfx-adjusted.exe", ".exe", true, true},
      {"sfx/arj-mzstub.exe", ".arj", false, true},
      {"lha/unix114i-h2-subdir.lzh", ".lzh", false, true},
      {"arj/methods-0to4.arj", ".arj", false, true},
      {"cab/gcab-mszip.cab", ".cab", false, false},
      {"tar/ustar-dirs.tar", ".tar", false, true},
      {"gzip/named.gz", ".gz", false, true},
      {"uue/readme.uue", ".enc", false, false},
      {"arc/methods.arc", ".arc", false, true},
      {"zoo/lzh.zoo", ".zoo", false, true},
      {"rar/la_rar.rar", ".rar", false, true},
      {"ha/hsc.ha", ".ha", false, false},
      {"ace/onefile.ace", ".ace", false, true},
  };
  TMainForm f({});
  for (const Case& c : cases) {
    const std::string file = Fixture(c.File);
    SCOPED_TRACE(file);
    Messages.clear();
    f.OpenArchiveFile(file);
    EXPECT_TRUE(Messages.empty()) << Messages.front();
    EXPECT_EQ(f.ArchiveKind(), c.Kind);
    EXPECT_EQ(
        f.windowTitle().toStdString(),
        "Quillet 2000 - " + QString::fromStdString(std::filesystem::path(file).filename().string())
                                .toLower()
                                .toStdString());
    std::vector<std::string> expected = ExpectedFiles(file + ".expect.tsv");
    ASSERT_EQ(f.EntryTable().Count(), expected.size());
    // Every expected file shows once, as name + path (lower-cased), in some row.
    std::vector<std::string> shown;
    for (int r = 0; r < f.Model().rowCount(); ++r) {
      std::string name = f.Model().Text(r, lcName).toStdString();
      if (!name.empty() && name.back() == '+') name.pop_back();
      shown.push_back(f.Model().Text(r, lcPath).toStdString() + name);
    }
    for (std::string e : expected) {
      for (char& ch : e) ch = char(std::tolower(static_cast<unsigned char>(ch)));
      EXPECT_NE(std::find(shown.begin(), shown.end(), e), shown.end()) << e;
    }
    const size_t n = expected.size();
    EXPECT_EQ(f.SPanel2Text().toStdString().rfind(
                  "Total " + std::to_string(n) + (n == 1 ? " file, " : " files, "), 0),
              0u)
        << f.SPanel2Text().toStdString();
    EXPECT_EQ(f.SPanel1Text().toStdString(), "No file(s) selected.");
    EXPECT_EQ(f.Commands().Add, c.ZipCommands);
    EXPECT_EQ(f.Commands().Delete, c.ZipCommands);
    EXPECT_EQ(f.Commands().Test, c.Test);
    EXPECT_TRUE(f.Commands().CloseArchive);
    EXPECT_TRUE(f.Action("SelectAll")->isEnabled());
  }
  f.CloseArchiveClick();
  EXPECT_EQ(f.windowTitle().toStdString(), "Quillet 2000");
  EXPECT_EQ(f.SPanel1Text().toStdString(),
            "Choose \"New\" to create or \"Open\" to open an archive.");
  EXPECT_FALSE(f.Action("SelectAll")->isEnabled());
  EXPECT_EQ(f.Model().rowCount(), 0);
}

TEST_F(MainForm, CabinetShowsQuestionMarksForPackedSizes) {
  TMainForm f({});
  f.OpenArchiveFile(Fixture("cab/gcab-mszip.cab"));
  ASSERT_GT(f.Model().rowCount(), 0);
  for (int r = 0; r < f.Model().rowCount(); ++r) {
    EXPECT_EQ(f.Model().Text(r, lcPacked).toStdString(), "?");
    EXPECT_EQ(f.Model().Text(r, lcRatio).toStdString(), "?");
  }
  EXPECT_NE(f.SPanel2Text().toStdString().find(" kB [? kB]"), std::string::npos);
}

TEST_F(MainForm, UnreadableZipIsReportedForgottenAndClosed) {
  const std::string bad = FDir.Write("broken.zip", std::string(3000, 'Q'));
  TMainForm f({});
  f.Settings().ActiveFile = {"/x/one.zip", FDir / "BROKEN.zip", "/x/two.zip", "", ""};
  f.OpenArchiveFile(bad);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].rfind("Quillet cannot open this file. It does not appear to be a Zip", 0),
            0u);
  EXPECT_TRUE(f.OpenArchivePath().empty());
  EXPECT_EQ(f.windowTitle().toStdString(), "Quillet 2000");
  std::array<std::string, 5> recent = {"/x/one.zip", "/x/two.zip", "", "", ""};
  EXPECT_EQ(f.Settings().ActiveFile, recent);

  // A new archive that does not exist yet is an empty list, not an error.
  Messages.clear();
  f.NewArchiveFile(FDir / "fresh");
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(f.OpenArchivePath(), FDir / "fresh.zip");
  EXPECT_EQ(f.SPanel2Text().toStdString(), "Total 0 files, 0 kB [0 kB]");
  EXPECT_TRUE(f.Commands().Add);
}

TEST_F(MainForm, InstallersAndBackslashFolders) {
  struct Case {
    std::vector<TZipEntrySpec> Entries;
    int Rows;
    bool Install;
  } cases[] = {
      {{{"disk1\\", ""}, {"disk1\\setup.exe", "MZ"}, {"readme.txt", "hi"}}, 2, false},
      {{{"SETUP.EXE", "MZ"}, {"sub\\", ""}}, 1, true},
      {{{"sub/deeper/install.exe", "MZ"}}, 1, true},
  };
  TMainForm f({});
  for (const Case& c : cases) {
    const std::string zip = FDir.Write("inst.zip", BuildZip(c.Entries));
    f.OpenArchiveFile(zip);
    EXPECT_EQ(f.Model().rowCount(), c.Rows);  // folder entries are neither listed nor counted
    EXPECT_EQ(f.SPanel2Text().toStdString().rfind("Total " + std::to_string(c.Rows) +
                                                      (c.Rows == 1 ? " file," : " files,"),
                                                  0),
              0u);
    EXPECT_EQ(f.InstallEnabled(), c.Install) << c.Entries[0].Name;
    if (!c.Install) {
      EXPECT_TRUE(f.InstallOffered());  // nothing to offer for this archive
    }
  }
}

// A ZIP made by the zip tool: four files whose names, folders, sizes, ratios and dates differ.
class SortedArchive : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    std::string dir = FDir / "src";
    std::filesystem::create_directories(dir + "/z");
    std::filesystem::create_directories(dir + "/a");
    std::ofstream(dir + "/z/b.TXT") << std::string(15000, 'x');
    std::ofstream(dir + "/a.txt") << "hello";
    std::string mixed(1500000, '\0');
    uint32_t seed = 12345;
    for (size_t i = 0; i < mixed.size() / 2; ++i) {
      seed = seed * 1103515245u + 12345u;
      mixed[i] = char(seed >> 24);
    }
    std::ofstream(dir + "/C.txt", std::ios::binary) << mixed;
    std::string abc;
    for (int i = 0; i < 100; ++i) abc += "abc";
    std::ofstream(dir + "/a/d.dat") << abc;
    std::string cmd = "cd '" + dir +
                      "' && touch -d '2019-05-01 10:00' z/b.TXT && touch -d '2021-01-01 10:00' "
                      "a.txt && touch -d '2020-01-01 10:00' C.txt && touch -d '2018-01-01 10:00' "
                      "a/d.dat && zip -q -X -D ../sorted.zip z/b.TXT a.txt C.txt a/d.dat";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Archive = FDir / "sorted.zip";
  }
  std::vector<std::string> Names(TMainForm& f) { return Column(f, lcName); }
  std::string Archive;
};

TEST_F(SortedArchive, EverySortOrder) {
  const std::vector<std::string> byOrder[9] = {
      {},
      {"a.txt", "b.txt", "c.txt", "d.dat"},  // 1 name
      {"a.txt", "c.txt", "d.dat", "b.txt"},  // 2 path, then name
      {"d.dat", "b.txt", "a.txt", "c.txt"},  // 3 type; equal types keep archive order
      {"c.txt", "b.txt", "d.dat", "a.txt"},  // 4 size, largest first
      {"c.txt", "b.txt", "d.dat", "a.txt"},  // 5 packed size, largest first
      {"d.dat", "c.txt", "b.txt", "a.txt"},  // 6 ratio text descending: 9x%, 5x%, 100%, 00%
      {"a.txt", "c.txt", "b.txt", "d.dat"},  // 7 date, newest first
      {"b.txt", "a.txt", "c.txt", "d.dat"},  // 8 archive order
  };
  TMainForm f({});
  f.OpenArchiveFile(Archive);
  ASSERT_EQ(f.Model().rowCount(), 4);
  for (int order : {8, 1, 2, 3, 4, 5, 6, 7}) {
    f.SortClick(order);
    EXPECT_EQ(f.Settings().SortOrder, order);
    EXPECT_EQ(Names(f), byOrder[order]) << "order " << order;
    EXPECT_TRUE(f.Action(std::array<const char*, 8>{"byName", "byPath", "byType", "bySize",
                                                    "byPackedSize", "byRatio", "byDate",
                                                    "byOrginalOrder"}[size_t(order - 1)])
                    ->isChecked());
    // The sorted column carries the arrow: up for name and path, down for the others.
    for (int c = 0; c < ListColumnCount; ++c) {
      bool arrow = f.Model().headerData(c, Qt::Horizontal, Qt::DecorationRole).isValid();
      EXPECT_EQ(arrow, ColumnSortOrder(c) == order) << "order " << order << " column " << c;
    }
  }
  f.SortClick(soSize);
  EXPECT_EQ(Column(f, lcSize), (std::vector<std::string>{"1,500,000", "15,000", "300", "5"}));
  EXPECT_EQ(Column(f, lcPath), (std::vector<std::string>{"", "z/", "a/", ""}));
  EXPECT_EQ(Column(f, lcRatio)[3], "00%");
  EXPECT_EQ(Column(f, lcRatio)[1], "100%");
  EXPECT_EQ(f.SPanel2Text().toStdString().rfind("Total 4 files, 1,480 kB [", 0), 0u)
      << f.SPanel2Text().toStdString();
  EXPECT_EQ(Column(f, lcModified)[0].find("  ") != std::string::npos, true);
}

TEST_F(SortedArchive, NamesKeepTheirCaseWhenAsked) {
  TMainForm f({});
  f.Settings().DownCaseFileNames = 0;
  f.Settings().SortOrder = soName;
  f.OpenArchiveFile(Archive);
  EXPECT_EQ(Names(f), (std::vector<std::string>{"a.txt", "b.TXT", "C.txt", "d.dat"}));
}

TEST_F(SortedArchive, HeaderClickOnTheCurrentOrderDoesNotRelist) {
  TMainForm f({});
  f.OpenArchiveFile(Archive);
  f.ColumnClick(lcSize);
  ASSERT_EQ(f.Settings().SortOrder, soSize);
  ASSERT_EQ(f.Model().rowCount(), 4);
  // The archive changes on disk; a second click on "Size" reads nothing and reverses nothing.
  std::filesystem::copy_file(Fixture("zip/stored-dirs.zip"), Archive,
                             std::filesystem::copy_options::overwrite_existing);
  f.ColumnClick(lcSize);
  EXPECT_EQ(Names(f), (std::vector<std::string>{"c.txt", "b.txt", "d.dat", "a.txt"}));
  // A click on another column reads the archive again.
  f.ColumnClick(lcName);
  EXPECT_EQ(f.Model().rowCount(),
            int(ExpectedFiles(Fixture("zip/stored-dirs.zip.expect.tsv")).size()));
}

TEST_F(SortedArchive, SelectionCommandsAndStatus) {
  TMainForm f({});
  f.Settings().SortOrder = soName;
  f.OpenArchiveFile(Archive);
  f.SelectAllClick();
  EXPECT_EQ(f.SPanel1Text().toStdString(), "Selected 4 files, 1,480 kB");
  EXPECT_EQ(f.ListPopup()->objectName().toStdString(), "FilePopUp");
  f.UnselectAllClick();
  EXPECT_EQ(f.SPanel1Text().toStdString(), "No file(s) selected.");
  EXPECT_EQ(f.ListPopup()->objectName().toStdString(), "SortPopUp");
  f.InvertSelectionClick();
  EXPECT_EQ(f.SPanel1Text().toStdString(), "Selected 4 files, 1,480 kB");

  // One entry (a.txt, 5 bytes) selected, then inverted: the other three.
  QItemSelectionModel* sm = f.DetailsView()->selectionModel();
  sm->select(f.Model().index(0, 0),
             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  EXPECT_EQ(f.SPanel1Text().toStdString(), "Selected 1 file, 0 kB");
  EXPECT_TRUE(f.EntryTable()[0].selected);
  f.InvertSelectionClick();
  EXPECT_EQ(f.SPanel1Text().toStdString(), "Selected 3 files, 1,480 kB");
  EXPECT_FALSE(f.EntryTable()[0].selected);
  EXPECT_TRUE(f.EntryTable()[3].selected);
}

TEST_F(SortedArchive, TypingFindsTheNextNameWithoutWrapping) {
  TMainForm f({});
  f.Settings().SortOrder = soName;  // a.txt b.txt c.txt d.dat
  f.OpenArchiveFile(Archive);
  QItemSelectionModel* sm = f.DetailsView()->selectionModel();
  f.TypeAhead("C");
  EXPECT_EQ(sm->currentIndex().row(), 2);
  EXPECT_EQ(f.SPanel1Text().toStdString(), "Selected 1 file, 1,465 kB");
  f.TypeAhead("d");
  EXPECT_EQ(sm->currentIndex().row(), 3);
  EXPECT_FALSE(f.EntryTable()[2].selected);
  f.TypeAhead("a");  // nothing after the last entry: no wrap-around
  EXPECT_EQ(sm->currentIndex().row(), 3);
  EXPECT_TRUE(f.EntryTable()[3].selected);
}

TEST_F(SortedArchive, ViewStylesAndToggles) {
  TMainForm f({});
  f.OpenArchiveFile(Archive);
  EXPECT_EQ(f.ListView(), f.DetailsView());
  f.SetViewStyle(0);
  EXPECT_EQ(f.Settings().ViewStyle, 0);
  EXPECT_NE(f.ListView(), f.DetailsView());
  EXPECT_TRUE(f.Action("LargeIcons")->isChecked());
  f.SetViewStyle(2);
  EXPECT_TRUE(f.Action("List")->isChecked());
  f.SetViewStyle(3);
  EXPECT_EQ(f.ListView(), f.DetailsView());
  f.ToolbarClick();
  EXPECT_EQ(f.Settings().ViewToolbar, 0);
  EXPECT_FALSE(f.Action("Toolbar")->isChecked());
  f.StatusBarClick();
  EXPECT_EQ(f.Settings().ViewStatusLine, 0);
}

}  // namespace
}  // namespace quil::test
