// quil x / e / t end to end: exit codes, one failure line per failed entry, overwrite choices, and
// the output compared with unzip's.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace quil::test {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int rc = -1;
  std::string err;  // stdout and stderr together
};

// Runs a shell command with stdin from /dev/null (never a terminal).
TRun Shell(const std::string& command) {
  TRun r;
  FILE* p = ::popen((command + " </dev/null 2>&1").c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.err.append(buf.data(), n);
  int st = ::pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TRun Quil(const std::string& args) { return Shell(std::string(QUIL_CLI) + " " + args); }
std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }
std::string Data(const std::string& rel) { return std::string(QUIL_EXTRACT_DATA) + "/" + rel; }

TEST(ExtractCommand, ExtractsLikeUnzip) {
  TTempDir dir;
  const std::string zip = Fixture("zip-encrypted/zipcrypto-mixed.zip");
  TRun r = Quil("x -p Quillet-pw1 -o " + dir.Path() + "/q '" + zip + "'");
  EXPECT_EQ(r.rc, 0) << r.err;
  TRun u = Shell("unzip -q -P Quillet-pw1 -d " + dir.Path() + "/u '" + zip + "'");
  ASSERT_EQ(u.rc, 0) << u.err;
  TRun diff = Shell("diff -r " + dir.Path() + "/q " + dir.Path() + "/u");
  EXPECT_EQ(diff.rc, 0) << diff.err;
}

TEST(ExtractCommand, FailuresGiveOneLineEachAndExitTwo) {
  struct {
    std::string Args;
    int Rc;
    std::string Lines;
  } cases[] = {
      {"t '" + Fixture("bad/zip-crc-error.zip") + "'", 2,
       "quil: readme.txt: 25151 File fails CRC check\n"},
      {"t '" + Data("d64.zip") + "'", 2,
       "quil: one.txt: 25301 Unsupported compression method (Deflate64 (9))\n"},
      {"t '" + Data("pw-three.zip") + "'", 2,
       "quil: one.txt: 26522 Password failed\nquil: two.txt: 26522 Password failed\n"
       "quil: three.txt: 26522 Password failed\n"},
      {"t -p alpha '" + Data("pw-three.zip") + "'", 0, ""},
      {"t -x one.txt '" + Data("d64.zip") + "'", 0, ""},
      {"x '" + Fixture("tar/ustar-dirs.tar") + "'", 2,
       "quil: " + Fixture("tar/ustar-dirs.tar") +
           ": 25242 Invalid or unsupported archive type for this operation\n"},
      {"t '" + Data("README.txt") + "'", 1,
       "quil: " + Data("README.txt") + ": 25302 Unknown file type\n"},
  };
  for (const auto& c : cases) {
    TRun r = Quil(c.Args);
    EXPECT_EQ(r.rc, c.Rc) << c.Args;
    EXPECT_EQ(r.err, c.Lines) << c.Args;
  }
}

TEST(ExtractCommand, ExistingFilesAreSkippedOrOverwrittenAsTold) {
  TTempDir dir;
  const std::string zip = Fixture("zip/stored-dirs.zip");
  const std::string x = std::string(QUIL_CLI) + " x -o " + dir.Path() + " ";
  ASSERT_EQ(Shell(x + "'" + zip + "'").rc, 0);
  dir.Write("readme.txt", "changed");
  // No terminal and no choice: skipped and reported.
  TRun r = Shell(x + "'" + zip + "' readme.txt");
  EXPECT_EQ(r.rc, 2);
  EXPECT_NE(r.err.find("readme.txt: 26800 Skipped File"), std::string::npos) << r.err;
  EXPECT_EQ(ReadWhole(dir / "readme.txt"), "changed");
  EXPECT_EQ(Shell(x + "-n '" + zip + "'").rc, 0);
  EXPECT_EQ(ReadWhole(dir / "readme.txt"), "changed");
  EXPECT_EQ(Shell(x + "-y '" + zip + "'").rc, 0);
  EXPECT_EQ(ReadWhole(dir / "readme.txt").size(), 12000u);
}

TEST(ExtractCommand, FlatExtractionDropsTheFolders) {
  TTempDir dir;
  TRun r = Quil("e -o " + dir.Path() + " '" + Fixture("zip/stored-dirs.zip") + "'");
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(dir / "table.csv"));
  EXPECT_TRUE(fs::is_regular_file(dir / "notes.txt"));
  EXPECT_FALSE(fs::exists(dir / "sub"));
}

}  // namespace
}  // namespace quil::test
