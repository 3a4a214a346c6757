#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "TestDirs.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"

using namespace quil;
using namespace quil::test;

namespace {

const std::string kHostile[] = {
    "",
    "plain",
    "quote\"inside\"",
    "back\\slash\\",
    "\\",
    "\\\"",
    "line\nfeed\r\nand\rreturn",
    "tab\tstop",
    std::string("nul\0byte", 8),
    "\x01\x1f\x7f control",
    "UTF-8 \xc3\xa4\xc3\xb6\xc3\xbc \xe2\x82\xac \xf0\x9d\x84\x9e",
    "invalid \xff\xfe\xc3",
    "looks like \\x41 and \\n escapes",
    "\"]\n[HKEY_CURRENT_USER\\Injected]\n\"x\"=dword:00000001",
    "=@;[]",
    std::string(5000, 'a'),
};

}  // namespace

TEST(Registry, EveryTypeRoundTripsThroughTheFile) {
  TempDir dir;
  const std::string file = dir / "registry.reg";
  const int32_t ints[] = {0, 1, -1, 255, 256, INT32_MIN, INT32_MAX};
  std::vector<std::vector<uint8_t>> blobs = {{}, {0x50, 0x4b, 0x05, 0x06}, std::vector<uint8_t>(300)};
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  blobs.push_back(all);
  {
    TRegistry reg(file);
    ASSERT_TRUE(reg.OpenKey("Software\\Quillet\\Round trip", true));
    for (size_t i = 0; i < std::size(kHostile); ++i) {
      reg.WriteString(kHostile[i].empty() ? std::string("s") : "s" + kHostile[i], kHostile[i]);
    }
    reg.WriteString("", "default value");
    for (int32_t v : ints) reg.WriteInteger("i" + std::to_string(v), v);
    for (size_t i = 0; i < blobs.size(); ++i) {
      reg.WriteBinaryData("b" + std::to_string(i), blobs[i].data(), blobs[i].size());
    }
    reg.CloseKey();
  }
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Quillet\\Round trip", false));
  for (const std::string& s : kHostile) {
    std::string name = s.empty() ? std::string("s") : "s" + s;
    EXPECT_EQ(reg.GetDataType(name), rdString);
    EXPECT_EQ(reg.ReadString(name), s);
  }
  EXPECT_EQ(reg.ReadString(""), "default value");
  for (int32_t v : ints) EXPECT_EQ(reg.ReadInteger("i" + std::to_string(v)), v);
  for (size_t i = 0; i < blobs.size(); ++i) {
    EXPECT_EQ(reg.ReadBinaryData("b" + std::to_string(i)), blobs[i]) << i;
  }
  EXPECT_EQ(reg.GetValueNames().size(), std::size(kHostile) + 1 + std::size(ints) + blobs.size());
  EXPECT_EQ(reg.SkippedLines(), 0u);
  EXPECT_FALSE(reg.KeyExists("\\Injected"));

  // The file is plain text in the usual layout, and another reader sees the same tree.
  std::string text = ReadFile(file);
  EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER]\n", 0), 0u) << text.substr(0, 80);
  EXPECT_NE(text.find("\n\"i-1\"=dword:ffffffff\n"), std::string::npos);
  EXPECT_NE(text.find("\n\"b1\"=hex:50,4b,05,06\n"), std::string::npos);
  size_t skipped = 1;
  TRegTree tree = ParseRegFile(text, &skipped);
  EXPECT_EQ(skipped, 0u);
  EXPECT_EQ(FormatRegFile(tree), text);
}

TEST(Registry, KeysIgnoreCaseAndNest) {
  TempDir dir;
  TRegistry reg(dir / "registry.reg");
  EXPECT_FALSE(reg.OpenKey("Software\\Quillet", false));
  ASSERT_TRUE(reg.OpenKey("Software\\Quillet\\General", true));
  reg.WriteString("Directory", "/usr/bin/quillet");
  reg.WriteInteger("Use Explorer Shell Extensions", 1);
  reg.CloseKey();

  // Another process spells the path differently.
  TRegistry other(dir / "registry.reg");
  ASSERT_TRUE(other.OpenKey("/SOFTWARE/quillet/GENERAL", false));
  EXPECT_EQ(other.CurrentPath(), "Software\\Quillet\\General");
  EXPECT_EQ(other.ReadString("directory"), "/usr/bin/quillet");
  other.WriteString("DIRECTORY", "/opt/quillet");
  EXPECT_EQ(other.GetValueNames(), (std::vector<std::string>{"Directory", "Use Explorer Shell Extensions"}));

  // Relative paths start at the open key; a leading '\' at the root.
  ASSERT_TRUE(other.OpenKey("\\Software\\Quillet", false));
  ASSERT_TRUE(other.CreateKey("Adding options"));
  ASSERT_TRUE(other.OpenKey("Extracting options", true));
  ASSERT_TRUE(other.OpenKey("\\Software\\Quillet", false));
  EXPECT_EQ(other.GetKeyNames(),
            (std::vector<std::string>{"Adding options", "Extracting options", "General"}));
  EXPECT_FALSE(other.OpenKey("bad\nname", true));

  // Reads: a missing string is empty; a missing or mistyped integer or binary raises.
  ASSERT_TRUE(other.OpenKey("General", false));
  EXPECT_EQ(other.ReadString("nothing"), "");
  EXPECT_THROW(other.ReadInteger("nothing"), ERegistryException);
  EXPECT_THROW(other.ReadInteger("Directory"), ERegistryException);
  EXPECT_THROW(other.ReadString("Use Explorer Shell Extensions"), ERegistryException);
  EXPECT_THROW(other.ReadBinaryData("Directory"), ERegistryException);
  EXPECT_EQ(other.GetDataSize("nothing"), -1);
  EXPECT_TRUE(other.DeleteValue("use explorer shell extensions"));
  EXPECT_FALSE(other.DeleteValue("use explorer shell extensions"));

  // Deleting a key removes everything below it and closes it when it was open.
  EXPECT_TRUE(other.DeleteKey("\\Software\\Quillet"));
  EXPECT_FALSE(other.KeyOpen());
  EXPECT_THROW(other.WriteString("x", "y"), ERegistryException);
  EXPECT_TRUE(other.KeyExists("\\Software"));
  EXPECT_FALSE(other.KeyExists("\\Software\\Quillet\\General"));
  ASSERT_TRUE(other.Flush());

  TRegistry third(dir / "registry.reg");
  EXPECT_TRUE(third.KeyExists("Software"));
  EXPECT_FALSE(third.KeyExists("Software\\Quillet"));
}

TEST(Registry, UnreadableLinesAreSkippedAndTheFileIsRewrittenCleanly) {
  TempDir dir;
  const std::string file = dir / "registry.reg";
  WriteFile(file,
            "\xEF\xBB\xBFREGEDIT4\r\n"
            "\"orphan\"=\"value before any key\"\n"
            "[HKEY_CURRENT_USER\\Software\\Quillet]\r\n"
            "\"Good string\"=\"yes\"\r\n"
            "; a comment\n"
            "\"Unclosed\"=\"abc\n"
            "\"Bad dword\"=dword:xyz\n"
            "\"Long dword\"=dword:123456789\n"
            "\"Odd hex\"=hex:5,4b\n"
            "\"Wrapped\"=hex:01,02,\\\n"
            "   03,04\n"
            "\"Expand\"=hex(2):41,00\n"
            "no equals sign here\n"
            "\"Trailing\"=\"x\" junk\n"
            "[HKEY_CURRENT_USER\\Software\\Unterminated\n"
            "\"Lost\"=dword:00000001\n"
            "[-HKEY_CURRENT_USER\\Software\\Deleted]\n"
            "\"Also lost\"=dword:00000001\n"
            "[HKEY_CURRENT_USER\\Software\\Quillet\\General]\n"
            "\"Good dword\" = dword:0000002a\n"
            "@=\"default\"\n"
            "\"Truncated hex\"=hex:01,\\");
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("Software\\Quillet", false));
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Good string", "Wrapped"}));
  EXPECT_EQ(reg.ReadBinaryData("Wrapped"), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(reg.SkippedLines(), 13u);
  ASSERT_TRUE(reg.OpenKey("General", false));
  EXPECT_EQ(reg.ReadInteger("Good dword"), 42);
  EXPECT_EQ(reg.ReadString(""), "default");
  EXPECT_FALSE(reg.KeyExists("\\Software\\Deleted"));

  reg.WriteInteger("New", 7);
  ASSERT_TRUE(reg.Flush());
  size_t skipped = 99;
  ParseRegFile(ReadFile(file), &skipped);
  EXPECT_EQ(skipped, 0u);
  TRegistry again(file);
  ASSERT_TRUE(again.OpenKey("Software\\Quillet\\General", false));
  EXPECT_EQ(again.GetValueNames(), (std::vector<std::string>{"Good dword", "", "New"}));
  EXPECT_EQ(again.SkippedLines(), 0u);

  // Missing and binary garbage files read as empty stores.
  TRegistry missing(dir / "none.reg");
  EXPECT_FALSE(missing.KeyExists("Software"));
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xff);
  WriteFile(dir / "garbage.reg", garbage);
  TRegistry junk(dir / "garbage.reg");
  EXPECT_FALSE(junk.KeyExists("Software"));
}

TEST(Registry, FailedWriteKeepsChangesAndLeavesNoTemporaryFile) {
  TempDir dir;
  WriteFile(dir / "blocker", "a file where the store's folder should be");
  const std::string file = dir / "blocker/quillet/registry.reg";
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("Software\\Quillet", true));
  reg.WriteString("Last open dir", "/home/ann/");
  EXPECT_FALSE(reg.Flush());
  EXPECT_FALSE(reg.LastError().empty());
  EXPECT_TRUE(reg.Modified());
  EXPECT_EQ(reg.ReadString("Last open dir"), "/home/ann/");

  std::filesystem::remove(dir / "blocker");
  EXPECT_TRUE(reg.Flush());
  EXPECT_FALSE(reg.Modified());
  TRegistry other(file);
  ASSERT_TRUE(other.OpenKey("Software\\Quillet", false));
  EXPECT_EQ(other.ReadString("Last open dir"), "/home/ann/");
  for (const auto& e : std::filesystem::directory_iterator(dir / "blocker/quillet")) {
    std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "registry.reg" || name == "registry.reg.lock") << name;
  }
}

TEST(Registry, ProcessesWritingAtTheSameTimeKeepEachOthersValues) {
  TempDir dir;
  const std::string file = dir / "registry.reg";
  constexpr int kChildren = 3, kRounds = 40;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> kids;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(go[1]);
      char b;
      if (read(go[0], &b, 1) != 0) _exit(3);  // wait until the parent opens the gate
      int rc = 0;
      for (int r = 0; r < kRounds; ++r) {
        TRegistry reg(file);
        // Each process keeps a long-lived view as the extension does, and adds one value a round.
        if (!reg.OpenKey("Software\\Quillet\\General", true)) rc = 1;
        reg.WriteInteger("p" + std::to_string(c) + "-" + std::to_string(r), r);
        reg.WriteString("last-" + std::to_string(c), std::to_string(r));
        if (!reg.Flush()) rc = 2;
      }
      _exit(rc);
    }
    kids.push_back(pid);
  }
  close(go[0]);
  close(go[1]);  // all children start now
  for (pid_t pid : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKey("Software\\Quillet\\General", false));
  EXPECT_EQ(reg.GetValueNames().size(), static_cast<size_t>(kChildren * (kRounds + 1)));
  for (int c = 0; c < kChildren; ++c) {
    EXPECT_EQ(reg.ReadString("last-" + std::to_string(c)), std::to_string(kRounds - 1));
    for (int r = 0; r < kRounds; ++r) {
      EXPECT_TRUE(reg.ValueExists("p" + std::to_string(c) + "-" + std::to_string(r))) << c << " " << r;
    }
  }
}

TEST(Registry, ReadersNeverSeeAPartialFile) {
  TempDir dir;
  const std::string file = dir / "registry.reg";
  // The writer alternates between a large and a small store; every version is consistent: the
  // "Count" value says how many "v" values the key holds.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    for (int round = 0; round < 30; ++round) {
      TRegistry reg(file);
      reg.DeleteKey("\\Software\\Quillet");
      reg.OpenKey("\\Software\\Quillet", true);
      int n = round % 2 ? 200 : 3;
      for (int i = 0; i < n; ++i) reg.WriteString("v" + std::to_string(i), std::string(40, 'x'));
      reg.WriteInteger("Count", n);
      if (!reg.Flush()) _exit(1);
    }
    _exit(0);
  }
  int reads = 0, status = 0;
  for (;;) {
    bool done = waitpid(pid, &status, WNOHANG) == pid;
    std::string text = ReadFile(file);
    if (!text.empty()) {
      size_t skipped = 0;
      TRegTree tree = ParseRegFile(text, &skipped);
      ASSERT_EQ(skipped, 0u);
      const TRegKey* key = tree.FindKey("HKEY_CURRENT_USER\\Software\\Quillet");
      ASSERT_NE(key, nullptr) << text;
      const TRegValue* count = tree.FindValue(key->Path, "Count");
      ASSERT_NE(count, nullptr);
      EXPECT_EQ(key->Values.size(), count->Number + 1);
      ++reads;
    }
    if (done) break;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(reads, 0);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    left.push_back(e.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(Registry, StoreLocationFollowsTheEnvironment) {
  struct Case {
    std::optional<std::string> own, xdg, home;
    std::string expected;
  } cases[] = {
      {"/cfg/q", "/xdg", "/home/ann", "/cfg/q/registry.reg"},
      {"/cfg/q/", std::nullopt, "/home/ann", "/cfg/q/registry.reg"},
      {std::nullopt, "/xdg", "/home/ann", "/xdg/quillet/registry.reg"},
      {"relative", "also/relative", "/home/ann/", "/home/ann/.config/quillet/registry.reg"},
      {std::nullopt, std::nullopt, "/home/bob", "/home/bob/.config/quillet/registry.reg"},
  };
  for (const Case& c : cases) {
    ScopedEnv env;
    env.Set("QUILLET_CONFIG_HOME", c.own);
    env.Set("XDG_CONFIG_HOME", c.xdg);
    env.Set("HOME", c.home);
    EXPECT_EQ(RegistryFilePath(), c.expected);
  }
}
