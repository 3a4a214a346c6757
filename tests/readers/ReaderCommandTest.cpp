// quil l over every format family: one tab-separated row per entry, and empty CRC and method
// columns where the format stores none instead of made-up values.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

struct TRun {
  int rc = -1;
  std::vector<std::vector<std::string>> rows;
};

TRun Quil(const std::string& args) {
  TRun r;
  FILE* p = ::popen((std::string(QUIL_CLI) + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = ::pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::stringstream ss(out);
  for (std::string line; std::getline(ss, line);) {
    std::vector<std::string> cells;
    std::stringstream ls(line);
    for (std::string c; std::getline(ls, c, '\t');) cells.push_back(c);
    if (!line.empty() && line.back() == '\t') cells.emplace_back();
    r.rows.push_back(cells);
  }
  return r;
}

}  // namespace

TEST(ReaderCommand, EveryFamilyListsWithHonestColumns) {
  struct TCase {
    const char* Rel;
    size_t Rows;
    bool Crc;     // the CRC column is filled
    bool Method;  // the method column is filled
  };
  const TCase cases[] = {
      {"ace/onefile.ace", 1, true, true},
      {"arc/methods.arc", 6, true, true},
      {"arj/methods-0to4.arj", 5, true, true},
      {"cab/gcab-mszip.cab", 3, false, true},
      {"compress/text-b16.Z", 1, false, true},
      {"gzip/named.gz", 1, true, true},
      {"ha/hsc.ha", 3, true, true},
      {"lha/jlha-h2-lh7-dirs.lzh", 6, true, true},
      {"msgz/TestArchive1-NoCompression.Z", 3, false, false},
      {"rar/sc_Rar15.rar", 5, true, true},
      {"rar/ss_testfile.rar5.rar", 1, true, true},
      {"tar/ustar-dirs.tar", 7, false, true},
      {"uue/readme.uue", 1, false, false},
      {"zoo/lzh.zoo", 3, true, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Rel);
    TRun r = Quil("l --tsv --dirs '" + Fixture(c.Rel) + "'");
    EXPECT_EQ(r.rc, 0);
    ASSERT_EQ(r.rows.size(), c.Rows);
    for (const auto& row : r.rows) {
      ASSERT_EQ(row.size(), 6u);
      EXPECT_FALSE(row[0].empty());
      if (row[0].back() == '/') continue;
      EXPECT_EQ(!row[3].empty(), c.Crc) << row[0];
      EXPECT_EQ(!row[4].empty(), c.Method) << row[0];
    }
  }
}
