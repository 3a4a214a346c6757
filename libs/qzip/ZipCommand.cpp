#include "libs/qzip/ZipCommand.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <thread>
#include <unordered_map>

#include "engine/core/DateTime.h"
#include "libs/qzip/EntryCompressor.h"
#include "libs/qzip/FileCollector.h"
#include "libs/qzip/NewArchiveFile.h"
#include "libs/qzip/OldArchive.h"
#include "libs/qzip/PackPipeline.h"
#include "libs/qzip/ZipBytes.h"
#include "libs/qzip/ZipRecords.h"

namespace quil::qzip {

namespace {

// One entry of the new archive, in order: an old entry copied raw or a new file.
struct Slot {
  int Old = -1;  // index into the old entries, or -1
  int New = -1;  // index into the new files, or -1
};

struct NewFile {
  const SourceFile* Src;
  std::string Name;  // final stored name
};

bool HasSuffix(const std::string& name, const std::vector<std::string>& suffixes) {
  std::string lower = name;
  for (auto& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (auto s : suffixes) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (!s.empty() && lower.size() >= s.size() &&
        lower.compare(lower.size() - s.size(), s.size(), s) == 0) {
      return true;
    }
  }
  return false;
}

bool MatchesDeleteSpec(const std::string& name, const std::vector<std::string>& specs) {
  for (auto spec : specs) {
    std::replace(spec.begin(), spec.end(), '\\', '/');
    if (spec.empty()) continue;
    if (::fnmatch(spec.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
    if (name.back() == '/' && ::fnmatch((spec + "/").c_str(), name.c_str(), FNM_CASEFOLD) == 0)
      return true;
  }
  return false;
}

CentralEntry CopiedCentral(const OldEntry& e) {
  const uint8_t* h = reinterpret_cast<const uint8_t*>(e.Central.data());
  CentralEntry c;
  c.Name = e.RawName;
  c.MadeBy = Get16(h + 4);
  c.Needed = Get16(h + 6);
  c.Flag = Get16(h + 8);
  c.Method = Get16(h + 10);
  c.DosTime = Get32(h + 12);
  c.Crc = Get32(h + 16);
  c.CompressedSize = e.CompressedSize;
  c.UncompressedSize = e.UncompressedSize;
  c.Internal = Get16(h + 36);
  c.External = Get32(h + 38);
  c.Extra = e.Extra;
  c.Comment = e.Comment;
  return c;
}

uint32_t ExternalAttributes(const SourceFile& f) {
  uint32_t dos = 0;
  if (f.IsDir) dos |= 0x10;
  if (!(f.Mode & S_IWUSR)) dos |= 0x01;
  return (uint32_t(f.Mode & 0xFFFF) << 16) | dos;
}

mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

class Command {
 public:
  Command(const ZipOptions& o, Reporter& rep) : FO(o), FRep(rep) {}

  int Run() {
    FOld.Read(FO.ZipFileName);
    int count = FO.Delete ? PlanDelete() : PlanAdd();
    if (count == 0) {
      FRep.Message(QZIP_MSG_NOTHING_TO_DO, "Nothing to do!");
      return 0;
    }
    FRep.TotalFiles(int64_t(FNew.size()));
    int64_t bytes = 0;
    for (const auto& n : FNew) bytes += int64_t(n.Src->Size);
    FRep.TotalBytes(bytes);
    Write();
    if (FO.Move) RemoveMovedFiles();
    FRep.BatchEnd();
    return count;
  }

 private:
  int PlanDelete() {
    int n = 0;
    for (size_t i = 0; i < FOld.Entries().size(); ++i) {
      if (MatchesDeleteSpec(FOld.Entries()[i].Name, FO.Specs)) {
        ++n;
        if (FO.Verbose) FRep.Message(QZIP_MSG_INFO, "deleting: " + FOld.Entries()[i].Name);
      } else {
        FSlots.push_back({int(i), -1});
      }
    }
    return n;
  }

  int PlanAdd() {
    std::vector<std::string> missing;
    FSources = CollectFiles(FO, missing);
    // The archive never stores itself.
    struct stat self {};
    if (::stat(FO.ZipFileName.c_str(), &self) == 0) {
      std::erase_if(FSources, [&](const SourceFile& f) {
        return f.Device == self.st_dev && f.Inode == self.st_ino;
      });
    }
    for (const auto& m : missing) FRep.Message(QZIP_MSG_INFO, "name not matched: " + m);
    std::unordered_map<std::string, size_t> oldByName;
    for (size_t i = 0; i < FOld.Entries().size(); ++i) oldByName.emplace(FOld.Entries()[i].Name, i);
    std::vector<int> replacedBy(FOld.Entries().size(), -1);
    std::vector<int> appended;
    std::unordered_map<std::string, bool> taken;
    for (const auto& src : FSources) {
      std::string name = FRep.OfferName(src.StoredName);
      std::replace(name.begin(), name.end(), '\\', '/');
      while (!name.empty() && name[0] == '/') name.erase(0, 1);
      if (name.empty() || (name == "/")) continue;
      if (src.IsDir && name.back() != '/') name += '/';
      if (!taken.emplace(name, true).second) continue;
      auto it = oldByName.find(name);
      if (it != oldByName.end()) {
        if (FO.Update || FO.Freshen) {
          if (DosDateTime(src.MTime) <= FOld.Entries()[it->second].DosTime) continue;
        }
      } else if (FO.Freshen) {
        continue;
      }
      FNew.push_back({&src, name});
      int idx = int(FNew.size()) - 1;
      if (it != oldByName.end()) {
        replacedBy[it->second] = idx;
      } else {
        appended.push_back(idx);
      }
    }
    for (size_t i = 0; i < FOld.Entries().size(); ++i) {
      FSlots.push_back(replacedBy[i] >= 0 ? Slot{-1, replacedBy[i]} : Slot{int(i), -1});
    }
    for (int idx : appended) FSlots.push_back({-1, idx});
    // Number the new files in writing order: the workers compress them in that order.
    std::vector<NewFile> ordered;
    ordered.reserve(FNew.size());
    for (Slot& s : FSlots) {
      if (s.New < 0) continue;
      ordered.push_back(FNew[size_t(s.New)]);
      s.New = int(ordered.size()) - 1;
    }
    FNew = std::move(ordered);
    return int(FNew.size());
  }

  std::string Password() {
    if (!FO.Encrypt) return {};
    std::string pw = FO.Password;
    if (pw.empty()) pw = FRep.AskPassword(FNew.empty() ? "" : FNew[0].Name);
    if (pw.empty()) throw ZipAbort{QZIP_MSG_NO_PASSWORD, "No password given: nothing was added"};
    return pw;
  }

  void Write() {
    std::string password = Password();
    std::vector<PackJob> jobs(FNew.size());
    for (size_t i = 0; i < FNew.size(); ++i) {
      const SourceFile& s = *FNew[i].Src;
      PackJob& j = jobs[i];
      j.Path = s.Path;
      j.Level = HasSuffix(s.StoredName, FO.StoreSuffixes) ? 0 : std::clamp(FO.Level, 0, 9);
      j.Password = password;
      j.Streamed = s.IsDir || s.Size > kInMemoryLimit;
    }
    int threads =
        FO.Threads > 0 ? FO.Threads : int(std::max(1u, std::thread::hardware_concurrency()));
    threads = int(std::min<size_t>(size_t(threads), std::max<size_t>(1, jobs.size())));

    NewArchiveFile out(FO.ZipFileName);
    if (FOld.Exists() && FOld.PrefixLength() > 0) out.CopyFrom(FOld.Fd(), 0, FOld.PrefixLength());
    std::vector<CentralEntry> central;
    central.reserve(FSlots.size());
    {
      PackPipeline pipe(jobs, threads);
      for (const Slot& s : FSlots) {
        if (s.Old >= 0) {
          OldEntry& e = FOld.Entries()[size_t(s.Old)];
          FOld.Locate(e);
          CentralEntry c = CopiedCentral(e);
          c.Offset = out.Position();
          out.CopyFrom(FOld.Fd(), e.Offset, e.SpanLength);
          central.push_back(std::move(c));
          continue;
        }
        const NewFile& nf = FNew[size_t(s.New)];
        FRep.FileBegins(nf.Name, int64_t(nf.Src->Size));
        PackJob& job = pipe.Wait(size_t(s.New));
        if (job.Failed) throw ZipAbort{job.ErrorCode, job.ErrorText};
        central.push_back(WriteNew(nf, job, out));
        pipe.Written(size_t(s.New));
      }
    }
    uint64_t cdOffset = out.Position();
    for (const auto& c : central) out.Write(CentralHeader(c));
    uint64_t cdSize = out.Position() - cdOffset;
    std::string comment = FO.HasComment ? FO.Comment : FOld.Comment();
    if (comment.size() > 0xFFFF) comment.resize(0xFFFF);
    out.Write(EndRecords(central.size(), cdOffset, cdSize, comment));
    out.Commit(FOld.Exists() ? FOld.Mode() : NewFileMode());
    if (FO.LatestTime && !central.empty()) {
      uint32_t newest = 0;
      for (const auto& c : central) newest = std::max(newest, c.DosTime);
      struct timespec ts[2];
      ts[0].tv_sec = ts[1].tv_sec = time_t(DosToUnix(newest));
      ts[0].tv_nsec = ts[1].tv_nsec = 0;
      ::utimensat(AT_FDCWD, FO.ZipFileName.c_str(), ts, 0);
    }
  }

  CentralEntry WriteNew(const NewFile& nf, PackJob& job, NewArchiveFile& out) {
    const SourceFile& s = *nf.Src;
    CentralEntry c;
    c.Name = nf.Name;
    c.Flag = Utf8Flag(nf.Name);
    c.DosTime = DosDateTime(s.MTime);
    c.External = ExternalAttributes(s);
    c.Offset = out.Position();
    c.Extra = TimeExtra(s.MTime);
    bool encrypted = !job.Password.empty() && !s.IsDir;
    if (encrypted) c.Flag |= 1;
    if (s.IsDir) {
      c.Needed = 20;
      out.Write(LocalHeader(c, false, c.Extra));
      return c;
    }
    if (!job.Streamed) {
      c.Method = job.Packed.Method;
      c.Crc = job.Packed.Crc;
      c.UncompressedSize = job.Packed.Size;
      c.CompressedSize = job.Packed.Data.size();
      c.Needed = (c.Method == 8 || encrypted) ? 20 : 10;
      bool zip64 = c.UncompressedSize >= kMax32 || c.CompressedSize >= kMax32;
      out.Write(LocalHeader(c, zip64, c.Extra));
      out.Write(job.Packed.Data);
      FRep.BytesDone(int64_t(c.UncompressedSize));
      return c;
    }
    // Streamed: the header first with room for the sizes, patched when they are known.
    bool zip64 = s.Size >= kMax32 - (kMax32 >> 4);
    c.Method = job.Level > 0 ? 8 : 0;
    std::string header = LocalHeader(c, zip64, c.Extra);
    out.Write(header);
    StreamResult r = StreamFile(s.Path, job.Level, job.Password, out,
                                [&](uint64_t n) { FRep.BytesDone(int64_t(n)); });
    if (!zip64 && (r.Size >= kMax32 || r.CompressedSize >= kMax32)) {
      throw ZipAbort{QZIP_MSG_READ_FAILED, s.Path + " grew while it was being added"};
    }
    c.Method = r.Method;
    c.Crc = r.Crc;
    c.UncompressedSize = r.Size;
    c.CompressedSize = r.CompressedSize;
    c.Needed = (c.Method == 8 || encrypted) ? 20 : 10;
    out.PatchAt(c.Offset, LocalHeader(c, zip64, c.Extra).data(), header.size());
    return c;
  }

  void RemoveMovedFiles() {
    std::vector<std::string> dirs;
    for (const auto& n : FNew) {
      if (n.Src->IsDir) {
        dirs.push_back(n.Src->Path);
      } else {
        ::unlink(n.Src->Path.c_str());
      }
    }
    // Folders go when they became empty, the deepest first.
    std::sort(dirs.begin(), dirs.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const auto& d : dirs) ::rmdir(d.c_str());
  }

  const ZipOptions& FO;
  Reporter& FRep;
  OldArchive FOld;
  std::vector<SourceFile> FSources;
  std::vector<NewFile> FNew;
  std::vector<Slot> FSlots;
};

}  // namespace

int RunZipCommand(const ZipOptions& o, Reporter& rep) {
  try {
    Command c(o, rep);
    return c.Run();
  } catch (const ZipAbort& e) {
    rep.Message(e.Code, e.Text);
  } catch (const std::bad_alloc&) {
    rep.Message(QZIP_MSG_NO_MEMORY, "Out of memory");
  } catch (const std::exception& e) {
    rep.Message(QZIP_MSG_WRITE_FAILED, e.what());
  }
  return 0;
}

}  // namespace quil::qzip
