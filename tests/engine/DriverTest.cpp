// The extraction driver, admission, output naming and output files, on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/DateTime.h"
#include "engine/core/Messages.h"
#include "engine/TestExtractor.h"
#include "support/TempDir.h"

using namespace quil;
using namespace quil::test;

namespace {

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

struct TEvents {
  std::vector<std::string> Log;
  std::vector<int32_t> Errors;
  void Attach(TZipCommon& c) {
    c.OnError = [this](TArcMain*, const std::string&, const std::string&, const std::string&,
                       int32_t code) { Errors.push_back(code); };
    c.OnActivate = [this](TArcMain*) { Log.push_back("activate"); };
    c.OnDeactivate = [this](TArcMain*) { Log.push_back("deactivate"); };
  }
};

mode_t ModeOf(const std::string& p) {
  struct stat st {};
  ::lstat(p.c_str(), &st);
  return st.st_mode & 07777;
}

}  // namespace

TEST(Driver, RefusesWhatItCannotExtract) {
  TTempDir dir;
  // A PAK archive is listed but never extracted.
  std::string pak = dir.Write("x.pak", std::string("\x1a\x0a", 2) + std::string(40, 'p'));
  struct Case {
    std::string archive;
    int32_t code;
  } cases[] = {{"", 25172}, {pak, 25242}};
  for (const auto& c : cases) {
    for (bool test : {false, true}) {
      TTestExtractor x;
      TEvents ev;
      ev.Attach(x);
      x.SetArchiveFile(c.archive);
      try {
        test ? x.ExtractForTest() : x.Extract();
        ADD_FAILURE() << "no exception";
      } catch (const E_RAISE& e) {
        EXPECT_EQ(e.Code, c.code);
      }
      EXPECT_EQ(ev.Errors, std::vector<int32_t>{c.code});
      EXPECT_TRUE(ev.Log.empty());  // refused before OnActivate
    }
  }
}

TEST(Driver, WindsUpWhenTheExtractorThrows) {
  TTestExtractor x;
  TEvents ev;
  ev.Attach(x);
  x.SetArchiveFile(Fixture("zip/stored-dirs.zip"));
  x.Work = [](TTestExtractor& self) { self.RaiseError("f", "", "0", 25109); };
  EXPECT_THROW(x.Extract(), E_RAISE);
  EXPECT_EQ(ev.Log, (std::vector<std::string>{"activate", "deactivate"}));
  EXPECT_EQ(ev.Errors, std::vector<int32_t>{25109});
  EXPECT_FALSE(x.ArcFile().IsOpen());
}

TEST(Driver, ExistingFileIsAskedAboutBeforeBegin) {
  TTempDir dir;
  for (bool accept : {true, false}) {
    dir.Write("out/a.txt", "old");
    TTestExtractor x;
    x.SetArchiveFile(Fixture("zip/stored-dirs.zip"));
    x.SetExtractDir(dir / "out");
    x.Entries = {{"a.txt", "new"}};
    std::vector<std::string> order;
    x.OnFileExists = [&](TArcMain*, const std::string& fn, TDateTime, bool& ok) {
      order.push_back("exists " + fn.substr(fn.rfind('/') + 1));
      ok = accept;
    };
    x.OnBegin = [&](TArcMain*, const std::string&, int32_t n, bool&) {
      order.push_back("begin " + std::to_string(n));
    };
    x.Extract();
    if (accept) {
      EXPECT_EQ(order, (std::vector<std::string>{"exists a.txt", "begin 1"}));
      EXPECT_EQ(ReadWhole(dir / "out/a.txt"), "new");
      EXPECT_EQ(x.FileCount(), 1);
    } else {
      EXPECT_EQ(order, (std::vector<std::string>{"exists a.txt"}));
      EXPECT_EQ(ReadWhole(dir / "out/a.txt"), "old");
      EXPECT_EQ(x.FileCount(), 0);
    }
  }
}

TEST(Driver, OutputNamesStayInsideTheExtractionFolder) {
  struct Case {
    const char* stored;
    bool storedDirs;
    const char* rel;
  } cases[] = {
      {"C:\\data\\x.txt", true, "data/x.txt"},
      {"C:\\data\\x.txt", false, "x.txt"},
      {"C:x.txt", true, "x.txt"},
      {"/tmp/abs.txt", true, "tmp/abs.txt"},
      {"../../evil.txt", true, "evil.txt"},
      {"sub/../../evil.txt", true, "sub/evil.txt"},
      {"a/./b//c.txt", true, "a/b/c.txt"},
      {"a\\b\\c.txt", true, "a/b/c.txt"},
      {"a/b/c.txt", false, "c.txt"},
  };
  for (const auto& c : cases) {
    TTestExtractor x;
    x.SetExtractDir("/srv/out");
    x.SetUseStoredDirs(c.storedDirs);
    x.SetOutputName(c.stored);
    EXPECT_EQ(x.FileName(), std::string("/srv/out/") + c.rel) << c.stored;
  }
  TTestExtractor x;
  x.SetOutputName("");
  EXPECT_EQ(x.FileName(), "");
  // Without a folder the output goes next to the archive.
  x.SetArchiveFile(Fixture("zip/stored-dirs.zip"));
  x.SetOutputName("n.txt");
  EXPECT_EQ(x.FileName(), Fixture("zip/n.txt"));
}

TEST(Driver, TraversingNamesAndLinksNeverWriteOutside) {
  TTempDir dir;
  std::string out = dir / "out", outside = dir / "outside";
  ::mkdir(out.c_str(), 0777);
  ::mkdir(outside.c_str(), 0777);
  ASSERT_EQ(::symlink(outside.c_str(), (out + "/link").c_str()), 0);
  ASSERT_EQ(::symlink((outside + "/target.txt").c_str(), (out + "/file.txt").c_str()), 0);
  TTestExtractor x;
  TEvents ev;
  ev.Attach(x);
  x.SetArchiveFile(Fixture("bad/zip-traversal.zip"));
  x.SetExtractDir(out);
  x.Entries = {{"../../up.txt", "1"}, {"link/in.txt", "2"}, {"file.txt", "3"}, {"/abs.txt", "4"}};
  x.Extract();
  EXPECT_TRUE(ReadWhole(out + "/up.txt") == "1");
  EXPECT_TRUE(ReadWhole(out + "/abs.txt") == "4");
  // The link in the way and the link as the file itself are refused.
  EXPECT_EQ(ev.Errors, (std::vector<int32_t>{25235, 25235}));
  EXPECT_FALSE(std::filesystem::exists(outside + "/in.txt"));
  EXPECT_FALSE(std::filesystem::exists(outside + "/target.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "up.txt"));
}

TEST(Driver, AttributesAndDatesAreRestored) {
  TTempDir dir;
  const uint32_t dos = (41u << 25) | (3u << 21) | (4u << 16) | (5u << 11) | (6u << 5) | 4u;
  const uint32_t newer = (43u << 25) | (1u << 21) | (2u << 16);
  TTestExtractor x;
  x.SetArchiveFile(Fixture("zip/stored-dirs.zip"));
  x.SetExtractDir(dir.Path());
  x.Entries = {{"ro.txt", "r", 0x21, dos},
               {"plain.txt", "p", 0x20, dos},
               {"tool.sh", "t", 0x20 | 0x01, dos, 0100755},
               {"exec.sh", "e", 0, dos, 0100750}};
  ::umask(022);
  x.Extract();
  EXPECT_EQ(ModeOf(dir / "ro.txt") & 0222, 0u);
  EXPECT_EQ(ModeOf(dir / "plain.txt"), 0644u);  // 0x20 exactly: as created
  EXPECT_EQ(ModeOf(dir / "tool.sh"), 0555u);    // stored mode, then read-only
  EXPECT_EQ(ModeOf(dir / "exec.sh"), 0750u);
  struct stat st {};
  ::stat((dir / "plain.txt").c_str(), &st);
  EXPECT_EQ(st.st_mtime, DosToUnix(dos));

  // The newest selected date stamps every file (the extractor keeps MaxFileDate as it selects);
  // nothing is restored when asked not to.
  TTestExtractor z;
  z.SetArchiveFile(Fixture("zip/stored-dirs.zip"));
  z.SetExtractDir(dir / "max");
  z.SetDateAttribute(daMaxFileDate);
  z.SetRestoreFileAttr(false);
  z.Entries = {{"a.txt", "a", 0x21, dos}, {"b.txt", "b", 0x20, dos}};
  z.OnBegin = [&](TArcMain*, const std::string&, int32_t, bool&) {
    z.SetMaxFileDate(static_cast<int32_t>(newer));
  };
  z.Extract();
  for (const char* n : {"max/a.txt", "max/b.txt"}) {
    ::stat((dir / n).c_str(), &st);
    EXPECT_EQ(st.st_mtime, DosToUnix(newer)) << n;
  }
  EXPECT_NE(ModeOf(dir / "max/a.txt") & 0200, 0u);
}

TEST(Driver, ExistingReadOnlyIsOverwrittenHiddenIsNot) {
  TTempDir dir;
  std::string ro = dir.Write("ro.txt", "old"), hidden = dir.Write(".hidden", "old");
  ::chmod(ro.c_str(), 0444);
  TTestExtractor x;
  TEvents ev;
  ev.Attach(x);
  x.SetArchiveFile(Fixture("zip/stored-dirs.zip"));
  x.SetExtractDir(dir.Path());
  x.Entries = {{"ro.txt", "new"}, {".hidden", "new"}};
  x.Extract();
  EXPECT_EQ(ReadWhole(ro), "new");
  EXPECT_EQ(ReadWhole(hidden), "old");
  EXPECT_EQ(ev.Errors, std::vector<int32_t>{25235});
}
