#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "ScratchDir.h"
#include "engine/core/ArcFile.h"
#include "engine/core/Dirs.h"
#include "engine/core/FileQueries.h"
#include "engine/core/Messages.h"
#include "engine/core/NameReaders.h"
#include "engine/core/TempFile.h"

using namespace quil;

namespace {

bool Exists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

// Runs f and returns the message number of the E_RAISE it throws (0 when it does not throw).
template <class F>
int RaisedCode(F f) {
  try {
    f();
  } catch (const E_RAISE& e) {
    return e.Code;
  }
  return 0;
}

}  // namespace

TEST(FileQueries, AttributesAndQuestions) {
  ScratchDir d;
  const std::string file = d.Write("plain.txt", "x");
  const std::string ro = d.Write("ro.txt", "x");
  ASSERT_EQ(::chmod(ro.c_str(), 0444), 0);
  const std::string hidden = d.Write(".hidden", "x");
  const std::string dir = d / "sub";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::string missing = d / "missing";
  ASSERT_EQ(::symlink(missing.c_str(), (d / "dangling").c_str()), 0);

  struct { std::string path; int32_t attr; bool writable; bool isDir; bool found; } cases[] = {
      {file, 0x20, true, false, true},
      {ro, 0x21, false, false, true},
      {hidden, 0x22, false, false, true},
      {dir, 0x10, false, true, true},
      {dir + "/", 0x10, false, true, true},
      {missing, -1, false, false, false},
      {d / "dangling", -1, false, false, true},
      {d / "*.txt", -1, false, false, true},
      {d / "p?ain.*", -1, false, false, true},
      {d / "*.doc", -1, false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DosAttributesOf(c.path), c.attr) << c.path;
    EXPECT_EQ(FileIsWritable(c.path), c.writable) << c.path;
    EXPECT_EQ(DirectoryExists(c.path), c.isDir) << c.path;
    EXPECT_EQ(FileExistsByFind(c.path), c.found) << c.path;
  }
  EXPECT_TRUE(DirectoryExists(""));
  EXPECT_FALSE(FileExistsByFind(""));

  // Read-only on and off again through the DOS view.
  EXPECT_TRUE(ApplyDosAttributes(file, 0x21));
  EXPECT_EQ(DosAttributesOf(file), 0x21);
  EXPECT_TRUE(ApplyDosAttributes(file, 0x20));
  EXPECT_EQ(DosAttributesOf(file), 0x20);
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
  EXPECT_FALSE(ApplyDosAttributes(missing, 0));
}

TEST(NameReaders, CountedAndZeroTerminated) {
  ScratchDir d;
  const std::string bytes = std::string("\x05HELLOab\0cd", 11) + std::string("one\0two\0", 8) +
                            std::string(255, 'n') + std::string(1, '\0') + "tail";
  TArcFile f;
  ASSERT_TRUE(f.Open(d.Write("names.bin", bytes), TArcFile::ReadOnly));

  int64_t pos = 1;
  EXPECT_EQ(ReadCountedName(f, pos, 5), "HELLO");
  EXPECT_EQ(pos, 6);
  EXPECT_EQ(ReadCountedName(f, pos, 5), "ab");  // ends at the zero byte, position moves by 5
  EXPECT_EQ(pos, 11);
  EXPECT_EQ(ReadCountedName(f, pos, 0), "");
  EXPECT_EQ(pos, 11);

  EXPECT_EQ(ReadZeroTerminatedName(f, pos), "one");
  EXPECT_EQ(pos, 15);
  EXPECT_EQ(ReadZeroTerminatedName(f, pos), "two");
  EXPECT_EQ(pos, 19);
  EXPECT_EQ(ReadZeroTerminatedName(f, pos), std::string(255, 'n'));  // the longest name
  EXPECT_EQ(pos, 19 + 256);

  // Damaged headers: nothing read, position unchanged.
  int64_t at = 19 + 256;
  EXPECT_FALSE(ReadZeroTerminatedName(f, at));  // "tail" has no zero before the end
  EXPECT_FALSE(ReadCountedName(f, at, 5));      // only 4 bytes left
  EXPECT_EQ(at, 19 + 256);
  at = 19;
  EXPECT_FALSE(ReadCountedName(f, at, 256));
  EXPECT_FALSE(ReadCountedName(f, at, -1));
  int64_t before = -1;
  EXPECT_FALSE(ReadCountedName(f, before, 1));
  EXPECT_FALSE(ReadZeroTerminatedName(f, before));
  at = 19 + 1;
  EXPECT_EQ(ReadZeroTerminatedName(f, at), std::string(254, 'n'));
  TArcFile g;  // a 256-byte name is one too long
  ASSERT_TRUE(g.Open(d.Write("long.bin", std::string(256, 'n') + '\0'), TArcFile::ReadOnly));
  int64_t zero = 0;
  EXPECT_FALSE(ReadZeroTerminatedName(g, zero));
}

TEST(TempFile, NamesAndStreams) {
  ScratchDir d;
  const std::string a = MakeTempFileName("", d.Path());
  const std::string b = MakeTempFileName("", d.Path());
  EXPECT_NE(a, b);
  EXPECT_TRUE(Exists(a));
  EXPECT_EQ(a.rfind(d.Path() + "/riz", 0), 0u) << a;
  const std::string c = MakeTempFileName("x/y", d.Path());
  EXPECT_EQ(c.rfind(d.Path() + "/x_y", 0), 0u) << c;
  EXPECT_EQ(RaisedCode([&] { MakeTempFileName("", d / "missing"); }), 25235);

  // The temporary folder comes from TMPDIR.
  const char* old = std::getenv("TMPDIR");
  std::string saved = old ? old : "";
  ::setenv("TMPDIR", (d.Path() + "/").c_str(), 1);
  EXPECT_EQ(TempFolder(), d.Path());
  std::string name;
  {
    TTempFileStream s("qt");
    name = s.FileName();
    EXPECT_EQ(name.rfind(d.Path() + "/qt", 0), 0u) << name;
    EXPECT_EQ(s.Write("hello world", 11), 11);
    EXPECT_EQ(s.Size(), 11);
    ASSERT_TRUE(s.Seek(6));
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 5);
    EXPECT_STREQ(buf, "world");
    EXPECT_TRUE(Exists(name));
  }
  EXPECT_FALSE(Exists(name));  // deleted with the stream
  ::setenv("TMPDIR", (d.Path() + "/missing").c_str(), 1);
  EXPECT_EQ(RaisedCode([] { TTempFileStream s; }), 25235);
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

TEST(Dirs, CreateDirectoryPath) {
  ScratchDir d;
  CreateDirectoryPath(d / "a/b/c/");
  EXPECT_TRUE(DirectoryExists(d / "a/b/c"));
  CreateDirectoryPath(d / "a/b/c");  // already there
  CreateDirectoryPath(d / "x//y");
  EXPECT_TRUE(DirectoryExists(d / "x/y"));
  CreateDirectoryPath(d / "a/./b/../d");
  EXPECT_TRUE(DirectoryExists(d / "a/d"));

  d.Write("file", "x");
  EXPECT_EQ(RaisedCode([] { CreateDirectoryPath(""); }), 25153);
  EXPECT_EQ(RaisedCode([&] { CreateDirectoryPath(d / "file"); }), 25153);
  EXPECT_EQ(RaisedCode([&] { CreateDirectoryPath(d / "file/sub"); }), 25153);
  // A relative path is taken from the current folder.
  const std::string here = std::filesystem::current_path();
  ASSERT_EQ(::chdir(d.Path().c_str()), 0);
  CreateDirectoryPath("rel/one");
  EXPECT_TRUE(DirectoryExists(d / "rel/one"));
  ASSERT_EQ(::chdir(here.c_str()), 0);
}
