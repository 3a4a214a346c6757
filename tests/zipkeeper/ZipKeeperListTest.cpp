// The ZIP maintenance object's directory model: List on archives made by other tools (checked
// against their expect files) and on the awkward shapes: comments, padding, stubs, split sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../zipwrite/ZipTestKit.h"
#include "zipbridge/ZipKeeper.h"

using namespace quil;
using namespace ziptest;

namespace {

struct Expected {
  std::string Name;
  uint64_t Size;
  uint32_t Crc;
  int Method;
};

std::vector<Expected> ReadExpect(const std::string& path) {
  std::vector<Expected> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream ss(line);
    std::string name, size, crc, method;
    std::getline(ss, name, '\t');
    std::getline(ss, size, '\t');
    std::getline(ss, crc, '\t');
    std::getline(ss, method, '\t');
    out.push_back(
        {name, std::stoull(size), uint32_t(std::stoul(crc, nullptr, 16)), std::stoi(method)});
  }
  return out;
}

// Runs List on `path` and records what the events saw.
struct Listed {
  TZipKeeper K;
  int DirUpdates = 0;
  std::vector<int> SeqNos;
  std::vector<std::string> Messages;
  explicit Listed(const std::string& path, CodePageOpts cp = cpAuto) {
    K.CodePage = cp;
    K.OnDirUpdate = [this](TZipKeeper&) { ++DirUpdates; };
    K.OnNewName = [this](TZipKeeper&, int n, const ZipDirEntry&) { SeqNos.push_back(n); };
    K.OnMessage = [this](TZipKeeper&, int, const std::string& m) { Messages.push_back(m); };
    K.SetZipFileName(path);
  }
};

}  // namespace

TEST(ZipKeeperList, FixturesMatchTheirExpectFiles) {
  int checked = 0;
  for (const char* folder : {"zip", "zip-encrypted", "zip-legacy"}) {
    for (auto& e : fs::directory_iterator(fs::path(QUIL_FIXTURES) / folder)) {
      std::string p = e.path().string();
      if (p.size() < 4 || (p.substr(p.size() - 4) != ".zip" && p.substr(p.size() - 4) != ".jar")) {
        continue;
      }
      SCOPED_TRACE(p);
      auto expect = ReadExpect(p + ".expect.tsv");
      Listed l(p);
      EXPECT_EQ(l.K.ErrorCode(), 0) << l.K.ErrorMessage();
      ASSERT_EQ(l.K.EntryTotal(), int64_t(expect.size()));
      EXPECT_EQ(l.DirUpdates, 1);
      for (size_t i = 0; i < expect.size(); ++i) {
        const ZipDirEntry& d = l.K.Contents()[i];
        EXPECT_EQ(d.EntryName, expect[i].Name);
        EXPECT_EQ(d.UncompressedSize64, expect[i].Size);
        EXPECT_EQ(d.Crc32, expect[i].Crc);
        EXPECT_EQ(d.CompressionMethod, expect[i].Method);
        EXPECT_EQ(l.SeqNos[i], int(i + 1));
      }
      EXPECT_EQ(l.K.StubSize(), 0);
      ++checked;
    }
  }
  EXPECT_GT(checked, 10);
}

TEST(ZipKeeperList, ShapesOfTheEndAndTheStart) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  PutFile(d / "dir/sub/file.txt", "some text\n");
  ASSERT_EQ(Shell("zip -q -X plain.zip dir/sub/file.txt"), 0);
  std::string plain = Slurp(d / "plain.zip");
  ASSERT_EQ(Shell("cp plain.zip commented.zip && printf 'ten bytes!' | zip -q -z commented.zip"),
            0);
  std::string commented = Slurp(d / "commented.zip");
  std::string padTo512(512 - commented.size() % 512, '\0');
  std::string stub(20000, 'S');
  PutFile(d / "sfx-adjusted.zip", stub + plain);
  ASSERT_EQ(Shell("zip -q -A sfx-adjusted.zip"), 0);

  struct Case {
    const char* what;
    std::string bytes;  // empty: use the file already written under `file`
    std::string file;
    int error;  // ErrorCode after List
    int64_t entries, stub;
    std::string comment;
  } cases[] = {
      {"empty archive", std::string("PK\x05\x06", 4) + std::string(18, '\0'), "", 0, 0, 0, ""},
      {"10-byte comment", commented, "", 0, 1, 0, "ten bytes!"},
      {"zero padding to a sector", commented + padTo512, "", 0, 1, 0, "ten bytes!"},
      {"non-zero bytes after the data", commented + "junk", "", 10204, 1, 0, "ten bytes!"},
      {"long padding", commented + std::string(600, '\0'), "", 10204, 1, 0, "ten bytes!"},
      {"stub put in front, offsets not adjusted", stub + plain, "", 10203, 1, 20000, ""},
      {"self-extractor with adjusted offsets", "", "sfx-adjusted.zip", 0, 1, 20000, ""},
      {"not a zip", std::string(3000, 'x'), "", 11036, 0, 0, ""},
      {"first file of a split set", std::string("PK\x07\x08PK\x03\x04", 8) + std::string(100, 'a'),
       "", 11045, 0, 0, ""},
      {"truncated directory", plain.substr(0, 30) + plain.substr(plain.size() - 22), "", 10201, 0,
       0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = c.file.empty() ? d / "case.zip" : d / c.file;
    if (c.file.empty()) PutFile(path, c.bytes);
    Listed l(path);
    EXPECT_EQ(l.K.ErrorCode(), c.error) << l.K.ErrorMessage();
    EXPECT_EQ(l.K.EntryTotal(), c.entries);
    EXPECT_EQ(l.K.StubSize(), c.stub);
    EXPECT_EQ(l.K.RawComment(), c.comment);
    EXPECT_EQ(l.DirUpdates, 1);
    bool failed = c.error != 0 && c.error != 10203 && c.error != 10204;
    EXPECT_EQ(l.K.ZipFileName().empty(), failed);
    EXPECT_EQ(l.Messages.size(), failed ? 1u : 0u);  // only raised failures reach OnMessage
    if (c.entries == 1) {
      EXPECT_EQ(l.K.Contents()[0].EntryName, "dir/sub/file.txt");
    }
  }
  // A missing file: no error, no entries, but the update event.
  Listed missing(d / "nothing-here.zip");
  EXPECT_EQ(missing.DirUpdates, 1);
  EXPECT_EQ(missing.K.ErrorCode(), 0);
}

// Hand-made archive with one name from a given host, flags and bytes.
std::string OneEntryZip(uint8_t host, uint8_t version, uint16_t flag, const std::string& name) {
  std::string local, central, end;
  auto p16 = [](std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
  };
  auto p32 = [&](std::string& s, uint32_t v) {
    p16(s, v & 0xFFFF);
    p16(s, v >> 16);
  };
  p32(local, 0x04034B50);
  p16(local, 10);
  p16(local, flag);
  p16(local, 0);
  p32(local, 0);
  p32(local, 0);
  p32(local, 0);
  p32(local, 0);
  p16(local, uint32_t(name.size()));
  p16(local, 0);
  local += name;
  p32(central, 0x02014B50);
  central += char(version);
  central += char(host);
  p16(central, 10);
  p16(central, flag);
  p16(central, 0);
  p32(central, 0);
  p32(central, 0);
  p32(central, 0);
  p32(central, 0);
  p16(central, uint32_t(name.size()));
  p16(central, 0);
  p16(central, 0);
  p16(central, 0);
  p16(central, 0);
  p32(central, 0);
  p32(central, 0);
  central += name;
  p32(end, 0x06054B50);
  p16(end, 0);
  p16(end, 0);
  p16(end, 1);
  p16(end, 1);
  p32(end, uint32_t(central.size()));
  p32(end, uint32_t(local.size()));
  p16(end, 0);
  return local + central + end;
}

TEST(ZipKeeperList, CodePageRule) {
  ScratchDir d;
  const std::string oem = "\x84\x94\x81.txt";  // "äöü.txt" in code page 437
  struct Case {
    const char* what;
    uint8_t host, version;
    uint16_t flag;
    CodePageOpts cp;
    std::string stored, shown;
  } cases[] = {
      {"DOS host, automatic", 0, 20, 0, cpAuto, oem, "äöü.txt"},
      {"DOS host, no conversion", 0, 20, 0, cpNone, oem, oem},
      {"HPFS host converts even with cpNone", 6, 20, 0, cpNone, oem, "äöü.txt"},
      {"NTFS host with version 50", 11, 50, 0, cpNone, oem, "äöü.txt"},
      {"NTFS host with another version", 11, 20, 0, cpAuto, oem, oem},
      {"Unix host, forced OEM", 3, 30, 0, cpOEM, oem, "äöü.txt"},
      {"UTF-8 flag keeps the name", 0, 20, 0x0800, cpAuto, "äöü.txt", "äöü.txt"},
      {"backslashes become slashes", 0, 20, 0, cpAuto, "dir\\file", "dir/file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PutFile(d / "cp.zip", OneEntryZip(c.host, c.version, c.flag, c.stored));
    Listed l(d / "cp.zip", c.cp);
    ASSERT_EQ(l.K.EntryTotal(), 1) << l.K.ErrorMessage();
    EXPECT_EQ(l.K.Contents()[0].EntryName, c.shown);
  }
  TZipKeeper k;
  k.CodePage = cpOEM;
  EXPECT_EQ(k.ConvertCodePage("äöü€", cpdANSI2OEM), "\x84\x94\x81_");
}

TEST(ZipKeeperText, TableFallbackAndErrorConvention) {
  EXPECT_EQ(ZipText(10604), "libqzip.so not found!");
  EXPECT_EQ(ZipText(10999),
            "ZipText.res is probably not linked to the executable\nMissing String ID is: 10999");
  EXPECT_EQ(ZipTextOrEmpty(10999), "");
  EXPECT_EQ(ZipKeeperError(11038, int64_t(3)).what(),
            std::string(
                "This is the 3th disk in a backup set,\nplease insert the last disk of this set"));
  EXPECT_EQ(ZipKeeperError(11034, int64_t(2)).Id, 11034);
  EXPECT_EQ(ZipTextFormat(11034, 2, 5), "Please insert disk volume 2 of 5");
  EXPECT_EQ(ZipKeeperError(11004, "/mnt/x/").what(), std::string("Drive /mnt/x/ is NOT defined"));
  EXPECT_EQ(TZipKeeper::DiskSetNumber(0), "001");
  EXPECT_EQ(TZipKeeper::DiskSetNumber(998), "999");
  EXPECT_EQ(TZipKeeper::DiskSetNumber(999), "000");

  TZipKeeper k;
  int messages = 0;
  k.OnMessage = [&](TZipKeeper&, int code, const std::string& m) {
    ++messages;
    EXPECT_EQ(code, 0);
    EXPECT_EQ(m, "User canceled operation");
  };
  k.RecordError(10203, " (detail)");
  EXPECT_EQ(k.ErrorCode(), 10203);
  EXPECT_EQ(k.ErrorMessage(), "Warning - Error in zip structure! (detail)");
  EXPECT_EQ(messages, 0);
  k.ReportException(ZipKeeperError(11007));
  EXPECT_EQ(k.ErrorCode(), 11007);
  EXPECT_EQ(messages, 1);
}
