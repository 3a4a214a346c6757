// Extracting and testing through libqunzip.so, driven by the ZIP maintenance object: every ZIP
// fixture to the contents its expect file names, the questions the library asks (password,
// CRC error, existing file) with their answers, and names that try to leave the folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "../support/ExpectFile.h"
#include "../support/Sha256.h"
#include "../support/ZipBuilder.h"
#include "../zipwrite/ZipTestKit.h"
#include "zipbridge/ZipKeeper.h"

using namespace quil;
using namespace ziptest;

namespace {

const std::string kLibDir = QUIL_BINARY_DIR "/lib";
const std::string kFixtures = QUIL_FIXTURES;

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

// A keeper set up for one extraction into `dir` from `zip`; the process goes back to "/" after
// each run, as the keeper changes into the extraction folder.
struct Extraction {
  TZipKeeper K;
  std::vector<std::string> Events;  // "skip:<reason>:<name>", "crc:<name>", "exists:<name>", ...
  Extraction(const std::string& zip, const std::string& dir) {
    K.SetDLLDirectory(kLibDir);
    K.SetZipFileName(zip);
    K.ExtrBaseDir = dir;
    K.ExtrOptions = {ExtrDirNames};
    K.Unattended = true;
    K.OnExtractSkipped = [this](TZipKeeper&, const std::string& f, uint8_t why, int) {
      Events.push_back("skip:" + std::to_string(why) + ":" + f);
    };
  }
  int32_t Run(std::vector<std::string> specs = {"*"}) {
    K.FSpecArgs = std::move(specs);
    K.Extract();
    EXPECT_EQ(::chdir("/"), 0);
    return K.DoneCount();
  }
};

std::vector<std::string> ZipFixtures() {
  std::vector<std::string> out;
  for (const char* sub : {"zip", "zip-legacy", "zip-encrypted"})
    for (auto& e : fs::directory_iterator(kFixtures + "/" + sub)) {
      std::string p = e.path().string();
      std::string ext = e.path().extension().string();
      if (ext == ".zip" || ext == ".jar") out.push_back(p);
    }
  out.push_back(kFixtures + "/sfx/zip-sfx-adjusted.exe");  // a program in front of the ZIP
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(ZipKeeperExtract, FixturesExtractAndTestToTheirExpectedContents) {
  for (const std::string& zip : ZipFixtures()) {
    SCOPED_TRACE(zip);
    auto expect = test::ReadExpectFile(zip + ".expect.tsv");
    std::string password;
    if (fs::exists(zip + ".password")) password = Trimmed(Slurp(zip + ".password"));
    ScratchDir d;
    Extraction x(zip, d.Path.string());
    x.K.Password = password;
    size_t files = 0;
    for (auto& e : expect) files += e.IsDir() ? 0 : 1;
    EXPECT_EQ(size_t(x.Run()), files) << x.K.ErrorMessage();
    EXPECT_TRUE(x.Events.empty());
    for (auto& e : expect) {
      std::string path = d / e.Name;
      if (e.IsDir()) {
        EXPECT_TRUE(fs::is_directory(path)) << e.Name;
        continue;
      }
      ASSERT_TRUE(fs::is_regular_file(path)) << e.Name;
      EXPECT_EQ(test::Sha256Hex(Slurp(path)), e.Sha256) << e.Name;
    }
    // Testing reads every entry again and writes nothing.
    ScratchDir t;
    Extraction check(zip, t.Path.string());
    check.K.Password = password;
    check.K.ExtrOptions = {ExtrTest};
    EXPECT_EQ(size_t(check.Run()), files);
    EXPECT_TRUE(fs::is_empty(t.Path));
  }
}

TEST(ZipKeeperExtract, PasswordRequestsFollowTheAllowedCount) {
  const std::string zip = kFixtures + "/zip-encrypted/zipcrypto-mixed.zip";
  const std::string good = Trimmed(Slurp(zip + ".password"));
  struct Case {
    uint32_t allowed;
    std::vector<std::string> answers;  // given in turn; "" refuses
    int asked;
    int32_t done;
    std::vector<std::string> skips;
  };
  const std::vector<Case> cases = {
      // Three wrong answers use up the allowance: both encrypted entries are skipped (reason 4).
      {3, {"no1", "no2", "no3", good}, 3, 1, {"skip:4:readme.txt", "skip:4:runs.dat"}},
      // A wrong answer, then the right one: it also opens the next entry without asking again.
      {3, {"wrong", good}, 2, 3, {}},
      // A refusal ends the questions for the run.
      {5, {""}, 1, 1, {"skip:3:readme.txt", "skip:3:runs.dat"}},
      // No questions allowed.
      {0, {good}, 0, 1, {"skip:3:readme.txt", "skip:3:runs.dat"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.allowed);
    ScratchDir d;
    Extraction x(zip, d.Path.string());
    x.K.SetPasswordReqCount(c.allowed);
    int asked = 0;
    std::vector<uint32_t> repeats;
    x.K.OnPasswordError = [&](TZipKeeper&, std::string& pw, const std::string& f, uint32_t& n) {
      EXPECT_EQ(f, "readme.txt");
      repeats.push_back(n);
      pw = c.answers[size_t(asked++)];
    };
    EXPECT_EQ(x.Run(), c.done);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(x.Events, c.skips);
    EXPECT_EQ(fs::exists(d / "readme.txt"), c.done == 3);
    EXPECT_EQ(x.K.PasswordReqCount(), c.allowed);
    if (!repeats.empty()) {
      EXPECT_EQ(repeats.front(), c.allowed);  // the allowance goes out first
    }
  }
}

TEST(ZipKeeperExtract, CrcErrorsAskWhetherTheFileStays) {
  const std::string zip = kFixtures + "/bad/zip-crc-error.zip";
  for (int answer : {0, 1, -1}) {  // discard, keep, no handler
    SCOPED_TRACE(answer);
    ScratchDir d;
    Extraction x(zip, d.Path.string());
    std::vector<std::string> seen;
    if (answer >= 0) {
      x.K.OnCRC32Error = [&](TZipKeeper&, const std::string& f, uint32_t found, uint32_t expected,
                             bool& keep) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s %08x %08x", f.c_str(), found, expected);
        seen.push_back(buf);
        keep = answer == 1;
      };
    }
    EXPECT_EQ(x.Run(), 1);  // only sub/notes.txt is sound
    if (answer >= 0) {
      EXPECT_EQ(seen, std::vector<std::string>{"readme.txt 0cb5bbf0 3cf6831d"});
    }
    EXPECT_EQ(fs::exists(d / "readme.txt"), answer != 0);
    EXPECT_TRUE(fs::exists(d / "sub/notes.txt"));
    // Testing finds the same fault.
    Extraction t(zip, d.Path.string());
    t.K.ExtrOptions = {ExtrTest};
    EXPECT_EQ(t.Run(), 1);
  }
}

TEST(ZipKeeperExtract, ExistingFilesFollowTheOptionsAndAnswers) {
  const std::string zip = kFixtures + "/zip-encrypted/zipcrypto-mixed.zip";  // sub/notes.txt plain
  struct Case {
    const char* name;
    ExtrOpts opts;
    int answer;        // -1: no handler
    time_t existing;   // mtime of the file already there
    bool replaced;
    int asked;
    std::string skip;
  };
  const time_t old = 315532800 + 86400, future = 4102444800;  // 1980-01-02, 2100-01-01
  const std::vector<Case> cases = {
      {"ask, keep", {ExtrDirNames}, 0, old, false, 1, "skip:1:sub/notes.txt"},
      {"ask, replace", {ExtrDirNames}, 1, old, true, 1, ""},
      {"no handler keeps", {ExtrDirNames}, -1, old, false, 0, "skip:1:sub/notes.txt"},
      {"overwrite", {ExtrDirNames, ExtrOverWrite}, 0, future, true, 0, ""},
      {"update, older file", {ExtrDirNames, ExtrUpdate}, 0, old, true, 0, ""},
      {"update, newer file", {ExtrDirNames, ExtrUpdate}, 0, future, false, 0,
       "skip:7:sub/notes.txt"},
      {"freshen, newer file", {ExtrDirNames, ExtrFreshen}, 0, future, false, 0,
       "skip:7:sub/notes.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir d;
    PutFile(d / "sub/notes.txt", "mine", c.existing);
    Extraction x(zip, d.Path.string());
    x.K.ExtrOptions = c.opts;
    int asked = 0;
    if (c.answer >= 0) {
      x.K.OnExtractOverwrite = [&](TZipKeeper&, const std::string& f, bool isOlder, bool& yes) {
        ++asked;
        EXPECT_EQ(f, "sub/notes.txt");
        EXPECT_TRUE(isOlder);
        EXPECT_FALSE(yes);  // the library's default is to keep
        yes = c.answer == 1;
      };
    }
    x.Run({"sub/*"});
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(Slurp(d / "sub/notes.txt") != "mine", c.replaced);
    EXPECT_EQ(x.Events, c.skip.empty() ? std::vector<std::string>{}
                                       : std::vector<std::string>{c.skip});
  }
  // A missing extraction folder is made; one that cannot be made stops the run.
  {
    ScratchDir d;
    Extraction x(zip, d / "new/deeper");
    EXPECT_EQ(x.Run({"sub/*"}), 1);
    EXPECT_TRUE(fs::exists(d / "new/deeper/sub/notes.txt"));
    PutFile(d / "file", "");
    Extraction y(zip, d / "file/below");
    EXPECT_EQ(y.Run({"sub/*"}), 0);
    EXPECT_EQ(y.K.ErrorCode(), 10501);
  }
  // Freshen leaves missing files missing.
  ScratchDir d;
  Extraction x(zip, d.Path.string());
  x.K.ExtrOptions = {ExtrDirNames, ExtrFreshen};
  EXPECT_EQ(x.Run(), 0);
  EXPECT_TRUE(fs::is_empty(d.Path));
}

TEST(ZipKeeperExtract, NamesNeverLeaveTheFolder) {
  ScratchDir root;
  const std::string out = root / "out";
  fs::create_directories(out);
  fs::create_directories(root / "outside");
  // A link inside the folder that points out of it, and an archive that writes through it.
  fs::create_directory_symlink(root / "outside", out + "/link");
  PutFile(root / "linked.zip",
          test::BuildZip({{"link/escaped.txt", "x"}, {"link", "over the link"}, {"ok.txt", "ok"}}));
  for (const std::string& zip : {kFixtures + "/bad/zip-traversal.zip", root / "linked.zip"}) {
    Extraction x(zip, out);
    x.K.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
    x.Run();
  }
  std::string listing;
  Shell("cd " + Quote(root.Path.string()) + " && find . -mindepth 1 | cut -c3- | sort", &listing);
  std::set<std::string> names;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) names.insert(line);
  const std::set<std::string> expect = {
      "linked.zip", "out", "out/good.txt", "out/evil-parent.txt", "out/tmp",
      "out/tmp/quillet-absolute.txt", "out/sub", "out/sub/evil-sneaky.txt", "out/quillet", "out/quillet/drive.txt",
      "out/link", "out/ok.txt", "outside"};
  EXPECT_EQ(names, expect);
  EXPECT_TRUE(fs::is_symlink(out + "/link"));
  EXPECT_TRUE(fs::is_empty(root / "outside"));
  EXPECT_EQ(Slurp(out + "/evil-parent.txt").size(), 19u);
}

TEST(ZipKeeperExtract, DeclaredSizesBoundTheOutput) {
  struct Case {
    std::string zip;
    int32_t done;
    std::vector<std::string> skips;
  };
  const std::vector<Case> cases = {
      // Claims 4 GiB for 1620 stored bytes: reported as damaged, nothing left behind.
      {"bad/zip-bogus-size.zip", 0, {"skip:6:sub/notes.txt"}},
      {"bad/zip-ratio-1000.zip", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zip);
    ScratchDir d;
    Extraction x(kFixtures + "/" + c.zip, d.Path.string());
    EXPECT_EQ(x.Run(), c.done);
    EXPECT_EQ(x.Events, c.skips);
    for (auto& e : fs::recursive_directory_iterator(d.Path)) {
      if (!e.is_regular_file()) continue;
      EXPECT_EQ(e.path().filename().string().rfind(".quil-", 0), std::string::npos);
      EXPECT_LE(fs::file_size(e.path()), 20971520u);
    }
  }
}
