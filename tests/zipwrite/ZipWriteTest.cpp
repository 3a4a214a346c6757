// The ZIP writing library against oracle tools: unzip, 7zz and Python's zipfile read back what it
// writes; contents, names, dates and permissions survive the round trip.
#include <gtest/gtest.h>

#include <random>

#include "ZipTestKit.h"

using namespace ziptest;

namespace {

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 g(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = char(g());
  return s;
}

std::string Text(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i % 97) + " of some text\n";
  s.resize(n);
  return s;
}

// A small tree with the cases that matter: empty file, incompressible data, text, a nested
// folder, a name outside ASCII, modes, an old and an odd-second time, a hidden file.
void MakeTree(const std::string& root) {
  PutFile(root + "/src/readme.txt", Text(20000), 1600000000, 0644);
  PutFile(root + "/src/empty.dat", "", 1600000002, 0600);
  PutFile(root + "/src/noise.bin", RandomBytes(70000, 1), 1600000004, 0755);
  PutFile(root + "/src/sub/deep/notes.txt", Text(3000), 1500000001, 0444);
  PutFile(root + "/src/sub/Grüße.txt", "hallo\n", 1600000010, 0640);
  PutFile(root + "/src/.hidden", "secret\n", 1600000012, 0644);
}

// Method, size, flag, attributes and time of one entry of a PyList listing, blank-separated.
std::string Fields(const std::string& all, const std::string& zip, const std::string& name) {
  size_t from = all.find("archive=" + zip + "\n");
  if (from == std::string::npos) return "no listing of " + zip;
  std::string list = all.substr(from, all.find("archive=", from + 1) - from);
  size_t at = list.find("\n" + name + "\t");
  if (at == std::string::npos) return "missing " + name;
  std::string line = list.substr(at + 1, list.find('\n', at + 1) - at - 1);
  std::vector<std::string> f;
  size_t i = 0;
  for (size_t j; (j = line.find('\t', i)) != std::string::npos; i = j + 1)
    f.push_back(line.substr(i, j - i));
  f.push_back(line.substr(i));
  return f[1] + " " + f[2] + " " + f[4] + " " + f[5] + " " + f[6];
}

std::string FieldTime(time_t t) {
  struct tm tm {};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

time_t DirTime(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return (st.st_mtime + 1) & ~time_t(1);
}

int Extract(const std::string& zip, const std::string& dir, const std::string& password = "") {
  std::string pw = password.empty() ? "" : " -P " + Quote(password);
  return Shell("cd " + Quote(dir) + " && unzip -q -o" + pw + " " + Quote(zip));
}

}  // namespace

TEST(ZipWrite, RoundTripsThroughOracleToolsAtEveryKindOfLevel) {
  ScratchDir d;
  MakeTree(d.Path.string());
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  const int levels[] = {0, 1, 6, 9};
  std::vector<std::string> zips;
  for (int level : levels) {
    SCOPED_TRACE(level);
    QZip q;
    ASSERT_TRUE(q.Loaded());
    q.Zip = d / ("out" + std::to_string(level) + ".zip");
    q.Specs = {"src"};
    q.Recurse = true;
    q.FolderEntries = true;
    q.Hidden = true;
    q.Level = level;
    EXPECT_EQ(q.Run(), 9) << (q.Messages.empty() ? ""
                                                 : q.Messages[0].second);  // 6 files, 3 folders
    std::string out;
    EXPECT_EQ(Shell("unzip -tq " + Quote(q.Zip), &out), 0) << out;
    EXPECT_EQ(Shell("7zz t " + Quote(q.Zip), &out), 0) << out;
    // An archive named among its own inputs is left out.
    QZip again;
    again.Zip = q.Zip;
    again.Specs = {fs::path(q.Zip).filename().string()};
    EXPECT_EQ(again.Run(), 0);
    std::string x = d / ("x" + std::to_string(level));
    fs::create_directories(x);
    ASSERT_EQ(Extract(q.Zip, x), 0);
    EXPECT_EQ(TreeDigest(x + "/src"), TreeDigest(d / "src"));
    zips.push_back(q.Zip);
  }
  // Stored where deflating does not shrink; non-ASCII names flagged UTF-8; Unix modes in the
  // high 16 bits with the DOS read-only and folder bits; DOS times rounded up to even seconds.
  std::string list = PyList(zips);
  for (size_t i = 0; i < zips.size(); ++i) {
    SCOPED_TRACE(levels[i]);
    const std::string& z = zips[i];
    std::string m = levels[i] ? "8" : "0";
    EXPECT_EQ(Fields(list, z, "src/noise.bin"), "0 70000 0 81ed0000 " + FieldTime(1600000004));
    EXPECT_EQ(Fields(list, z, "src/sub/Grüße.txt"), "0 6 2048 81a00000 " + FieldTime(1600000010));
    EXPECT_EQ(Fields(list, z, "src/sub/deep/notes.txt"),
              m + " 3000 0 81240001 " + FieldTime(1500000002));
    EXPECT_EQ(Fields(list, z, "src/sub/"), "0 0 0 41ed0010 " + FieldTime(DirTime(d / "src/sub")));
  }
}

TEST(ZipWrite, NameOptionsTable) {
  ScratchDir d;
  MakeTree(d.Path.string());
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  struct Case {
    const char* what;
    std::vector<std::string> specs;
    bool recurse, folderNames, folderEntries, hidden;
    std::vector<std::string> exclusions;
    std::string names;  // expected, sorted, one per line
  } cases[] = {
      {"plain recursion",
       {"src"},
       true,
       true,
       false,
       false,
       {},
       "src/empty.dat\nsrc/noise.bin\nsrc/readme.txt\nsrc/sub/Grüße.txt\nsrc/sub/deep/notes.txt\n"},
      {"no recursion: the folder alone", {"src"}, false, true, true, false, {}, "src/\n"},
      {"without folder names",
       {"src/*.txt"},
       true,
       false,
       false,
       false,
       {},
       "Grüße.txt\nnotes.txt\nreadme.txt\n"},
      {"wildcard in one folder", {"src/*.txt"}, false, true, false, false, {}, "src/readme.txt\n"},
      {"hidden files and exclusions",
       {"src"},
       true,
       true,
       false,
       true,
       {"*.TXT", "src/noise.bin"},
       "src/.hidden\nsrc/empty.dat\n"},
      {"absolute and dotted paths lose their roots",
       {d / "src/sub/../readme.txt"},
       false,
       true,
       false,
       false,
       {},
       (d.Path.relative_path() / "src/sub/readme.txt").string() + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QZip q;
    q.Zip = d / "names.zip";
    fs::remove(q.Zip);
    q.Specs = c.specs;
    q.Recurse = c.recurse;
    q.FolderNames = c.folderNames;
    q.FolderEntries = c.folderEntries;
    q.Hidden = c.hidden;
    q.Exclusions = c.exclusions;
    q.Run();
    std::string names;
    Shell("unzip -Z1 " + Quote(q.Zip) + " | LC_ALL=C sort", &names);
    EXPECT_EQ(names, c.names);
  }
}

TEST(ZipWrite, StoreSuffixesKeepFilesUncompressed) {
  ScratchDir d;
  PutFile(d / "a.txt", Text(5000));
  PutFile(d / "b.GIF", Text(5000));
  PutFile(d / "c.zip", Text(5000));
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  QZip q;
  q.Zip = d / "s.zip";
  q.Specs = {"a.txt", "b.GIF", "c.zip"};
  q.Suffixes = ".gif:.png:.z:.zip";
  EXPECT_EQ(q.Run(), 3);
  std::string list = PyList(q.Zip);
  EXPECT_NE(list.find("a.txt\t8\t"), std::string::npos) << list;
  EXPECT_NE(list.find("b.GIF\t0\t"), std::string::npos) << list;
  EXPECT_NE(list.find("c.zip\t0\t"), std::string::npos) << list;
}

TEST(ZipWrite, EncryptedEntriesOpenWithThePasswordOnly) {
  ScratchDir d;
  MakeTree(d.Path.string());
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  // Password given in the record, and asked through the callback when it is not.
  for (bool asked : {false, true}) {
    SCOPED_TRACE(asked);
    QZip q;
    q.Zip = d / (asked ? "asked.zip" : "given.zip");
    q.Specs = {"src"};
    q.Recurse = true;
    q.Encrypt = true;
    int questions = 0;
    if (asked) {
      q.OnCallback = [&](QZipCallbackRec& r) {
        if (r.ActionCode == QZIP_ACTION_PASSWORD) {
          ++questions;
          EXPECT_EQ(r.Value1 & 1, 1);  // a password for adding
          std::strcpy(r.Text, "s3cret pw");
          r.Value1 = 1;
        }
        return 0;
      };
    } else {
      q.Password = "s3cret pw";
    }
    EXPECT_EQ(q.Run(), 5);
    EXPECT_EQ(questions, asked ? 1 : 0);
    std::string out;
    EXPECT_EQ(Shell("unzip -tq -P 's3cret pw' " + Quote(q.Zip), &out), 0) << out;
    EXPECT_EQ(Shell("7zz t '-ps3cret pw' " + Quote(q.Zip), &out), 0) << out;
    EXPECT_NE(Shell("unzip -tq -P wrong " + Quote(q.Zip), &out), 0) << out;
    std::string x = d / (asked ? "xa" : "xg");
    fs::create_directories(x);
    ASSERT_EQ(Extract(q.Zip, x, "s3cret pw"), 0);
    EXPECT_EQ(Slurp(x + "/src/noise.bin"), Slurp(d / "src/noise.bin"));
  }
  // No password at all: nothing is written.
  QZip q;
  q.Zip = d / "none.zip";
  q.Specs = {"src"};
  q.Encrypt = true;
  q.Recurse = true;
  EXPECT_EQ(q.Run(), 0);
  EXPECT_FALSE(fs::exists(q.Zip));
  ASSERT_FALSE(q.Messages.empty());
  EXPECT_EQ(q.Messages.back().first, QZIP_MSG_NO_PASSWORD);
}

TEST(ZipWrite, UpdateFreshenMoveDeleteAndComment) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  PutFile(d / "a.txt", "alpha 1\n", 1600000000);
  PutFile(d / "b.txt", "beta 1\n", 1600000000);
  std::string zip = d / "u.zip";
  // An archive made by another tool: its entries are copied raw.
  ASSERT_EQ(Shell("zip -q -X " + Quote(zip) + " a.txt b.txt"), 0);

  PutFile(d / "a.txt", "alpha 2\n", 1600000100);  // newer
  PutFile(d / "b.txt", "beta 2\n", 1500000000);   // older
  PutFile(d / "c.txt", "gamma\n", 1600000000);    // new
  struct Step {
    const char* what;
    bool update, freshen;
    int done;
    std::string expect;  // name=content, sorted
  } steps[] = {
      {"freshen: only newer files already stored", false, true, 1, "a.txt=alpha 2\nb.txt=beta 1\n"},
      {"update: newer and new files", true, false, 1, "a.txt=alpha 2\nb.txt=beta 1\nc.txt=gamma\n"},
      {"plain add replaces everything named", false, false, 3,
       "a.txt=alpha 2\nb.txt=beta 2\nc.txt=gamma\n"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    QZip q;
    q.Zip = zip;
    q.Specs = {"a.txt", "b.txt", "c.txt"};
    q.Update = s.update;
    q.Freshen = s.freshen;
    EXPECT_EQ(q.Run(), s.done);
    std::string out;
    EXPECT_EQ(Shell("unzip -tq " + Quote(zip), &out), 0) << out;
    Shell("for f in $(unzip -Z1 " + Quote(zip) + " | sort); do printf '%s=' $f; unzip -p " +
              Quote(zip) + " $f; done",
          &out);
    EXPECT_EQ(out, s.expect);
  }
  // Appending keeps the old entries' bytes: the old archive up to its directory is a prefix.
  {
    std::string z2 = d / "append.zip";
    fs::copy_file(d / "u.zip", z2);
    std::string old = Slurp(z2);
    QZip q;
    q.Zip = z2;
    PutFile(d / "d.txt", "delta\n");
    q.Specs = {"d.txt"};
    EXPECT_EQ(q.Run(), 1);
    std::string now = Slurp(z2);
    uint32_t cd = uint8_t(old[old.size() - 6]) | uint8_t(old[old.size() - 5]) << 8 |
                  uint8_t(old[old.size() - 4]) << 16 | uint32_t(uint8_t(old[old.size() - 3])) << 24;
    EXPECT_EQ(now.substr(0, cd), old.substr(0, cd));
  }
  // Comment, then delete with a pattern; the comment stays.
  {
    QZip q;
    q.Zip = zip;
    q.Comment = "made for the test";
    PutFile(d / "e.txt", "epsilon\n");
    q.Specs = {"e.txt"};
    EXPECT_EQ(q.Run(), 1);
    QZip del;
    del.Zip = zip;
    del.Delete = true;
    del.Specs = {"[aB].TXT", "nothing*"};  // names compare without regard to case
    EXPECT_EQ(del.Run(), 2);
    std::string list = PyList(zip);
    EXPECT_NE(list.find("\ncomment=made for the test\n"), std::string::npos) << list;
    std::string names;
    Shell("unzip -Z1 " + Quote(zip) + " | sort", &names);
    EXPECT_EQ(names, "c.txt\ne.txt\n");
    // Deleting what is not there changes nothing.
    std::string same = Slurp(zip);
    del.Specs = {"zzz"};
    EXPECT_EQ(del.Run(), 0);
    EXPECT_EQ(Slurp(zip), same);
  }
  // Move: the added files are gone afterwards, with the folders they emptied.
  {
    PutFile(d / "mv/one.txt", "1");
    PutFile(d / "mv/sub/two.txt", "2");
    QZip q;
    q.Zip = d / "moved.zip";
    q.Specs = {"mv"};
    q.Recurse = true;
    q.FolderEntries = true;
    q.Move = true;
    EXPECT_EQ(q.Run(), 4);
    EXPECT_FALSE(fs::exists(d / "mv"));
    std::string out;
    EXPECT_EQ(Shell("unzip -tq " + Quote(q.Zip), &out), 0) << out;
  }
}

TEST(ZipWrite, OfferedNamesCanBeChangedOrRefused) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  PutFile(d / "keep.txt", "k");
  PutFile(d / "rename.txt", "r");
  PutFile(d / "drop.txt", "d");
  QZip q;
  q.Zip = d / "n.zip";
  q.Specs = {"keep.txt", "rename.txt", "drop.txt"};
  q.OnCallback = [](QZipCallbackRec& r) {
    if (r.ActionCode != QZIP_ACTION_NEW_NAME) return 0;
    std::string name = r.Text;
    if (name == "rename.txt") std::strcpy(r.Text, "new\\place.txt");
    if (name == "drop.txt") r.Text[0] = 0;
    if (name != "keep.txt") r.ActionCode = QZIP_ACTION_PASSWORD;  // "changed"
    return 0;
  };
  EXPECT_EQ(q.Run(), 2);
  std::string names;
  Shell("unzip -Z1 " + Quote(q.Zip) + " | sort", &names);
  EXPECT_EQ(names, "keep.txt\nnew/place.txt\n");
}

TEST(ZipWrite, ProgressReportsTotalsThenEachFile) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  PutFile(d / "a", Text(100));
  PutFile(d / "b", Text(200));
  QZip q;
  q.Zip = d / "p.zip";
  q.Specs = {"a", "b"};
  int64_t totalBytes = -1, bytesDone = 0;
  q.OnCallback = [&](QZipCallbackRec& r) {
    if (r.ActionCode == QZIP_ACTION_TOTAL_BYTES) totalBytes = r.Value2;
    if (r.ActionCode == QZIP_ACTION_BYTES_DONE) bytesDone += r.Value2;
    return 0;
  };
  EXPECT_EQ(q.Run(), 2);
  std::vector<int> expect = {
      QZIP_ACTION_NEW_NAME,    QZIP_ACTION_NEW_NAME,    QZIP_ACTION_TOTAL_FILES,
      QZIP_ACTION_TOTAL_BYTES, QZIP_ACTION_FILE_BEGINS, QZIP_ACTION_BYTES_DONE,
      QZIP_ACTION_FILE_BEGINS, QZIP_ACTION_BYTES_DONE,  QZIP_ACTION_BATCH_END};
  EXPECT_EQ(q.Actions, expect);
  EXPECT_EQ(totalBytes, 300);
  EXPECT_EQ(bytesDone, 300);
}

TEST(ZipWrite, MoreEntriesThanTheEndRecordCountsUseZip64) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  // 65537 one-byte entries with ZIP64 end records, laid out by a few lines of Python; deleting one
  // leaves 65536, one more than the 16-bit counts hold, so the rewritten archive needs ZIP64 too.
  const int kEntries = 65537;
  std::string zip = d / "many.zip";
  const char* kWriter =
      "import sys,struct,zlib\n"
      "n=int(sys.argv[2]); out=bytearray(); cd=bytearray(); crc=zlib.crc32(b'x')\n"
      "for i in range(n):\n"
      "    name=str(i).encode(); off=len(out)\n"
      "    "
      "out+=struct.pack('<IHHHHHIIIHH',0x04034b50,10,0,0,0,0x21,crc,1,1,len(name),0)+name+b'x'\n"
      "    "
      "cd+=struct.pack('<IHHHHHHIIIHHHHHII',0x02014b50,0x031e,10,0,0,0,0x21,crc,1,1,len(name),0,0,"
      "0,0,0o100644<<16,off)+name\n"
      "cdoff=len(out); out+=cd; z64=len(out)\n"
      "out+=struct.pack('<IQHHIIQQQQ',0x06064b50,44,0x031e,45,0,0,n,n,len(cd),cdoff)\n"
      "out+=struct.pack('<IIQI',0x07064b50,0,z64,1)\n"
      "out+=struct.pack('<IHHHHIIH',0x06054b50,0,0,0xffff,0xffff,len(cd),cdoff,0)\n"
      "open(sys.argv[1],'wb').write(out)\n";
  ASSERT_EQ(Shell("python3 -I -S -c " + Quote(kWriter) + " " + Quote(zip) + " " +
                  std::to_string(kEntries)),
            0);
  std::string out;
  ASSERT_EQ(Shell("unzip -tq " + Quote(zip), &out), 0) << out;  // the input itself is sound
  QZip q;
  q.Zip = zip;
  q.Delete = true;
  q.Specs = {"77"};
  ASSERT_EQ(q.Run(), 1) << (q.Messages.empty() ? "" : q.Messages.back().second);
  EXPECT_EQ(Shell("unzip -tq " + Quote(zip), &out), 0) << out;
  EXPECT_EQ(Shell("unzip -l " + Quote(zip) + " | tail -1", &out), 0);
  EXPECT_NE(out.find("65536 files"), std::string::npos) << out;
  EXPECT_EQ(Shell("unzip -l " + Quote(zip) + " 77", &out), 11) << out;  // no longer there
  std::string tail = Slurp(zip);
  tail = tail.substr(tail.size() - 22 - 20 - 56);
  EXPECT_EQ(tail.substr(0, 4), std::string("PK\x06\x06", 4));  // ZIP64 end record and locator
}

TEST(ZipWrite, ArchiveTakesTheTimeOfItsNewestEntry) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  PutFile(d / "old.txt", "o", 1500000000);
  PutFile(d / "new.txt", "n", 1600000000);
  QZip q;
  q.Zip = d / "t.zip";
  q.Specs = {"old.txt", "new.txt"};
  q.LatestTime = true;
  ASSERT_EQ(q.Run(), 2);
  struct stat st {};
  ASSERT_EQ(::stat(q.Zip.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1600000000);  // an even second: the DOS time keeps it
}
