// Data hooks, stored copy, progress arithmetic and volume requests.
#include <gtest/gtest.h>

#include "engine/core/Messages.h"
#include "engine/TestExtractor.h"
#include "support/ExpectFile.h"
#include "support/TempDir.h"

using namespace quil;
using namespace quil::test;

namespace {

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

class TXorCipher : public TZipCipher {
 public:
  uint8_t DecryptByte(uint8_t c) override { return c ^ 0x5A; }
  uint8_t EncryptByte(uint8_t p) override { return p ^ 0x5A; }
};

uint16_t Le16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

}  // namespace

TEST(Hooks, ReadBlockDecryptsByTypeAndChecksums) {
  TTempDir dir;
  std::string plain = "123456789";
  struct Case {
    std::string archive;
    std::string stored;  // bytes in the input
  } cases[] = {
      // ARJ garble: XOR with the password, position wrapping after its last character.
      {Fixture("arj/garbled.arj"), [&] {
         std::string s = plain, pw = "ab";
         for (size_t i = 0; i < s.size(); ++i) s[i] ^= pw[i % 2];
         return s;
       }()},
      // ZIP family: through the run's cipher object.
      {Fixture("zip/stored-dirs.zip"), [&] {
         std::string s = plain;
         for (char& c : s) c ^= 0x5A;
         return s;
       }()},
  };
  TXorCipher cipher;
  for (const auto& c : cases) {
    TTestExtractor x;
    x.SetArchiveFile(c.archive);
    x.SetGarblePassword("ab");
    x.SetZipCipher(&cipher);
    TArcFile in;
    ASSERT_TRUE(in.Open(dir.Write("in.bin", c.stored), TArcFile::ReadOnly));
    x.SetCrc32Register(0xFFFFFFFFu);
    x.SetCrc16Register(0);
    uint8_t buf[16] = {};
    ASSERT_EQ(x.ReadBlock(&in, nullptr, 9, CrcKind32, true, buf), 9);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 9), plain) << c.archive;
    EXPECT_EQ(~x.Crc32Register(), 0xCBF43926u);
    EXPECT_EQ(x.Crc16Register(), 0u);  // kind 32 leaves the other register alone
  }
}

TEST(Hooks, WriteHooksCipherAndShortWrites) {
  TTempDir dir;
  TTestExtractor x;
  x.SetArchiveFile(Fixture("zip/stored-dirs.zip"));
  TXorCipher cipher;
  x.SetZipCipher(&cipher);
  TArcFile out;
  ASSERT_TRUE(out.Open(dir / "o.bin", TArcFile::CreateWrite));
  std::string a = "123456789", b = "123456789";
  x.SetCrc16Register(0);
  x.WriteEncrypted(&out, nullptr, 1, 9, CrcKind16, true, reinterpret_cast<uint8_t*>(a.data()));
  EXPECT_EQ(x.Crc16Register(), 0xBB3Du);  // checksum of the plain bytes
  out.Close();
  std::string written = ReadWhole(dir / "o.bin");
  for (char& c : written) c ^= 0x5A;
  EXPECT_EQ(written, b);
  // A target that takes fewer bytes than given raises 25136 without OnError.
  TArcFile ro;
  ASSERT_TRUE(ro.Open(dir / "o.bin", TArcFile::ReadOnly));
  int errors = 0;
  x.OnError = [&](TArcMain*, const std::string&, const std::string&, const std::string&,
                  int32_t) { ++errors; };
  try {
    x.WriteBlock(&ro, nullptr, 1, 9, 0, false, reinterpret_cast<uint8_t*>(b.data()));
    ADD_FAILURE();
  } catch (const E_RAISE& e) {
    EXPECT_EQ(e.Code, 25136);
  }
  EXPECT_EQ(errors, 0);
}

TEST(Hooks, CopyStoredReproducesAStoredEntry) {
  // readme.txt is the first, stored entry of the fixture: copy it and compare its CRC.
  TTempDir dir;
  const std::string zip = Fixture("zip/stored-dirs.zip");
  const std::string raw = ReadWhole(zip);
  const auto expect = ReadExpectFile(zip + ".expect.tsv");
  const int64_t dataAt = 30 + Le16(raw, 26) + Le16(raw, 28);
  TTestExtractor x;
  x.SetArchiveFile(zip);
  x.SetExtractDir(dir.Path());
  std::vector<int> byFile;
  x.OnProgress = [&](TArcMain*, uint8_t f, uint8_t) { byFile.push_back(f); };
  x.Work = [&](TTestExtractor& self) {
    self.SetOutputName("readme.txt");
    TArcFile out;
    ASSERT_TRUE(self.OpenOutput(out, self.FileName()));
    ASSERT_TRUE(self.ArcFile().Seek(dataAt));
    self.SetCrc32Register(0xFFFFFFFFu);
    self.SetProgressSizes(12000, 12000);
    self.SetRunBytesLeft(12000);
    self.CopyStored(&self.ArcFile(), &out, "readme.txt", false, CrcKind32);
    self.CloseOutput(out, 0x20, 0, self.FileName());
    EXPECT_EQ(~self.Crc32Register(), expect[0].Crc);
  };
  x.Extract();
  EXPECT_EQ(std::filesystem::file_size(dir / "readme.txt"), 12000u);
  // 32768-byte blocks: one block, then the driver's closing callback.
  ASSERT_FALSE(byFile.empty());
  EXPECT_EQ(byFile[byFile.size() - 2], 100);
}

TEST(Hooks, ProgressStepsAndStepping) {
  TTestExtractor x;
  struct {
    TProgressNotify p;
    int s;
  } steps[] = {{Five, 5}, {Ten, 10}, {Fifteen, 15}, {Twenty, 20}, {TwentyFive, 25}};
  for (auto c : steps) {
    x.SetProgressNotify(c.p);
    EXPECT_EQ(x.ProgressStep(), c.s);
  }
  // Stepped: recomputed only when the bytes left are a multiple of the step (S = 25: 250 bytes).
  x.SetProgressNotify(TwentyFive);
  x.SetProgressSizes(1000, 1000);
  x.SetRunBytesLeft(1000);
  x.ConsumeBytes(100);
  x.ReportProgress(100, 1000, true, 1000);
  EXPECT_EQ(x.FilePercent(), 0);
  x.ConsumeBytes(150);
  x.ReportProgress(250, 1000, true, 1000);
  EXPECT_EQ(x.FilePercent(), 25);
  EXPECT_EQ(x.ArchivePercent(), 25);
  // A step of 0 bytes (a tiny entry) reports at every call.
  x.SetProgressSizes(3, 3);
  x.SetRunBytesLeft(3);
  x.ConsumeBytes(1);
  x.ReportProgress(1, 3, true, 3);
  EXPECT_EQ(x.FilePercent(), 33);
}

TEST(Volumes, NamesAndRequests) {
  TTempDir dir;
  TTestExtractor arj;
  arj.SetArchiveFile(Fixture("arj/multivol.arj"));  // letter 'a', VolumeNumber 1
  EXPECT_EQ(arj.NextVolumeName("/d/x.arj", 1), "/d/x.a01");
  EXPECT_EQ(arj.NextVolumeName("/d/x.arj", 12), "/d/x.a12");
  EXPECT_EQ(arj.NextVolumeName("/d/x.y.arj", 2), "/d/x.a02");
  EXPECT_EQ(arj.NextVolumeName("", 1), "");
  EXPECT_EQ(arj.NextVolumeName("/d/x.arj", -1), "");

  std::vector<int32_t> errors;
  int asked = 0;
  arj.OnError = [&](TArcMain*, const std::string&, const std::string&, const std::string&,
                    int32_t code) { errors.push_back(code); };
  arj.OnNextVolume = [&](TArcMain*, std::string&, const std::string&, bool exists, bool& cancel) {
    ++asked;
    cancel = !exists;
  };
  std::string name = dir / "x.a01";
  EXPECT_FALSE(arj.RequestNextVolume(name, 1000));
  EXPECT_EQ(errors, std::vector<int32_t>{25250});
  EXPECT_EQ(asked, 0);
  std::string empty;
  EXPECT_FALSE(arj.RequestNextVolume(empty, 2));
  EXPECT_EQ(errors.back(), 25243);
  EXPECT_FALSE(arj.RequestNextVolume(name, 2));  // missing: the handler cancels
  EXPECT_EQ(asked, 1);
  dir.Write("x.a01", "v");
  int before = arj.VolumeNumber();
  EXPECT_TRUE(arj.RequestNextVolume(name, 2));
  EXPECT_EQ(arj.VolumeNumber(), before + 1);

  // A handler that goes on while the volume is missing is asked again until the file appears
  // (here: it names another file that exists), never endlessly.
  std::string missing = dir / "x.a02";
  int answers = 0;
  arj.OnNextVolume = [&](TArcMain*, std::string& vn, const std::string&, bool, bool& cancel) {
    if (++answers == 2) vn = name;
    cancel = false;
  };
  EXPECT_TRUE(arj.RequestNextVolume(missing, 3));
  EXPECT_EQ(answers, 2);
  EXPECT_EQ(missing, name);

  // Opening the next real volume of the fixture set.
  TArcFile f;
  ASSERT_TRUE(f.Open(Fixture("arj/multivol.arj"), TArcFile::ReadOnly));
  TTestExtractor v;
  v.SetArchiveFile(Fixture("arj/multivol.arj"));
  v.OnNextVolume = [](TArcMain*, std::string&, const std::string&, bool, bool& c) { c = false; };
  std::string vol = Fixture("arj/multivol.arj");
  ASSERT_TRUE(v.OpenNextVolume(f, vol));
  EXPECT_EQ(vol, Fixture("arj/multivol.a01"));
  EXPECT_EQ(v.ArchiveSize(), f.Size());
}
