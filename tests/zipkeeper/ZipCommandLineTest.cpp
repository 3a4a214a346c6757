// quil a and quil d end to end: the options as the archive shows them afterwards (read by unzip and
// 7zz), and the exit codes.
#include <gtest/gtest.h>
#include <unistd.h>

#include "../zipwrite/ZipTestKit.h"

using namespace ziptest;

namespace {

const std::string kQuil = QUIL_BINARY_DIR "/cli/quil";

// The entry names unzip lists, one space after each.
std::string Names(const std::string& zip) {
  std::string out;
  Shell("unzip -Z1 " + Quote(zip) + " | sort | tr '\\n' ' '", &out);
  return out;
}

struct Tree {
  ScratchDir D;
  Tree() {
    PutFile(D / "tree/a.txt", std::string(5000, 'a'), 1600000000);
    PutFile(D / "tree/sub/b.txt", "bee\n", 1600000000);
    PutFile(D / "tree/sub/c.log", "log\n", 1600000000);
    EXPECT_EQ(::chdir(D.Path.c_str()), 0);
  }
  ~Tree() { EXPECT_EQ(::chdir("/"), 0); }
  int Quil(const std::string& args, std::string* out = nullptr) {
    // setsid: no controlling terminal, so a password question fails instead of waiting.
    return Shell("setsid -w " + Quote(kQuil) + " " + args + " </dev/null", out);
  }
};

}  // namespace

TEST(ZipCommandLine, AddOptionsShowInTheArchive) {
  struct Case {
    const char* args;
    const char* names;
    const char* check;  // a Python expression over z (the ZipFile) that must be true, or ""
  };
  const std::vector<Case> cases = {
      {"a -r x.zip tree", "tree/ tree/a.txt tree/sub/ tree/sub/b.txt tree/sub/c.log ", ""},
      {"a -r --no-dir-names x.zip tree", "a.txt b.txt c.log ", ""},
      {"a -r -x '*.log' -x tree/a.txt x.zip tree", "tree/ tree/sub/ tree/sub/b.txt ", ""},
      {"a -mx0 x.zip tree/a.txt", "tree/a.txt ", "z.getinfo('tree/a.txt').compress_type==0"},
      {"a -mx9 x.zip tree/a.txt", "tree/a.txt ",
       "z.getinfo('tree/a.txt').compress_type==8 and z.getinfo('tree/a.txt').compress_size<100"},
      {"add -p secret x.zip tree/a.txt tree/sub/b.txt", "tree/a.txt tree/sub/b.txt ",
       "all(i.flag_bits & 1 for i in z.infolist())"},
      {"a -psecret x.zip tree/a.txt", "tree/a.txt ", "z.getinfo('tree/a.txt').flag_bits & 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Tree t;
    std::string out;
    ASSERT_EQ(t.Quil(c.args, &out), 0) << out;
    EXPECT_EQ(Names("x.zip"), c.names);
    EXPECT_EQ(Shell("unzip -tq -P secret x.zip", &out), 0) << out;
    EXPECT_EQ(Shell("7zz t -psecret x.zip", &out), 0) << out;
    if (*c.check) {
      EXPECT_EQ(Shell("python3 -I -S -c " +
                      Quote(std::string("import sys,zipfile\nz=zipfile.ZipFile('x.zip')\n"
                                        "sys.exit(0 if (") +
                            c.check + ") else 1)")),
                0);
    }
  }
}

TEST(ZipCommandLine, UpdateFreshenMoveAndDelete) {
  Tree t;
  std::string out;
  ASSERT_EQ(t.Quil("a x.zip tree/a.txt", &out), 0) << out;
  // A newer b.txt and a newer a.txt: freshen takes only a.txt (b.txt is not in the archive),
  // update takes both.
  PutFile(t.D / "tree/a.txt", "new a", 1700000000);
  PutFile(t.D / "tree/sub/b.txt", "new b", 1700000000);
  ASSERT_EQ(t.Quil("a -f x.zip tree/a.txt tree/sub/b.txt", &out), 0) << out;
  EXPECT_EQ(Names("x.zip"), "tree/a.txt ");
  Shell("unzip -p x.zip tree/a.txt", &out);
  EXPECT_EQ(out, "new a");
  ASSERT_EQ(t.Quil("a -u x.zip tree/a.txt tree/sub/b.txt", &out), 0) << out;
  EXPECT_EQ(Names("x.zip"), "tree/a.txt tree/sub/b.txt ");
  // Nothing newer: update has nothing to do, which is no failure.
  EXPECT_EQ(t.Quil("a -u x.zip tree/a.txt", &out), 0) << out;
  // --move deletes the sources once they are stored.
  ASSERT_EQ(t.Quil("a --move x.zip tree/sub/c.log", &out), 0) << out;
  EXPECT_FALSE(fs::exists(t.D / "tree/sub/c.log"));
  EXPECT_EQ(Names("x.zip"), "tree/a.txt tree/sub/b.txt tree/sub/c.log ");
  ASSERT_EQ(t.Quil("d x.zip 'tree/sub/*'", &out), 0) << out;
  EXPECT_EQ(Names("x.zip"), "tree/a.txt ");
  EXPECT_EQ(Shell("unzip -tq x.zip", &out), 0) << out;
  EXPECT_EQ(Shell("7zz t x.zip", &out), 0) << out;
}

TEST(ZipCommandLine, ExitCodes) {
  struct Case {
    const char* args;
    int code;
  };
  const std::vector<Case> cases = {
      {"a", 7},
      {"a x.zip", 7},
      {"a --bogus x.zip tree", 7},
      {"a -x", 7},
      {"d x.zip", 7},
      {"d -r x.zip a", 7},
      {"a x.zip no-such-file", 2},
      {"a notzip.txt tree/a.txt", 2},     // an existing file that is no ZIP is left alone
      {"d missing.zip tree/a.txt", 2},
      {"d x.zip no-such-entry", 2},
      {"a -p x.zip tree/a.txt", 2},       // asks, but there is no terminal
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Tree t;
    PutFile(t.D / "notzip.txt", "plain text, not an archive");
    std::string out;
    ASSERT_EQ(t.Quil("a x.zip tree/sub/b.txt", &out), 0) << out;
    const std::string before = Slurp(t.D / "x.zip");
    EXPECT_EQ(t.Quil(c.args, &out), c.code) << out;
    EXPECT_EQ(Slurp(t.D / "x.zip"), before);
    EXPECT_EQ(Slurp(t.D / "notzip.txt"), "plain text, not an archive");
  }
}
