// Every fixture of the other formats lists exactly the entries its expect file names, with the
// expect file's sizes, CRCs and methods (where the format stores them), volumes followed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "engine/core/DateTime.h"
#include "list/ListHarness.h"
#include "support/ExpectFile.h"

using namespace quil;
using namespace quil::test;
namespace fs = std::filesystem;

namespace {

std::string Fixture(const std::string& rel) { return std::string(QUIL_FIXTURES) + "/" + rel; }

// The method column of the expect files, from what the lister reports.
using TMethodText = std::function<std::string(const TListed&)>;

std::string Number(const TListed& e) { return std::to_string(e.Method); }
std::string Hex(const TListed& e) {
  char b[8];
  std::snprintf(b, sizeof b, "0x%02x", e.Method);
  return b;
}

struct TFamily {
  const char* Dir;
  TMethodText Method;   // nullptr: the expect file's method column is not compared
  bool Crc = true;      // the format stores a CRC
};

// Runs the lister with volumes next to the first accepted.
TListRun ListWithVolumes(const std::string& path) {
  return ListArchive(path, [](TZuvOD& z) {
    z.SetShowBlankDirs(true);
    z.OnNextVolume = [](TArcMain*, std::string&, const std::string&, bool exists, bool& cancel) {
      cancel = !exists;
    };
  });
}

void CompareWithExpect(const std::string& path, const TMethodText& method, bool crc) {
  SCOPED_TRACE(path);
  bool ok = false;
  auto expect = ReadExpectFile(path + ".expect.tsv", &ok);
  ASSERT_TRUE(ok);
  // Volume labels are not entries.
  expect.erase(std::remove_if(expect.begin(), expect.end(),
                              [](const TExpectEntry& e) { return e.Method == "V"; }),
               expect.end());
  TListRun r = ListWithVolumes(path);
  EXPECT_TRUE(r.Ok);
  EXPECT_TRUE(r.Errors.empty());
  ASSERT_EQ(r.Entries.size(), expect.size());
  int files = 0;
  for (size_t i = 0; i < expect.size(); ++i) {
    const TExpectEntry& x = expect[i];
    const TListed& e = r.Entries[i];
    EXPECT_EQ(e.Name, x.Name);
    EXPECT_EQ(static_cast<uint64_t>(e.Size), x.Size) << x.Name;
    // An empty or zero CRC column: a folder, or a file split over volumes.
    if (crc && x.Crc != 0 && !x.IsDir()) {
      EXPECT_EQ(e.Crc, x.Crc) << x.Name;
    }
    if (method && !x.IsDir()) {
      EXPECT_EQ(method(e), x.Method) << x.Name;
    }
    if (!x.IsDir()) ++files;
    EXPECT_EQ(e.Filenum, files) << x.Name;
  }
  EXPECT_EQ(r.Totals, files);
}

std::vector<std::string> Openers(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(Fixture(dir))) {
    std::string p = e.path().string();
    if (fs::exists(p + ".expect.tsv")) out.push_back(p);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(ReaderFixtures, ListTheExpectedEntries) {
  const std::vector<TFamily> families = {
      {"ace", nullptr},  // "<technique>:<quality>"; the quality is checked below
      {"arc", Number},
      {"arj", Number},
      {"cab",
       [](const TListed& e) {
         static const char* const kNames[] = {"None", "MSZip", "Quantum", "LZX"};
         std::string m = (e.Method & 0x0F) < 4 ? kNames[e.Method & 0x0F] : "?";
         if ((e.Method & 0x0F) >= 2) m += ":" + std::to_string((e.Method >> 8) & 0x1F);
         return m;
       },
       false},
      {"ha", nullptr},
      {"lha",
       [](const TListed& e) { return std::string("-lh") + static_cast<char>(e.Method) + "-"; }},
      {"msgz", nullptr, false},
      {"rar", Hex},
      {"tar", nullptr, false},
      {"zoo", Number},
  };
  for (const TFamily& f : families) {
    for (const std::string& path : Openers(f.Dir)) {
      TMethodText method = f.Method;
      // The newer RAR format: "m<N>" in the expect files, '0' + N in the lister.
      if (path.find("rar5") != std::string::npos || path.find("Rar5") != std::string::npos) {
        method = [](const TListed& e) { return "m" + std::to_string(e.Method - '0'); };
      }
      CompareWithExpect(path, method, f.Crc);
    }
  }
}

TEST(ReaderFixtures, AceQualityIsTheMethod) {
  TListRun r = ListWithVolumes(Fixture("ace/onefile.ace"));
  ASSERT_EQ(r.Entries.size(), 1u);
  EXPECT_EQ(r.Entries[0].Method, 3);  // "1:3": LZ77 at quality 3
}

TEST(ReaderFixtures, SelfExtractingArjAndLha) {
  CompareWithExpect(Fixture("sfx/arj-mzstub.exe"), Number, true);
  CompareWithExpect(Fixture("sfx/lha255e-sfx.exe"), [](const TListed& e) {
    return std::string("-lh") + static_cast<char>(e.Method) + "-";
  }, true);
}

TEST(ReaderFixtures, SingleFileFormatsListOneEntry) {
  // gzip stores name, size and CRC; compress stores none of them, so the name comes from the
  // archive's own name and the size stays 0 rather than made up.
  struct TCase {
    const char* Rel;
    const char* Name;
    int64_t Size;
    uint32_t Crc;
  };
  const TCase cases[] = {
      {"gzip/named.gz", "table.csv", 5510, 0x3aaac893},
      {"gzip/noname.gz", "noname", 12000, 0x3cf6831d},
      {"gzip/comment.gz", "notes.txt", 1620, 0x601a30fb},
      // Several members: the last member's trailer, as gzip -l reports it.
      {"gzip/multimember.gz", "readme.txt", 1620, 0x601a30fb},
      {"gzip/tree.tgz", "tree.tar", 30720, 0},
      {"compress/text-b16.Z", "text-b16", 0, 0},
      {"compress/tree.tar.Z", "tree.tar", 0, 0},
      {"uue/readme.uue", "readme.txt", 12000, 0},
      {"uue/data.xxe", "data.bin", 3000, 0},
      // The first of four parts: what this part decodes to.
      {"uue/multi-part.001", "chapter.txt", 9000, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Rel);
    TListRun r = ListArchive(Fixture(c.Rel));
    EXPECT_TRUE(r.Ok);
    EXPECT_TRUE(r.Errors.empty());
    ASSERT_EQ(r.Entries.size(), 1u);
    EXPECT_EQ(r.Entries[0].Name, c.Name);
    EXPECT_EQ(r.Entries[0].Size, c.Size);
    if (c.Crc) {
      EXPECT_EQ(r.Entries[0].Crc, c.Crc);
    }
    EXPECT_EQ(r.Entries[0].Filenum, 1);
    EXPECT_EQ(r.Totals, 1);
  }
  // The packed size is the compressed data alone: without the 10-byte header and the trailer.
  TListRun tgz = ListArchive(Fixture("gzip/tree.tgz"));
  const auto tgzSize = static_cast<int64_t>(fs::file_size(Fixture("gzip/tree.tgz")));
  EXPECT_EQ(tgz.Entries[0].Packed, tgzSize - 18);
}

TEST(ReaderFixtures, DamagedArchivesNeverListMoreThanTheyHold) {
  // Name, whether the listing ends with 25108, and the names listed.
  struct TCase {
    const char* Rel;
    bool BadHeader;
    std::vector<std::string> Names;
  };
  const std::vector<TCase> cases = {
      {"bad/ace-dirtraversal1.ace", true, {}},  // file header without its packed size
      {"bad/ace-out_of_bounds.ace", true, {}},
      {"bad/arj-crc-error.arj", false, {"readme.txt", "sub/notes.txt"}},
      {"bad/cab-cve-2015-4471-lzx-under-read.cab", false, {}},
      {"bad/lha-dotdot.lzh", false, {"../evil1.txt", "foo/../../evil2.txt"}},  // shown as stored
      {"bad/lha-truncated.lzh", false, {"GPL-2"}},
      {"bad/rar-invalid1.rar", false, {"test"}},  // as unar and bsdtar list it
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Rel);
    TListRun r = ListArchive(Fixture(c.Rel));
    std::vector<std::string> names;
    for (const auto& e : r.Entries) names.push_back(e.Name);
    EXPECT_EQ(names, c.Names);
    EXPECT_EQ(std::count(r.Errors.begin(), r.Errors.end(), 25108) > 0, c.BadHeader);
    EXPECT_TRUE(r.Deactivated);
  }
}

TEST(ReaderFixtures, TimeStampsInEachFormatsOwnEncoding) {
  // The fixtures' files were stamped 2021-03-04 05:06:08 UTC (the tests run with TZ=UTC): DOS
  // date-times (ARC, ZOO, LHA level 0, CAB) and Unix seconds (HA, LHA level 2, gzip, and ARJ
  // from a Unix host).
  const char* const cases[] = {"arc/methods.arc", "zoo/lzh.zoo",          "ha/hsc.ha",
                               "lha/jlha-h0-lh5-dirs.lzh", "lha/jlha-h2-lh7-dirs.lzh",
                               "arj/garbled.arj", "gzip/named.gz", "cab/gcab-mszip.cab"};
  for (const char* rel : cases) {
    SCOPED_TRACE(rel);
    TZuvOD z;
    z.SetArchiveFile(Fixture(rel));
    z.SetFileSpec({"*"});
    TDateTime first = 0;
    z.OnRead = [&](TArcMain*, int64_t, int32_t) {
      if (first == 0) first = z.Entry().FileDate;
    };
    ASSERT_TRUE(z.Activate());
    TDateTimeParts p = DecodeDateTime(first);
    EXPECT_EQ(std::vector<int>({p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second}),
              std::vector<int>({2021, 3, 4, 5, 6, 8}));
  }
  // A RAR5 set whose times sit in the extended time record.
  TZuvOD z;
  z.SetArchiveFile(Fixture("rar/sc_Rar5.multi.part01.rar"));
  z.SetFileSpec({"*"});
  std::vector<int> years;
  z.OnRead = [&](TArcMain*, int64_t, int32_t) {
    years.push_back(DecodeDateTime(z.Entry().FileDate).Year);
  };
  z.OnNextVolume = [](TArcMain*, std::string&, const std::string&, bool exists, bool& cancel) {
    cancel = !exists;
  };
  ASSERT_TRUE(z.Activate());
  EXPECT_EQ(years, (std::vector<int>{2002, 2011, 2011}));
}
