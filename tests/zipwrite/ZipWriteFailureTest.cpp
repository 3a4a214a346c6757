// Real faults while an archive is rewritten: a file size limit, an input that cannot be read, a
// cancel through the callback and a process killed mid-write. Each leaves the original archive
// byte-for-byte as it was and no temporary file beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstring>

#include "ZipTestKit.h"

using namespace ziptest;

namespace {

// Incompressible bytes, quickly.
std::string Noise(size_t n, uint64_t seed) {
  std::string s(n + 8, '\0');
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (size_t i = 0; i < n; i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    std::memcpy(&s[i], &x, 8);
  }
  s.resize(n);
  return s;
}

std::vector<std::string> FolderListing(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `body` in a forked child; returns its wait status.
int InChild(const std::function<void()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int st = 0;
  ::waitpid(pid, &st, 0);
  return st;
}

enum class Fault { FileSizeLimit, InputBecomesFolder, CancelInCallback, KilledMidWrite };

}  // namespace

TEST(ZipWriteFailure, OriginalArchiveSurvivesEveryFault) {
  const Fault faults[] = {Fault::FileSizeLimit, Fault::InputBecomesFolder, Fault::CancelInCallback,
                          Fault::KilledMidWrite};
  for (bool big : {false, true}) {  // in-memory files and streamed ones
    for (Fault f : faults) {
      // Streamed files take another write path; the size limit and the kill exercise it.
      if (big && (f == Fault::InputBecomesFolder || f == Fault::CancelInCallback)) continue;
      SCOPED_TRACE(testing::Message()
                   << "fault " << int(f) << (big ? " big files" : " small files"));
      ScratchDir d;
      ASSERT_EQ(0, ::chdir(d.Path.c_str()));
      std::string zip = d / "arc.zip";
      PutFile(d / "in/first.txt", "the first file\n");
      ASSERT_EQ(Shell("zip -q -r " + Quote(zip) + " in"), 0);
      std::string original = Slurp(zip);
      size_t n = big ? 33u << 20 : 300000;  // above and below the in-memory limit
      for (int i = 0; i < (big ? 1 : 2); ++i)
        PutFile(d / ("in/f" + std::to_string(i)), Noise(n, unsigned(i)));
      auto listingBefore = FolderListing(d.Path.string());

      int status = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        if (f == Fault::FileSizeLimit) {
          struct rlimit rl = {original.size() + n / 2, original.size() + n / 2};
          ::setrlimit(RLIMIT_FSIZE, &rl);
        }
        QZip q;
        q.Zip = zip;
        q.Specs = {"in"};
        q.Recurse = true;
        q.Level = 1;
        int chunks = 0;  // one per small file, one per MiB of a streamed file
        q.OnCallback = [&](QZipCallbackRec& r) -> int32_t {
          if (f == Fault::InputBecomesFolder && r.ActionCode == QZIP_ACTION_TOTAL_FILES) {
            fs::remove(d / "in/f1");
            fs::create_directory(d / "in/f1");
          }
          if (r.ActionCode == QZIP_ACTION_BYTES_DONE) ++chunks;
          if (f == Fault::CancelInCallback && chunks == 2) return -1;
          if (f == Fault::KilledMidWrite && chunks == 3) ::raise(SIGKILL);
          return 0;
        };
        int done = q.Run();
        bool reported = !q.Messages.empty() && q.Messages.back().first != 0;
        ::_exit(done == 0 && reported ? 0 : 1);
      });
      if (f == Fault::KilledMidWrite) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      }
      EXPECT_EQ(Slurp(zip), original);
      EXPECT_EQ(FolderListing(d.Path.string()), listingBefore);
    }
  }
}

TEST(ZipWriteFailure, DamagedArchiveIsNotTouched) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  PutFile(d / "x.txt", "x");
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"not a zip", std::string(100, 'a')},
      {"end record pointing past the end",
       std::string("PK\x05\x06\0\0\0\0\x01\0\x01\0\xff\xff\0\0\0\0\0\0\0\0", 22)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PutFile(d / "bad.zip", c.bytes);
    QZip q;
    q.Zip = d / "bad.zip";
    q.Specs = {"x.txt"};
    EXPECT_EQ(q.Run(), 0);
    ASSERT_FALSE(q.Messages.empty());
    EXPECT_EQ(q.Messages.back().first, QZIP_MSG_BAD_ARCHIVE);
    EXPECT_EQ(Slurp(d / "bad.zip"), c.bytes);
  }
}
