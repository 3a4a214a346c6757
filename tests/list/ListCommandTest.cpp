// quil l end to end: the tab-separated listing against the expect files and Info-ZIP's names, and
// the exit codes and messages of the failures.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>

#include "support/ExpectFile.h"
#include "support/TempDir.h"

using namespace quil::test;

namespace {

struct TRun {
  int rc = -1;
  std::string out;
};

TRun Shell(const std::string& command) {
  TRun r;
  std::string cmd = command + " 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = ::pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TRun Quil(const std::string& args) { return Shell(std::string(QUIL_CLI) + " " + args); }

std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::stringstream ss(text);
  std::string line;
  while (std::getline(ss, line)) {
    std::vector<std::string> cells;
    size_t i = 0;
    for (;;) {
      size_t j = line.find('\t', i);
      cells.push_back(line.substr(i, j == std::string::npos ? std::string::npos : j - i));
      if (j == std::string::npos) break;
      i = j + 1;
    }
    rows.push_back(cells);
  }
  return rows;
}

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

}  // namespace

TEST(ListCommand, TsvMatchesTheExpectFiles) {
  for (const char* rel : {"zip/deflate-l6-comments.zip", "zip/stored-dirs.zip", "zip-span/span.zip",
                          "sfx/zip-sfx-adjusted.exe"}) {
    SCOPED_TRACE(rel);
    auto expect = ReadExpectFile(Fixture(rel) + ".expect.tsv");
    TRun r = Quil("l --tsv --dirs '" + Fixture(rel) + "'");
    ASSERT_EQ(r.rc, 0) << r.out;
    auto rows = Rows(r.out);
    ASSERT_EQ(rows.size(), expect.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      ASSERT_EQ(rows[i].size(), 6u);
      EXPECT_EQ(rows[i][0], expect[i].Name);
      EXPECT_EQ(rows[i][1], std::to_string(expect[i].Size));
      char crc[9];
      std::snprintf(crc, sizeof crc, "%08X", expect[i].Crc);
      EXPECT_EQ(rows[i][3], crc);
      EXPECT_EQ(rows[i][4].substr(0, 6), expect[i].Method == "0" ? "Stored" : "Deflat");
      EXPECT_EQ(rows[i][5].size(), 19u);
    }
  }
  // Dates as stored (DOS time, no zone): the fixtures were made at 2021-03-04 05:06:08.
  TRun r = Quil("l --tsv '" + Fixture("zip/stored-dirs.zip") + "' readme.txt");
  EXPECT_EQ(r.out, "readme.txt\t12000\t12000\t3CF6831D\tStored\t2021-03-04 05:06:08\n");
}

TEST(ListCommand, NamesAgreeWithUnzip) {
  const std::string zip = Fixture("zip/deflate-l1-nodirs.zip");
  TRun oracle = Shell("unzip -Z1 '" + zip + "'");
  if (oracle.rc != 0) GTEST_SKIP() << "unzip not available";
  TRun r = Quil("l --tsv '" + zip + "'");
  std::string names;
  for (const auto& row : Rows(r.out)) names += row[0] + "\n";
  EXPECT_EQ(names, oracle.out);
}

TEST(ListCommand, FailuresPrintTheMessageAndExitCode) {
  TTempDir dir;
  std::string text = dir.Write("notes.txt", std::string(100, 'x'));
  struct Case {
    std::string args;
    int rc;
    std::string says;
  } cases[] = {
      {"l '" + text + "'", 1, "25302 Unknown file type"},
      {"l '" + (dir / "none.zip") + "'", 2, "25172 File not found"},
      {"l", 7, "usage"},
      {"l --bogus x.zip", 7, "unknown option"},
      {"l -x", 7, "usage"},
  };
  for (const auto& c : cases) {
    TRun r = Quil(c.args);
    EXPECT_EQ(r.rc, c.rc) << c.args;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
  }
  // The readable table ends with the totals; exclusions leave entries out.
  TRun t = Quil("l -x '*.csv' '" + Fixture("zip/stored-dirs.zip") + "'");
  EXPECT_EQ(t.rc, 0);
  EXPECT_EQ(t.out.find("table.csv"), std::string::npos);
  EXPECT_NE(t.out.find("4 files"), std::string::npos) << t.out;
}
