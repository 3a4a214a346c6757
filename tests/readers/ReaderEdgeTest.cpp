// Edge cases of the directory readers on small archives built here from their header layouts
// (ARC subdirectories, PAK and BH have no public samples), on copies of real archives with one
// field changed, and on archives made by other tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "list/ListHarness.h"
#include "support/TempDir.h"

using namespace quil;
using namespace quil::test;
namespace fs = std::filesystem;

namespace {

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian byte building.
struct TBytes {
  std::string S;
  TBytes& U8(unsigned v) { S += static_cast<char>(v & 0xFF); return *this; }
  TBytes& U16(unsigned v) { return U8(v).U8(v >> 8); }
  TBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  TBytes& Str(const std::string& s) { S += s; return *this; }
  TBytes& Zeros(size_t n) { S.append(n, '\0'); return *this; }
  TBytes& Fixed(const std::string& s, size_t n) {  // zero-padded text field
    S += s.substr(0, n);
    return Zeros(n - std::min(n, s.size()));
  }
};

std::vector<std::string> Names(const TListRun& r) {
  std::vector<std::string> out;
  for (const auto& e : r.Entries) out.push_back(e.Name);
  return out;
}

// An ARC/PAK header: marker, method, 13-byte name, packed size, date, time, CRC-16, size.
void ArcHeader(TBytes& b, unsigned method, const std::string& name, uint32_t packed,
               uint32_t size, uint16_t crc) {
  b.U8(0x1A).U8(method).Fixed(name, 13).U32(packed).U16(0x5264).U16(0x3000).U16(crc).U32(size);
}

std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

}  // namespace

TEST(ArcReader, SubdirectoryNamesItsFilesAndIsListedOnlyWithBlankDirs) {
  TTempDir dir;
  TBytes b;
  TBytes inner;
  ArcHeader(inner, 2, "A.TXT", 3, 3, 0x1234);
  inner.Str("abc");
  inner.U8(0x1A).U8(31);  // end of the subdirectory
  ArcHeader(b, 30, "SUB", static_cast<uint32_t>(inner.S.size()), 0, 0);
  b.Str(inner.S);
  ArcHeader(b, 2, "B.TXT", 2, 2, 0x4321);
  b.Str("xy").U8(0x1A).U8(0);
  const std::string path = dir.Write("sub.arc", b.S);

  TListRun hidden = ListArchive(path, [](TZuvOD&) {});
  EXPECT_EQ(Names(hidden), (std::vector<std::string>{"SUB/A.TXT", "B.TXT"}));
  EXPECT_EQ(hidden.Totals, 2);
  ASSERT_EQ(hidden.Entries.size(), 2u);
  EXPECT_EQ(hidden.Entries[0].Crc, 0x1234u);
  EXPECT_EQ(hidden.Entries[1].Size, 2);

  TListRun shown = ListArchive(path);
  EXPECT_EQ(Names(shown), (std::vector<std::string>{"SUB/", "SUB/A.TXT", "B.TXT"}));
  ASSERT_EQ(shown.Entries.size(), 3u);
  EXPECT_EQ(shown.Entries[0].Filenum, 0);  // folders are not counted
  EXPECT_EQ(shown.Totals, 2);
}

TEST(PakReader, ListsItsOwnMethods) {
  TTempDir dir;
  TBytes b;
  ArcHeader(b, 10, "CRUSH.TXT", 4, 10, 1);
  b.Str("1234");
  ArcHeader(b, 11, "DISTIL.TXT", 5, 12, 2);
  b.Str("12345").U8(0x1A).U8(0);
  const std::string path = dir.Write("two.pak", b.S);
  TZuvOD z;
  z.SetArchiveFile(path);
  ASSERT_EQ(z.ArcType(), atPak);
  z.SetFileSpec({"*"});
  std::vector<std::string> methods;
  z.OnRead = [&](TArcMain*, int64_t, int32_t) { methods.push_back(z.Entry().MethodName); };
  EXPECT_TRUE(z.Activate());
  EXPECT_EQ(methods, (std::vector<std::string>{"Crushed", "Distill"}));
  EXPECT_EQ(z.TotalUnpackedSize(), 22);
}

TEST(BhReader, ListsEntriesUpToTheEndRecord) {
  TTempDir dir;
  TBytes b;
  auto entry = [&](const std::string& name, unsigned method, uint32_t packed, uint32_t size,
                   uint32_t crc, bool encrypted) {
    b.U32(0x07054842).U16(37 + static_cast<unsigned>(name.size())).U8(0).U8(20).U8(20);
    b.U8(encrypted ? 1 : 0).U8(method).U32(0x52643000).U32(packed).U32(size).U32(crc);
    b.U16(0x20).Zeros(4).U16(static_cast<unsigned>(name.size())).Zeros(2).Str(name);
    b.Str(std::string(packed, 'z'));
  };
  entry("DOCS\\READ.ME", 8, 6, 40, 0xCAFEF00D, false);
  entry("SECRET.TXT", 0, 3, 3, 0x01020304, true);
  b.U32(0x07054842).Zeros(33);  // end record: the 16-bit field is 0
  const std::string path = dir.Write("two.bh", b.S);
  std::vector<std::string> methods;
  std::vector<bool> encrypted;
  TListRun r = ListArchive(path, [&](TZuvOD& z) {
    auto read = z.OnRead;
    z.OnRead = [&, read](TArcMain* s, int64_t o, int32_t n) {
      methods.push_back(z.Entry().MethodName);
      encrypted.push_back(z.Entry().Encrypted);
      read(s, o, n);
    };
  });
  EXPECT_TRUE(r.Ok);
  EXPECT_EQ(Names(r), (std::vector<std::string>{"DOCS/READ.ME", "SECRET.TXT"}));
  EXPECT_EQ(methods, (std::vector<std::string>{"Deflate", "Stored"}));
  EXPECT_EQ(encrypted, (std::vector<bool>{false, true}));
  EXPECT_EQ(r.Entries[0].Crc, 0xCAFEF00Du);
  EXPECT_EQ(r.Entries[1].Offset, 37 + 12 + 6);
}

TEST(TarReader, ExcludedMiddleEntryLeavesTheNextOneIntact) {
  TListRun r = ListArchive(Fixture("tar/ustar-dirs.tar"), [](TZuvOD& z) {
    z.SetExcludeSpec({"empty.txt"});
  });
  EXPECT_EQ(Names(r), (std::vector<std::string>{"readme.txt", "data.bin", "sub/notes.txt",
                                                "sub/deeper/table.csv"}));
  ASSERT_EQ(r.Entries.size(), 4u);
  EXPECT_EQ(r.Entries[1].Size, 3000);
  EXPECT_EQ(r.Entries[1].Filenum, 2);
}

TEST(TarReader, LongNamesFromEveryHeaderKindMatchBsdtar) {
  TTempDir dir;
  const std::string longDir(90, 'd');
  const std::string longName = longDir + "/" + std::string(80, 'n') + ".txt";
  fs::create_directories(dir / longDir);
  std::ofstream(dir / longName) << "content";
  std::ofstream(dir / "short.txt") << "x";
  for (const char* format : {"pax", "ustar", "gnutar"}) {
    SCOPED_TRACE(format);
    const std::string tar = dir / (std::string(format) + ".tar");
    Shell("cd '" + dir.Path() + "' && bsdtar --format " + format + " -cf '" + tar +
          "' short.txt '" + longName + "' 2>/dev/null");
    ASSERT_TRUE(fs::exists(tar));
    std::vector<std::string> oracle;
    std::stringstream ss(Shell("bsdtar -tf '" + tar + "'"));
    for (std::string line; std::getline(ss, line);) oracle.push_back(line);
    TListRun r = ListArchive(tar);
    EXPECT_EQ(Names(r), oracle);
    ASSERT_EQ(r.Entries.size(), 2u);
    EXPECT_EQ(r.Entries[1].Size, 7);
  }
}

TEST(GzipReader, ExtraFieldAndStoredNameAndTrailingNameBlock) {
  TTempDir dir;
  // FEXTRA and FNAME; the data is one stored deflate block holding "hello".
  TBytes b;
  b.U8(0x1F).U8(0x8B).U8(8).U8(0x04 | 0x08).U32(1600000000).U8(0).U8(3);
  b.U16(6).Str("AB").U16(2).Str("xy");
  b.Str("inner.txt").U8(0);
  b.U8(0x01).U16(5).U16(0xFFFA).Str("hello");
  b.U32(0x3610A686).U32(5);
  TListRun r = ListArchive(dir.Write("extra.gz", b.S));
  ASSERT_EQ(r.Entries.size(), 1u);
  EXPECT_EQ(r.Entries[0].Name, "inner.txt");
  EXPECT_EQ(r.Entries[0].Size, 5);
  EXPECT_EQ(r.Entries[0].Crc, 0x3610A686u);
  EXPECT_EQ(r.Entries[0].Packed, 10);
  EXPECT_EQ(r.Entries[0].Method, 8);

  // A trailing name block: CRC and size, the name, the marker 1F 8B 00 00 and the name's length.
  TBytes t;
  t.U8(0x1F).U8(0x8B).U8(8).U8(0).U32(0).U8(0).U8(0);
  t.U8(0x01).U16(5).U16(0xFFFA).Str("hello");
  t.U32(0x3610A686).U32(5).Str("OLD.TXT").U32(0x00008B1F).U32(7);
  TListRun named = ListArchive(dir.Write("block.gz", t.S));
  ASSERT_EQ(named.Entries.size(), 1u);
  EXPECT_EQ(named.Entries[0].Name, "OLD.TXT");
  EXPECT_EQ(named.Entries[0].Size, 5);
  EXPECT_EQ(named.Entries[0].Crc, 0x3610A686u);
}

namespace {

// A RAR 1.5-4 archive: marker, main header, file headers (with `extra` bytes of extended data
// after the name), end block.
std::string RarArchive(const std::vector<std::string>& names, size_t extra) {
  TBytes b;
  b.Str("Rar!\x1A\x07").U8(0);
  b.U16(0).U8(0x73).U16(0).U16(13).Zeros(6);
  for (const std::string& n : names) {
    const unsigned size = 32 + static_cast<unsigned>(n.size() + extra);
    b.U16(0).U8(0x74).U16(0x8000 | (extra ? 0x1000 : 0)).U16(size);
    b.U32(4).U32(4).U8(2).U32(0xD87F7E0C).U32(0x52643000).U8(29).U8('0');
    b.U16(static_cast<unsigned>(n.size())).U32(0x20).Str(n).Str(std::string(extra, '\x7F'));
    b.Str("data");
  }
  b.U16(0).U8(0x7B).U16(0x4000).U16(7);
  return b.S;
}

}  // namespace

TEST(RarReader, ExtendedDataAfterTheNameIsSkipped) {
  TTempDir dir;
  for (size_t extra : {size_t{0}, size_t{9}}) {
    SCOPED_TRACE(extra);
    TListRun r = ListArchive(dir.Write("x.rar", RarArchive({"one.txt", "dir\\two.txt"}, extra)));
    EXPECT_TRUE(r.Errors.empty());
    EXPECT_EQ(Names(r), (std::vector<std::string>{"one.txt", "dir/two.txt"}));
    ASSERT_EQ(r.Entries.size(), 2u);
    EXPECT_EQ(r.Entries[1].Size, 4);
    EXPECT_EQ(r.Entries[1].Crc, 0xD87F7E0Cu);
    EXPECT_EQ(r.Entries[1].Offset, 7 + 13 + 32 + 7 + static_cast<int64_t>(extra) + 4);
  }
}

TEST(ZooReader, FilenumTotalsCommentsAndDeletedEntries) {
  const std::string path = Fixture("zoo/stored-comments.zoo");
  TListRun r = ListArchive(path);
  ASSERT_EQ(r.Entries.size(), 2u);
  EXPECT_EQ(r.Entries[0].Filenum, 1);
  EXPECT_EQ(r.Entries[1].Filenum, 2);
  EXPECT_EQ(r.Totals, 2);
  EXPECT_FALSE(r.Entries[0].Comment.empty());
  EXPECT_FALSE(r.Entries[1].Comment.empty());

  // The same archive with its first entry marked deleted (offset 30 of the entry at 42).
  TTempDir dir;
  std::string bytes = ReadAll(path);
  bytes[42 + 30] = 1;
  TListRun deleted = ListArchive(dir.Write("deleted.zoo", bytes));
  EXPECT_EQ(Names(deleted), (std::vector<std::string>{"readme.txt"}));
  EXPECT_EQ(deleted.Totals, 1);
}

TEST(ChainedReaders, NextPointersThatGoBackEndTheListing) {
  TTempDir dir;
  // ZOO: the second entry's "next" points back at the first.
  std::string zoo = ReadAll(Fixture("zoo/stored-comments.zoo"));
  zoo[3133 + 6] = 42, zoo[3133 + 7] = 0, zoo[3133 + 8] = 0, zoo[3133 + 9] = 0;
  TListRun z = ListArchive(dir.Write("loop.zoo", zoo));
  EXPECT_EQ(Names(z), (std::vector<std::string>{"data.bin", "readme.txt"}));
  // ZOO: an entry pointing at itself.
  zoo[42 + 6] = 42, zoo[42 + 7] = 0;
  TListRun self = ListArchive(dir.Write("self.zoo", zoo));
  EXPECT_EQ(Names(self), (std::vector<std::string>{"data.bin"}));
}

TEST(Readers, DamagedHeadersAreRefusedWithBadFileHeader) {
  TTempDir dir;
  struct TCase {
    const char* Name;
    std::string Bytes;
  };
  std::vector<TCase> cases;
  {  // TAR: a base-256 size beyond any file
    std::string h(512, '\0');
    h.replace(0, 5, "a.txt");
    h.replace(100, 7, "0000644");
    h[124] = static_cast<char>(0x80);
    for (int i = 125; i < 136; ++i) h[i] = static_cast<char>(0xFF);
    h.replace(257, 6, std::string("ustar\0", 6));
    h[156] = '0';
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : static_cast<uint8_t>(h[i]);
    char chk[8];
    std::snprintf(chk, sizeof chk, "%06o", sum);
    h.replace(148, 7, std::string(chk, 6) + '\0');
    cases.push_back({"huge.tar", h + std::string(1024, '\0')});
  }
  {  // ARJ: a main header larger than its buffer
    TBytes b;
    b.U16(0xEA60).U16(3000).Zeros(3100);
    cases.push_back({"big.arj", b.S});
  }
  {  // HA: a path without its terminating zero
    TBytes b;
    b.Str("HA").U16(1).U8(0x20).U32(1).U32(1).U32(0).U32(0).Str(std::string(2000, 'p'));
    cases.push_back({"path.ha", b.S});
  }
  {  // RAR (newer format): a header size beyond the limit
    TBytes b;
    b.Str("Rar!\x1A\x07\x01").U8(0).U32(0).U8(0xFF).U8(0xFF).U8(0xFF).U8(0x7F).Zeros(64);
    cases.push_back({"huge.rar", b.S});
  }
  {  // LHA level 1: an extended header running past the end of the file
    TBytes b;
    b.U8(27).U8(0).Str("-lh0-").U32(0).U32(0).U32(0).U8(0x20).U8(1).U8(1).Str("a");
    b.U16(0).U8('U').U16(0x4000).Zeros(40);
    cases.push_back({"ext.lzh", b.S});
  }
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TListRun r = ListArchive(dir.Write(c.Name, c.Bytes));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Errors, (std::vector<int32_t>{25108}));
    EXPECT_TRUE(r.Entries.empty());
    EXPECT_TRUE(r.Deactivated);
  }
}

TEST(VolumeReaders, SplitEntriesAreReportedOnceAfterTheNextVolume) {
  // ARJ: part.txt runs over four volumes; ACE: entries over three.
  struct TCase {
    const char* Rel;
    std::vector<std::string> Asked;
    size_t Entries;
  };
  const TCase cases[] = {
      {"arj/multivol.arj", {"multivol.a01", "multivol.a02", "multivol.a03"}, 2},
      {"ace/multivolume.ace", {"multivolume.c00", "multivolume.c01"}, 0},
      {"rar/sc_Rar2.multi.rar", {"sc_Rar2.multi.r00", "sc_Rar2.multi.r01", "sc_Rar2.multi.r02",
                                 "sc_Rar2.multi.r03", "sc_Rar2.multi.r04", "sc_Rar2.multi.r05"}, 5},
      {"rar/la_rar_multivolume.part0001.rar",
       {"la_rar_multivolume.part0002.rar", "la_rar_multivolume.part0003.rar",
        "la_rar_multivolume.part0004.rar"}, 7},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Rel);
    std::vector<std::string> asked;
    TListRun r = ListArchive(Fixture(c.Rel), [&](TZuvOD& z) {
      z.SetShowBlankDirs(true);
      z.OnNextVolume = [&](TArcMain*, std::string& name, const std::string&, bool exists,
                           bool& cancel) {
        asked.push_back(fs::path(name).filename().string());
        cancel = !exists;
      };
    });
    EXPECT_EQ(asked, c.Asked);
    std::vector<std::string> names = Names(r);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "listed twice";
    if (c.Entries) {
      EXPECT_EQ(r.Entries.size(), c.Entries);
    }
    int64_t files = std::count_if(r.Entries.begin(), r.Entries.end(),
                                  [](const TListed& e) { return e.Name.back() != '/'; });
    EXPECT_EQ(r.Totals, files);
  }
  // The ARJ entry over four volumes has the sizes of all its parts.
  TListRun arj = ListArchive(Fixture("arj/multivol.arj"), [](TZuvOD& z) {
    z.OnNextVolume = [](TArcMain*, std::string&, const std::string&, bool exists, bool& cancel) {
      cancel = !exists;
    };
  });
  ASSERT_EQ(arj.Entries.size(), 2u);
  EXPECT_EQ(arj.Entries[1].Size, 150000);
  // Refused, the listing ends quietly with what came before.
  TListRun refused = ListArchive(Fixture("arj/multivol.arj"), [](TZuvOD& z) {
    z.OnNextVolume = [](TArcMain*, std::string&, const std::string&, bool, bool& cancel) {
      cancel = true;
    };
  });
  EXPECT_TRUE(refused.Ok);
  EXPECT_EQ(Names(refused), (std::vector<std::string>{"readme.txt"}));
}

TEST(UuReader, ReportedOnceWhateverFileSpecSays) {
  for (const std::vector<std::string>& spec :
       {std::vector<std::string>{"*"}, std::vector<std::string>{"nothing-like-it"},
        std::vector<std::string>{}}) {
    TListRun r = ListArchive(Fixture("uue/readme.uue"), [](TZuvOD&) {}, spec);
    ASSERT_EQ(r.Entries.size(), 1u);
    EXPECT_EQ(r.Entries[0].Offset, 0);
    EXPECT_EQ(r.Entries[0].Filenum, 1);
    EXPECT_EQ(r.Entries[0].Name, "readme.txt");
  }
}
