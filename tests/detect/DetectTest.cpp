// Archive-type detection: real archives of every family, hand-made edge cases, bad input.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "engine/core/ArcMain.h"
#include "engine/core/Detect.h"

using namespace quil;
using namespace quil::test;

namespace {

constexpr int kAny = -1;

struct Result {
  TArcType type;
  int64_t offset;
  int flags;  // kAny: not checked
};

::testing::AssertionResult Matches(const TArcMain& a, const Result& r) {
  if (a.ArcType() == r.type && a.ArcOffset() == r.offset &&
      (r.flags == kAny || a.ZipFlags() == r.flags))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got " << ArcTypeDisplayName(a.ArcType()) << " offset " << a.ArcOffset() << " flags 0x"
         << std::hex << int(a.ZipFlags()) << "; want " << ArcTypeDisplayName(r.type) << " offset "
         << std::dec << r.offset << " flags 0x" << std::hex << r.flags;
}

void Detect(TArcMain& a, const std::string& path, int32_t commentRoom = 0) {
  if (commentRoom) a.SetZipCmntBufSize(commentRoom);
  a.SetArchiveFile(path);
}

}  // namespace

// One real archive of every family, made by other tools. The offsets of the programs with an
// archive inside were found independently: ARJ header 60 EA at 512, LHA "-lh5-" at 1704 (header
// two bytes earlier), "Rar!" at 98816, and Python's zipfile start_dir for the ZIP files.
TEST(Detect, RealArchivesOfEveryFamily) {
  struct Case {
    const char* file;
    Result want;
    int volume;
  } cases[] = {
      {"ace/onefile.ace", {atACE, 1, 0}, 0},
      {"arc/methods.arc", {atArc, 1, 0}, 0},
      {"arj/methods-0to4.arj", {atArj, 1, 0}, 1},
      {"arj/multivol.a02", {atArj, 1, 0}, 3},
      {"cab/gcab-mszip.cab", {atCab, 1, 0}, 0},
      {"compress/text-b16.Z", {atGZip, 1, 0}, 0},
      {"gzip/named.gz", {atGZip, 1, 0}, 0},
      {"ha/hsc.ha", {atHa, 1, 0}, 0},
      {"lha/lha213-lh5.lzh", {atLha, 1, 0}, 0},
      {"lha/jlha-h2-lh7-dirs.lzh", {atLha, 1, 0}, 0},
      {"msgz/TestArchive1-NoCompression.Z", {atMsGZ, 1, 0}, 0},
      {"rar/ss_testfile.rar3.rar", {atRar, 1, 0}, 0},
      {"rar/ss_testfile.rar5.rar", {atRar, 1, 0}, 0},
      {"rar/sc_Rar2.multi.r00", {atRar, 1, 0}, 1},
      {"tar/ustar-dirs.tar", {atTar, 1, 0}, 0},
      {"tar/volume-label.tar", {atTar, 513, 0}, 0},
      {"uue/readme.uue", {atUue, 1, 0}, 0},
      {"uue/data.xxe", {atUue, 1, 0}, 0},
      {"zoo/lzh.zoo", {atZoo, 1, 0}, 0},
      {"zip/stored-dirs.zip", {atZip, 22415, 0x19}, 0},
      {"zip/deflate-l6-comments.zip", {atZip, 9980, 0x19}, 0},
      {"zip/hello.jar", {atJar, 379, 0x19}, 0},
      {"zip/la_zip_zip64a.zip", {atZip, 83, 0x19}, 0},
      {"zip-encrypted/zipcrypto-all.zip", {atZip, 10103, 0x19}, 0},
      {"zip-legacy/shrink.zip", {atZip, 8520, 0x19}, 0},
      {"zip/empty-archive.zip", {atZip, 0, 0x10}, 0},
      {"bad/zip-truncated.zip", {atZip, 0, 0x10}, 0},
      {"zip-span/span.z01", {atZip, 4, 0x10}, 0},
      {"zip-span/span.zip", {atUnknown, 1, 0x09}, 0},  // last part alone, on a fixed disk
      {"sfx/arj-mzstub.exe", {atArjExe, 513, 0}, 1},
      {"sfx/lha255e-sfx.exe", {atLhaExe, 1703, 0}, 0},
      {"sfx/zip-sfx-adjusted.exe", {atZipExe, 7398, 0x19}, 0},
      {"rar/la_rar_sfx.exe", {atRarExe, 98817, 0}, 0},
      {"bad/cab-bad_signature.cab", {atUnknown, 1, 0}, 0},
  };
  FakeVolumeScope fixedDisk(dtFixed, "");  // wherever the fixtures live
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TArcMain a;
    Detect(a, std::string(QUIL_FIXTURES) + "/" + c.file, 32000);
    EXPECT_TRUE(Matches(a, c.want));
    EXPECT_EQ(a.VolumeNumber(), c.volume);
    EXPECT_EQ(a.ArchiveSize(), static_cast<int64_t>(std::filesystem::file_size(
                                   std::string(QUIL_FIXTURES) + "/" + c.file)));
    EXPECT_EQ(a.ArchiveDate() == 29221, !IsRecognised(c.want.type));
  }
}

// Hand-made files for the corners of the algorithm.
TEST(Detect, EdgeCases) {
  Bytes arj = ReadFixture("arj/m1-dirs.arj");
  Bytes ace = ReadFixture("ace/onefile.ace");
  Bytes zip = ReadFixture("zip/stored-dirs.zip");
  Bytes local = Cat({Text("PK\3\4"), Zeros(40)});

  Bytes aceCrcLikeArj = ace;
  aceCrcLikeArj[0] = 0x60, aceCrcLikeArj[1] = 0xEA;

  Bytes fixedStub7612 = Cat({Zeros(7612), local});
  Bytes fixedStub25661 = Cat({Zeros(25661), local});

  // DOS image ends at 612; two bytes of padding, then the ARJ main header.
  Bytes stubPadArj = Cat({DosStub(100, 2, 612), Zeros(2), arj});
  // A full last page (e_cblp 0): the image ends at 2 * 512.
  Bytes stubFullPageArj = Cat({DosStub(0, 2, 1024), arj});
  Bytes stubCab = Cat({DosStub(0, 1, 512), Text("MSCF"), Zeros(200)});

  Bytes stubThenLha = Cat({DosStub(0, 0, 20000), Text("\x20\x5c-lh5-"), Zeros(100)});
  Bytes stubThenZip = Cat({DosStub(0, 0, 30000), local});
  // "Rar!" straddling the end of the sixth scanned block, and one just past it.
  const size_t lastScanned = 17000 + 6 * 32768 - 1;
  Bytes rarOnEdge = Cat({DosStub(0, 0, lastScanned), Text("Rar!"), Zeros(10)});
  Bytes rarPast = Cat({DosStub(0, 0, lastScanned + 1), Text("Rar!"), Zeros(10)});

  Bytes uuLater = Cat({Text("Subject: x\r\n\r\nbegin 644 a.txt\n"), Zeros(40)});
  Bytes uuTooLate = Cat({Bytes(2600, 'x'), Text("\nbegin 644 a.txt\n"), Zeros(40)});
  Bytes tarBad = ReadFixture("tar/ustar-dirs.tar");
  tarBad[0] ^= 1;

  struct Case {
    const char* what;
    std::string name;
    Bytes data;
    Result want;
  } cases[] = {
      {"19 bytes", "a.zip", Cat({Text("PK\3\4"), Zeros(15)}), {atFileOpenErr, 1, kAny}},
      {"20 bytes of text", "a.txt", Text("twenty bytes of text"), {atUnknown, 1, 0}},
      {"zeros then local header", "a.zip", Cat({Zeros(16), local}), {atZip, 16, 0x10}},
      {"local header, no end record", "a.zip", local, {atZip, 0, 0x10}},
      {"stub offset 7612", "a.exe", fixedStub7612, {atZipExe, 7612, 0x10}},
      {"stub offset 25661", "a.exe", fixedStub25661, {atZipExe, 25661, 0}},
      {"image end + padding + ARJ", "a.exe", stubPadArj, {atArjExe, 615, 0}},
      {"full last page + ARJ", "a.exe", stubFullPageArj, {atArjExe, 1025, 0}},
      {"MSCF plain", "a.cab", Cat({Text("MSCF"), Zeros(100)}), {atCab, 1, 0}},
      {"MSCF behind a DOS stub", "a.exe", stubCab, {atUnknown, 0, 0}},
      {"ACE whose CRC reads 60 EA", "a.ace", aceCrcLikeArj, {atACE, 1, 0}},
      {"LHA header found by the scan", "a.exe", stubThenLha, {atLhaExe, 20001, 0}},
      {"ZIP found by the scan", "a.exe", stubThenZip, {atZipExe, 30000, 0x10}},
      {"Rar! at the last scanned byte", "a.exe", rarOnEdge, {atRarExe, int64_t(lastScanned) + 1, 0}},
      {"Rar! past the scan", "a.exe", rarPast, {atUnknown, 0, 0}},
      {"begin after a line feed", "a.txt", uuLater, {atUue, 1, 0}},
      {"begin beyond 2500 bytes", "a.txt", uuTooLate, {atUnknown, 1, 0}},
      {"TAR with a wrong checksum", "a.tar", tarBad, {atUnknown, 1, 0}},
      {"ZIP named .jar", "x.jar", zip, {atJar, 22415, 0x19}},
      {"ZIP named .JAR", "x.JAR", zip, {atJar, 22415, 0x19}},
      {"ZIP named .zip", "x.zip", zip, {atZip, 22415, 0x19}},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TArcMain a;
    Detect(a, dir.Write(c.name, c.data));
    EXPECT_TRUE(Matches(a, c.want));
  }
}

// The end record is searched in a window of the comment room + 23 bytes: a comment one byte
// longer than the room hides it, and the file is then read by its local headers.
TEST(Detect, CommentLongerThanTheRoomHidesTheEndRecord) {
  Bytes zip = ReadFixture("zip/stored-dirs.zip");
  ASSERT_EQ(zip[zip.size() - 22], 'P');
  ScratchDir dir;
  for (size_t comment : {2000u, 2001u}) {
    Bytes z = zip;
    Put16(z, z.size() - 2, static_cast<uint16_t>(comment));
    z.resize(z.size() + comment, 'c');
    TArcMain a;
    Detect(a, dir.Write("c.zip", z), 2000);
    SCOPED_TRACE(comment);
    EXPECT_TRUE(Matches(a, comment == 2000 ? Result{atZip, 22415, 0x19} : Result{atZip, 0, 0x10}));
  }
}

// Offsets published as string resources 1..4 of a PE program.
TEST(Detect, OffsetsPublishedByTheProgram) {
  Bytes arj = ReadFixture("arj/m1-dirs.arj");
  auto with = [](Bytes b, size_t at, const Bytes& tail) {
    b.resize(at);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  Bytes zipTail = Cat({Text("PK\3\4"), Zeros(100)});
  Bytes corrupt = with(PeWithStrings({{1, "1024"}}, 1024), 1024, arj);
  Put32(corrupt, kPeDataEntry, 0x7FFF0000);  // block RVA far outside the section

  struct Case {
    const char* what;
    Bytes data;
    Result want;
  } cases[] = {
      {"ARJ at string 1", with(PeWithStrings({{1, "1024"}}, 1024), 1024, arj), {atArjExe, 1025, 0x10}},
      {"ZIP at string 1", with(PeWithStrings({{1, "1024"}}, 1024), 1024, zipTail), {atZipExe, 1024, 0x10}},
      {"first string points at nothing, second at ARJ",
       with(PeWithStrings({{1, "900"}, {2, "1024"}}, 1024), 1024, arj), {atArjExe, 1025, 0x10}},
      {"MSCF at string 1 is not supported there",
       with(PeWithStrings({{1, "1024"}}, 1024), 1024, Cat({Text("MSCF"), Zeros(100)})),
       {atUnsupported, 1025, 0x10}},
      {"six digits are cut to five",
       with(PeWithStrings({{1, "102401"}}, 10240), 10240, arj), {atArjExe, 10241, 0x10}},
      {"not a number ends the search",
       with(PeWithStrings({{1, "x"}, {2, "1024"}}, 1024), 1024, arj), {atUnknown, 0, 0}},
      {"offset past the end", with(PeWithStrings({{1, "99999"}}, 1024), 1024, arj), {atUnknown, 0, 0}},
      {"corrupt resource entry", corrupt, {atUnknown, 0, 0}},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TArcMain a;
    Detect(a, dir.Write("p.exe", c.data));
    EXPECT_TRUE(Matches(a, c.want));
  }
}

// Input that is no archive or cannot be read still gives a type.
TEST(Detect, BadInput) {
  ScratchDir dir;
  Bytes sfx = ReadFixture("rar/la_rar_sfx.exe");
  Bytes farPe = DosStub(0, 0, 100);
  Put32(farPe, 0x3C, 0xFFFFFFF0);
  std::string missing = dir.Path() + "/missing.zip";
  std::string dangling = dir.Path() + "/dangling.zip";
  ASSERT_EQ(::symlink(missing.c_str(), dangling.c_str()), 0);
  struct Case {
    const char* what;
    std::string path;
    TArcType want;
  } cases[] = {
      {"empty name", "", atNA},
      {"missing file", missing, atFileOpenErr},
      {"dangling link", dangling, atFileOpenErr},
      {"folder", dir.Path(), atFileOpenErr},
      {"empty file", dir.Write("empty.zip", {}), atFileOpenErr},
      {"truncated MZ header", dir.Write("t.exe", Bytes(sfx.begin(), sfx.begin() + 64)), atUnknown},
      {"PE cut inside its headers", dir.Write("u.exe", Bytes(sfx.begin(), sfx.begin() + 300)), atUnknown},
      {"MZ with a PE offset far outside", dir.Write("v.exe", farPe), atUnknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TArcMain a;
    a.SetArchiveFile(c.path);
    EXPECT_EQ(a.ArcType(), c.want) << ArcTypeDisplayName(a.ArcType());
    EXPECT_EQ(a.ArchiveDate(), 29221);
  }
  if (::geteuid() != 0) {  // root reads any file
    std::string locked = dir.Write("locked.zip", ReadFixture("zip/stored-dirs.zip"));
    ::chmod(locked.c_str(), 0);
    TArcMain a;
    a.SetArchiveFile(locked);
    EXPECT_EQ(a.ArcType(), atFileOpenErr);
  }
}

TEST(Detect, VolumeNumberFromTheName) {
  Bytes arj = ReadFixture("arj/m1-dirs.arj");
  Bytes rar = ReadFixture("rar/ss_testfile.rar3.rar");
  Bytes ace = ReadFixture("ace/onefile.ace");
  struct Case {
    const char* name;
    const Bytes& data;
    int number;
    char letter;
  } cases[] = {
      {"x.arj", arj, 1, 'a'}, {"x.a01", arj, 2, 'a'}, {"x", arj, 1, 'a'},
      {"x.rar", rar, 0, 'r'}, {"x.r00", rar, 1, 'r'}, {"x.part2.rar", rar, 0, 'r'},
      {"x.ace", ace, 0, 'C'}, {"x.c04", ace, 5, 'c'},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TArcMain a;
    a.SetArchiveFile(dir.Write(c.name, c.data));
    EXPECT_EQ(a.VolumeNumber(), c.number);
    EXPECT_EQ(a.VolumeLetter(), c.letter);
  }
  TArcMain zip;
  zip.SetArchiveFile(dir.Write("x.z01", ReadFixture("zip/stored-dirs.zip")));
  EXPECT_EQ(zip.VolumeNumber(), 0);
}

// The file's modification time becomes a local DOS date-time (the tests run with TZ=UTC).
TEST(Detect, ArchiveDateIsTheFileTime) {
  ScratchDir dir;
  std::string path = dir.Write("d.arj", ReadFixture("arj/m1-dirs.arj"));
  struct timeval tv[2] = {{1614861296, 0}, {1614861296, 0}};  // 2021-03-04 12:34:56 UTC
  ASSERT_EQ(::utimes(path.c_str(), tv), 0);
  TArcMain a;
  a.SetArchiveFile(path);
  uint32_t date = (41u << 9) | (3u << 5) | 4u, time = (12u << 11) | (34u << 5) | 28u;
  EXPECT_EQ(static_cast<uint32_t>(a.ArchiveDate()), (date << 16) | time);
}

// Assigning the type ignores the value and detects again; an empty name clears everything.
TEST(Detect, ReassigningTypeAndName) {
  ScratchDir dir;
  std::string path = dir.Write("r.zip", ReadFixture("zip/stored-dirs.zip"));
  TArcMain a;
  a.SetArchiveFile(path);
  ASSERT_EQ(a.ArcType(), atZip);
  dir.Write("r.zip", ReadFixture("arj/m1-dirs.arj"));
  a.SetArcType(atCab);
  EXPECT_EQ(a.ArcType(), atArj);
  a.SetArchiveFile("");
  EXPECT_EQ(a.ArcType(), atNA);
  EXPECT_EQ(a.ArchiveFile(), "");
}

// Disks of a ZIP archive spanned over removable media carry "PKBACK# nnn" labels.
TEST(Detect, SpannedDisks) {
  Bytes last = ReadFixture("zip-span/span.zip");    // end record and central directory only
  Bytes first = ReadFixture("zip-span/span.z01");   // starts with the spanning marker
  Bytes text = Text("neither an archive nor anything else, just text");
  Bytes centralFirst = Cat({Text("PK\1\2"), Zeros(60)});
  struct Case {
    const char* what;
    TDriveType drive;
    const char* label;
    const char* name;
    const Bytes& data;
    Result want;
  } cases[] = {
      {"last disk", dtRemovable, "PKBACK# 003", "d.zip", last, {atZipMV, 4, 0x09}},
      {"disk without end record", dtRemovable, "PKBACK# 002", "d.zip", text, {atZipMV, 1, 0}},
      {"no label", dtRemovable, "DATA", "d.zip", last, {atUnknown, 1, 0}},
      {"not named .zip", dtRemovable, "PKBACK# 003", "d.dat", last, {atUnknown, 1, 0x09}},
      {"fixed disk", dtFixed, "PKBACK# 003", "d.zip", last, {atUnknown, 1, 0x09}},
      {"first disk", dtRemovable, "PKBACK# 001", "d.zip", first, {atZipMV, 4, 0x10}},
      {"first disk, no label", dtRemovable, "DATA", "d.zip", first, {atNA, 4, 0x10}},
      {"first disk, fixed", dtFixed, "", "d.zip", first, {atZip, 4, 0x10}},
      {"central header first", dtRemovable, "PKBACK# 001", "d.zip", centralFirst, {atZipMV, 1, 0}},
      {"central header first, no label", dtRemovable, "", "d.zip", centralFirst, {atNA, 1, 0}},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeVolumeScope vol(c.drive, c.label);
    TArcMain a;
    a.SetArchiveFile(dir.Write(c.name, c.data));
    EXPECT_TRUE(Matches(a, c.want));
    if (c.want.type == atZipMV && c.want.offset == 4 && c.want.flags != 0x10) {
      EXPECT_EQ(a.Detection().ReaderStart, 4);
    }
  }
}

// The disk in a drive can change between two detections: the label is read again each time.
TEST(Detect, SwappedDiskIsReadAgain) {
  ScratchDir dir;
  std::string path = dir.Write("d.zip", ReadFixture("zip-span/span.zip"));
  FakeVolumeScope vol(dtRemovable, "DATA");
  TArcMain a;
  a.SetArchiveFile(path);
  EXPECT_EQ(a.ArcType(), atUnknown);
  vol->Info.Label = "PKBACK# 003";
  a.SetArchiveFile(path);
  EXPECT_EQ(a.ArcType(), atZipMV);
  EXPECT_EQ(a.DiskManager().DiskNumber(), 3);
}

// Detection over memory sees the same as over the file.
TEST(Detect, MemoryInputMatchesFileInput) {
  for (const char* f : {"sfx/lha255e-sfx.exe", "zip/hello.jar", "tar/volume-label.tar"}) {
    SCOPED_TRACE(f);
    Bytes b = ReadFixture(f);
    TMemoryReadAt mem(b.data(), b.size());
    TDetectOptions opt;
    opt.ZipCmntBufSize = 32000;
    TDetection d;
    DetectArcType(mem, opt, d);
    TArcMain a;
    Detect(a, std::string(QUIL_FIXTURES) + "/" + f, 32000);
    EXPECT_EQ(d.ArcType, a.ArcType() == atJar ? atZip : a.ArcType());
    EXPECT_EQ(d.ArcOffset, a.ArcOffset());
    EXPECT_EQ(d.ZipFlags, a.ZipFlags());
  }
}
