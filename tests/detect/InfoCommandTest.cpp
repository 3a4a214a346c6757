// quil info over real archives: one tab-separated line per file, and the exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct QuilRun {
  std::string out;
  int rc;
};

QuilRun Quil(const std::string& args) {
  std::string cmd = std::string(QUIL_BINARY_DIR) + "/cli/quil " + args + " 2>/dev/null";
  QuilRun r{{}, -1};
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = ::pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string Fx(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

}  // namespace

TEST(InfoCommand, LinesAndExitCodes) {
  struct Case {
    std::string args;
    std::string out;
    int rc;
  } cases[] = {
      {Fx("zip/hello.jar") + " " + Fx("sfx/arj-mzstub.exe"),
       Fx("zip/hello.jar") + "\tJava JAR\t379\t25\t701\t0\n" + Fx("sfx/arj-mzstub.exe") +
           "\tARJ SFX\t513\t0\t5486\t1\n",
       0},
      {Fx("msgz/TestArchive1-NoCompression.Z"),
       Fx("msgz/TestArchive1-NoCompression.Z") + "\tMsGZ\t1\t0\t24103\t0\n", 0},
      {Fx("arj/multivol.a01") + " " + Fx("bad/cab-bad_signature.cab"),
       Fx("arj/multivol.a01") + "\tARJ\t1\t0\t19315\t2\n" + Fx("bad/cab-bad_signature.cab") +
           "\tUnknown\t1\t0\t37\t0\n",
       1},
      {"/nonexistent/x.zip " + Fx("bad/cab-bad_signature.cab"),
       "/nonexistent/x.zip\tFile Error\t1\t0\t0\t0\n" + Fx("bad/cab-bad_signature.cab") +
           "\tUnknown\t1\t0\t37\t0\n",
       2},
      {"", "", 7},
      {"--bogus " + Fx("zip/hello.jar"), "", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    QuilRun r = Quil("info " + c.args);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.rc, c.rc);
  }
}

TEST(InfoCommand, HelpListsItAndTheExitCodes) {
  QuilRun r = Quil("--help");
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("quil info FILE..."), std::string::npos);
  for (const char* code : {"  0  ", "  1  ", "  2  ", "  7  "})
    EXPECT_NE(r.out.find(code), std::string::npos) << code;
}
