#include "libs/qunzip/UnzipCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/core/Charsets.h"
#include "engine/core/DateTime.h"
#include "engine/core/FileSpec.h"
#include "engine/core/OutputPath.h"
#include "engine/decode/ExpandZipData.h"
#include "libs/qunzip/EntryStreams.h"
#include "libs/qzip/OldArchive.h"
#include "libs/qzip/ZipBytes.h"

namespace quil::qunzip {

namespace {

using qzip::OldEntry;
using qzip::Reporter;
using qzip::ZipAbort;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagStrongCipher = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint8_t kHostUnix = 3;

// Thrown inside one entry: it is skipped with this reason and message.
struct EntrySkip {
  int Reason;
  std::string Text;
};

bool MatchesSpecs(const std::string& name, const std::vector<std::string>& specs) {
  if (specs.empty()) return true;
  std::string bare = name;
  if (!bare.empty() && bare.back() == '/') bare.pop_back();
  for (std::string spec : specs) {
    std::replace(spec.begin(), spec.end(), '\\', '/');
    if (spec.empty()) continue;
    if (MatchSpec(spec, bare, false)) return true;
    // A pattern without folders also picks entries by their name alone.
    if (spec.find('/') == std::string::npos && MatchSpec(spec, bare, true)) return true;
  }
  return false;
}

std::string CurrentFolder() {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) throw ZipAbort{QZIP_MSG_CREATE_FAILED, "No current folder"};
    buf.resize(buf.size() * 2);
  }
  std::string s(buf.data());
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

// A file being written: a temporary name beside the target, renamed over it when complete and
// removed otherwise, so an existing file is only replaced by a finished one.
class PendingFile {
 public:
  explicit PendingFile(const std::string& target) : FTarget(target) {
    FTemp = outpath::FolderOf(target) + ".quil-XXXXXX";
    FFd = ::mkostemp(FTemp.data(), O_CLOEXEC);
    if (FFd < 0) throw EntrySkip{QZIP_SKIP_CREATE_FAILED, "cannot create " + target};
  }
  ~PendingFile() {
    if (FFd >= 0) ::close(FFd);
    if (!FKept) ::unlink(FTemp.c_str());
  }
  int Fd() const { return FFd; }
  // Sets mode and time and puts the file in place.
  bool Keep(mode_t mode, int64_t mtime) {
    ::fchmod(FFd, mode);
    struct timespec ts[2];
    ts[0].tv_sec = ts[1].tv_sec = time_t(mtime);
    ts[0].tv_nsec = ts[1].tv_nsec = 0;
    ::futimens(FFd, ts);
    bool ok = ::close(FFd) == 0;
    FFd = -1;
    if (!ok || ::rename(FTemp.c_str(), FTarget.c_str()) != 0) return false;
    FKept = true;
    return true;
  }

 private:
  std::string FTarget, FTemp;
  int FFd = -1;
  bool FKept = false;
};

class UnzipRun {
 public:
  UnzipRun(const UnzipOptions& o, Reporter& rep)
      : FO(o), FRep(rep), FRequestsLeft(std::clamp(o.PasswordRequests, 0, 15)) {
    if (!o.Password.empty()) FPasswords.push_back(o.Password);
  }

  int32_t Run() {
    FArc.Read(FO.ZipFileName);
    if (!FArc.Exists()) throw ZipAbort{QZIP_MSG_READ_FAILED, "Cannot open " + FO.ZipFileName};
    if (!FO.Test) FBase = CurrentFolder();
    std::vector<OldEntry*> chosen;
    int64_t bytes = 0;
    for (OldEntry& e : FArc.Entries()) {
      if (!MatchesSpecs(NameOf(e), FO.Specs)) continue;
      chosen.push_back(&e);
      bytes += int64_t(e.UncompressedSize);
    }
    if (chosen.empty()) {
      FRep.Message(QZIP_MSG_NOTHING_TO_DO, "No entries match");
      return 0;
    }
    FRep.TotalFiles(int64_t(chosen.size()));
    FRep.TotalBytes(bytes);
    int32_t done = 0;
    for (OldEntry* e : chosen) {
      std::string name = NameOf(*e);
      try {
        if (Entry(*e, name)) ++done;
      } catch (const EntrySkip& s) {
        FRep.Skipped(name, s.Reason, QZIP_MSG_ENTRY_FAILED);
        if (!s.Text.empty()) FRep.Message(QZIP_MSG_ENTRY_FAILED, name + ": " + s.Text);
      } catch (const ZipAbort& a) {
        if (a.Code == QZIP_MSG_ABORTED) throw;
        FRep.Skipped(name, QZIP_SKIP_DAMAGED, a.Code);
        FRep.Message(a.Code, a.Text);
      }
    }
    FRep.BatchEnd();
    return done;
  }

 private:
  static std::string NameOf(const OldEntry& e) {
    return StoredNameToUtf8(e.RawName, (e.Flag & kFlagUtf8) != 0);
  }

  // One entry; true when it was extracted (or tested) without fault.
  bool Entry(OldEntry& e, const std::string& name) {
    const bool isDir = !name.empty() && name.back() == '/';
    FRep.FileBegins(name, int64_t(e.UncompressedSize));
    if (FO.Test) return isDir ? false : Decode(e, name, nullptr);
    std::string rel = outpath::SafeRelativePath(name);
    if (isDir) {
      if (FO.FolderNames && !rel.empty()) outpath::CreateOutputFolders(FBase, FBase + rel + "/");
      return false;
    }
    if (!FO.FolderNames) rel = outpath::FileNamePart(rel);
    if (rel.empty()) throw EntrySkip{QZIP_SKIP_UNSAFE_NAME, "the name leads outside the folder"};
    const std::string target = FBase + rel;
    const int64_t entryTime = DosToUnix(uint32_t(qzip::Get32(
        reinterpret_cast<const uint8_t*>(e.Central.data()) + 12)));
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode)) throw EntrySkip{QZIP_SKIP_CREATE_FAILED, "not a plain file"};
      const bool older = int64_t(st.st_mtime) < entryTime;
      if (FO.Update || FO.Freshen) {
        if (!older) {
          FRep.Skipped(name, QZIP_SKIP_NOT_NEWER, 0);
          return false;
        }
      } else if (!FO.Overwrite && !FRep.ConfirmOverwrite(name, older)) {
        FRep.Skipped(name, QZIP_SKIP_EXISTS, 0);
        return false;
      }
    } else if (FO.Freshen) {
      return false;  // freshen only replaces files that exist
    }
    if (!outpath::CreateOutputFolders(FBase, target))
      throw EntrySkip{QZIP_SKIP_CREATE_FAILED, "cannot create the folder of " + rel};
    PendingFile out(target);
    if (!Decode(e, name, &out)) return false;
    if (!out.Keep(ModeOf(e), entryTime))
      throw EntrySkip{QZIP_SKIP_CREATE_FAILED, "cannot write " + rel};
    return FLastCrcGood;
  }

  static mode_t ModeOf(const OldEntry& e) {
    const uint8_t* h = reinterpret_cast<const uint8_t*>(e.Central.data());
    const uint32_t ext = qzip::Get32(h + 38);
    mode_t mode = 0666;
    if (h[5] == kHostUnix && (ext >> 16) != 0) mode = mode_t((ext >> 16) & 0777) | 0600;
    if (ext & 1) mode &= ~mode_t(0222);  // read-only
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mode & ~mask;
  }

  // Finds a password whose check byte fits the entry's encryption header; asks the callback
  // while it allows. Returns the cipher positioned after the header.
  std::unique_ptr<qzip::TraditionalCipher> OpenCipher(const OldEntry& e, const std::string& name,
                                                      const uint8_t (&header)[12]) {
    const uint8_t* h = reinterpret_cast<const uint8_t*>(e.Central.data());
    const uint8_t check = (e.Flag & kFlagDescriptor) ? h[13] : h[19];  // time or CRC high byte
    auto fits = [&](const std::string& pw) -> std::unique_ptr<qzip::TraditionalCipher> {
      auto c = std::make_unique<qzip::TraditionalCipher>(pw);
      uint8_t copy[12];
      std::memcpy(copy, header, 12);
      c->Decrypt(copy, 12);
      return copy[11] == check ? std::move(c) : nullptr;
    };
    for (const std::string& pw : FPasswords)
      if (auto c = fits(pw)) return c;
    bool tried = !FPasswords.empty();
    while (FRequestsLeft > 0) {
      int32_t repeat = FRequestsLeft;
      std::string pw = FRep.AskExtractPassword(name, repeat);
      if (pw.empty()) {
        FRequestsLeft = 0;
        break;
      }
      FRequestsLeft = std::min(FRequestsLeft - 1, repeat);
      tried = true;
      if (std::find(FPasswords.begin(), FPasswords.end(), pw) != FPasswords.end()) continue;
      FPasswords.insert(FPasswords.begin(), pw);
      if (auto c = fits(pw)) return c;
    }
    FRep.Skipped(name, tried ? QZIP_SKIP_BAD_PASSWORD : QZIP_SKIP_NO_PASSWORD, QZIP_MSG_NO_PASSWORD);
    return nullptr;
  }

  // Decodes the entry into `out` (nullptr: only checks it). True when the data is whole and its
  // CRC matches; a CRC mismatch asks the callback whether the file stays.
  bool Decode(OldEntry& e, const std::string& name, PendingFile* out) {
    FLastCrcGood = false;
    const uint8_t* h = reinterpret_cast<const uint8_t*>(e.Central.data());
    const uint16_t method = qzip::Get16(h + 10);
    const uint32_t crc = qzip::Get32(h + 16);
    if ((e.Flag & kFlagStrongCipher) || ((e.Flag & kFlagEncrypted) && method == 99))
      throw EntrySkip{QZIP_SKIP_UNSUPPORTED, "this kind of encryption is not supported"};
    FArc.Locate(e);  // local header, data and descriptor lie inside the file
    uint8_t local[30];
    ReadAt(e.Offset, local, sizeof local);
    uint64_t data = e.Offset + 30 + qzip::Get16(local + 26) + qzip::Get16(local + 28);
    uint64_t packed = e.CompressedSize;
    std::unique_ptr<qzip::TraditionalCipher> cipher;
    if (e.Flag & kFlagEncrypted) {
      uint8_t header[12];
      if (packed < 12) throw EntrySkip{QZIP_SKIP_DAMAGED, "encryption header missing"};
      ReadAt(data, header, 12);
      cipher = OpenCipher(e, name, header);  // has read the header
      if (!cipher) return false;
      data += 12;
      packed -= 12;
    }
    ArchiveSource source(FArc.Fd(), data, packed, cipher.get());
    CheckedSink sink(out ? out->Fd() : -1);
    bool stop = false;
    TDecodeControl control;
    control.Cancelled = [&] { return stop; };
    int64_t reported = 0;
    control.OnProgress = [&](int64_t, int64_t written) {
      if (written < 0 || stop) return;
      try {
        FRep.BytesDone(written - reported);
      } catch (const ZipAbort&) {
        stop = true;
      }
      reported = written;
    };
    TZipDecodeEntry entry;
    entry.Flag = e.Flag;
    entry.Method = method;
    entry.PackedSize = int64_t(e.CompressedSize);
    entry.UnpackedSize = int64_t(e.UncompressedSize);
    TExpandResult r = ExpandZipData(entry, source, sink, control);
    if (stop) throw ZipAbort{QZIP_MSG_ABORTED, "Operation cancelled"};
    if (r.Written > reported) FRep.BytesDone(r.Written - reported);
    if (!r.Ok()) {
      if (sink.WriteFailed()) throw EntrySkip{QZIP_SKIP_CREATE_FAILED, "cannot write the file"};
      const int reason = r.Code == kMsgUnsupportedMethod ? QZIP_SKIP_UNSUPPORTED : QZIP_SKIP_DAMAGED;
      throw EntrySkip{reason, r.Message};
    }
    if (uint64_t(r.Written) != e.UncompressedSize)
      throw EntrySkip{QZIP_SKIP_DAMAGED, "the data is shorter than its declared size"};
    if (sink.Crc() == crc) {
      FLastCrcGood = true;
      return true;
    }
    char text[96];
    std::snprintf(text, sizeof text, ": CRC error (found %08x, expected %08x)", sink.Crc(), crc);
    FRep.Message(QZIP_MSG_CRC_ERROR, name + text);
    // The decoded data stays unless the caller says to discard it.
    return FRep.CrcError(name, sink.Crc(), crc) != 0 && out != nullptr;
  }

  void ReadAt(uint64_t pos, void* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(FArc.Fd(), static_cast<char*>(buf) + done, n - done, off_t(pos + done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) throw EntrySkip{QZIP_SKIP_DAMAGED, "cannot read the entry"};
      done += size_t(r);
    }
  }

  const UnzipOptions& FO;
  Reporter& FRep;
  qzip::OldArchive FArc;
  std::string FBase;
  std::vector<std::string> FPasswords;  // tried in this order; answers go first
  int32_t FRequestsLeft;
  bool FLastCrcGood = false;
};

}  // namespace

int32_t RunUnzipCommand(const UnzipOptions& options, Reporter& reporter) {
  try {
    UnzipRun run(options, reporter);
    return run.Run();
  } catch (const ZipAbort& a) {
    reporter.Message(a.Code, a.Text);
  } catch (const std::bad_alloc&) {
    reporter.Message(QZIP_MSG_NO_MEMORY, "Out of memory");
  }
  return 0;
}

}  // namespace quil::qunzip
