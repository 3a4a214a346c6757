#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <limits>
#include <string>

#include "engine/core/Charsets.h"
#include "engine/core/Names.h"

using namespace quil;

namespace {

// The C library's converter as the reference; empty optional when it refuses the input.
bool Iconv(const char* from, const std::string& in, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string src = in;
  out.assign(in.size() * 4 + 4, '\0');
  char* ip = src.data();
  char* op = out.data();
  size_t il = src.size(), ol = out.size();
  size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return false;
  out.resize(out.size() - ol);
  return true;
}

}  // namespace

TEST(Names, PathParts) {
  struct { const char* path; const char* dir; const char* name; const char* ext; } cases[] = {
      {"a/b/c.txt", "a/b/", "c.txt", ".txt"},
      {"c", "", "c", ""},
      {"a.b/c", "a.b/", "c", ""},
      {"/", "/", "", ""},
      {"a/b.tar.gz", "a/", "b.tar.gz", ".gz"},
      {".profile", "", ".profile", ".profile"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.path), c.dir) << c.path;
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
  }
  EXPECT_EQ(ToPathDelims("a\\b/c\\"), "a/b/c/");
  EXPECT_EQ(AppendPathDelim(""), "");
  EXPECT_EQ(AppendPathDelim("a"), "a/");
  EXPECT_EQ(AppendPathDelim("a/"), "a/");
  EXPECT_EQ(RemovePathDelim("a//"), "a/");
  EXPECT_EQ(RemovePathDelim("a"), "a");
  EXPECT_EQ(RemovePathDelim(""), "");
  EXPECT_EQ(NameStemLength("abc.def.g"), 3u);
  EXPECT_EQ(NameStemLength("abc"), 3u);
  EXPECT_EQ(NameStemLength(".x"), 0u);
  EXPECT_EQ(SwapWords(0x12345678u), 0x56781234u);
}

TEST(Names, NumbersInText) {
  struct { std::string text; uint64_t want; } octal[] = {
      {"0000644 ", 0644}, {" 17", 017}, {std::string("0001750\0", 8), 01750}, {"", 0},
      {"89", 0}, {"7a7", 077}, {"77777777777", 077777777777},
      {std::string(22, '7'), std::numeric_limits<uint64_t>::max()},  // wraps, never traps
  };
  for (const auto& c : octal) EXPECT_EQ(ParseOctal(c.text), c.want) << c.text;

  EXPECT_TRUE(AllDigits(""));
  EXPECT_TRUE(AllDigits("0123456789"));
  EXPECT_FALSE(AllDigits("12a"));
  EXPECT_FALSE(AllDigits(" 1"));

  struct { int64_t part, whole; int32_t want; } percent[] = {
      {3, 0, 0}, {150, 100, 100}, {1, 3, 33}, {2, 3, 67}, {1, 2, 50}, {1, 200, 1},
      {0, 5, 0}, {-1, 10, 0}, {5, -1, 0},
      {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max(), 100},
      {std::numeric_limits<int64_t>::max() / 3, std::numeric_limits<int64_t>::max(), 33},
  };
  for (const auto& c : percent)
    EXPECT_EQ(PercentOf(c.part, c.whole), c.want) << c.part << "/" << c.whole;
}

TEST(Names, SplitAtMarker) {
  std::string text = "DISK PKBACK# 1 PKBACK# 002";
  EXPECT_EQ(SplitAtMarker(text, "PKBACK# "), "DISK ");
  EXPECT_EQ(text, "1 PKBACK# 002");
  EXPECT_EQ(SplitAtMarker(text, "PKBACK# "), "1 ");
  EXPECT_EQ(text, "002");
  EXPECT_EQ(SplitAtMarker(text, "PKBACK# "), "002");
  EXPECT_EQ(text, "");
  text = "abc";
  EXPECT_EQ(SplitAtMarker(text, ""), "abc");
  EXPECT_EQ(text, "");
}

TEST(Charsets, Cp437AgainstIconv) {
  for (int b = 0x20; b < 0x100; ++b) {
    const std::string byte(1, static_cast<char>(b));
    std::string want;
    ASSERT_TRUE(Iconv("CP437", byte, want)) << b;
    if (b == '\\') want = "/";
    ASSERT_EQ(OemToAnsiName(byte), want) << b;
    ASSERT_EQ(AnsiToOemName(want), b == '\\' ? "/" : byte) << b;  // and back
  }
  EXPECT_EQ(OemToAnsiName("DIR\\N\x84ME.TXT"), "DIR/N\xC3\xA4ME.TXT");
  EXPECT_EQ(AnsiToOemName("a\\\xE2\x82\xAC\xE6\x97\xA5.txt"), "a/__.txt");  // no euro, no CJK
  EXPECT_EQ(AnsiToOemName("bad\xFF"), "bad_");
}

TEST(Charsets, Win1252AgainstIconv) {
  for (int b = 0x80; b < 0x100; ++b) {
    const std::string byte(1, static_cast<char>(b));
    std::string want;
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
      want.clear();
      want += static_cast<char>(0xC2);
      want += static_cast<char>(b);  // the C1 control of the same number
    } else {
      ASSERT_TRUE(Iconv("CP1252", byte, want)) << b;
    }
    EXPECT_EQ(Win1252ToUtf8(byte), want) << b;
  }
}

TEST(Charsets, Utf8) {
  struct { const char* text; bool valid; } cases[] = {
      {"", true}, {"abc", true}, {"\xC3\xA9", true}, {"\xF0\x9F\x98\x80", true},
      {"\xEF\xBF\xBF", true}, {"\xF4\x8F\xBF\xBF", true},
      {"\xC3", false},              // cut short
      {"\xC0\xAF", false},          // overlong
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\x80", false}, {"a\xFF", false}, {"\xE2\x82", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;

  EXPECT_EQ(StoredNameToUtf8("d\\\xC3\xA9.txt", true), "d/\xC3\xA9.txt");
  EXPECT_EQ(StoredNameToUtf8("d\\\xC3\xA9.txt", false), "d/\xE2\x94\x9C\xE2\x8C\x90.txt");  // CP437
  EXPECT_EQ(StoredNameToUtf8("\x82t\xE9", true), "\xC3\xA9t\xCE\x98");  // flagged but not UTF-8

  // Undecodable bytes survive a trip through code points.
  const std::string raw = "a\xFF\xC3\xA9\xC3";
  std::string back;
  for (char32_t cp : Utf8ToCodePoints(raw)) AppendUtf8(back, cp);
  EXPECT_EQ(back, raw);
}
