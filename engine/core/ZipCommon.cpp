#include "engine/core/ZipCommon.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/core/DateTime.h"
#include "engine/core/DiskManager.h"
#include "engine/core/FileSpec.h"
#include "engine/core/Messages.h"
#include "engine/core/Names.h"
#include "engine/core/OutputPath.h"

namespace quil {

TZipCommon::TZipCommon() = default;
TZipCommon::~TZipCommon() = default;

void TZipCommon::SetFileSpec(std::vector<std::string> specs) {
  NormalizeSpecs(specs);
  FFileSpec = std::move(specs);
}

void TZipCommon::SetExcludeSpec(std::vector<std::string> specs) {
  NormalizeSpecs(specs);
  FExcludeSpec = std::move(specs);
}

void TZipCommon::SetExtractDir(const std::string& dir) {
  std::string d = dir;
  std::replace(d.begin(), d.end(), '\\', '/');
  if (d.empty()) d = outpath::FolderOf(FArchiveFile);
  if (!d.empty() && d.back() != '/') d += '/';
  FExtractDir = d;
}

void TZipCommon::SetCancel(bool v) {
  FCancel = v;
  ProcessPending();
}

bool TZipCommon::MatchesFileSpec(std::string_view name, bool nameOnly) const {
  // "*" matches every name; the common listing of everything skips the matcher.
  if (FExcludeSpec.empty())
    for (const auto& s : FFileSpec)
      if (s == "*") return true;
  return quil::MatchesFileSpec(name, nameOnly, FFileSpec, FExcludeSpec);
}

// --- errors ---

void TZipCommon::RaiseError(const std::string& FN, const std::string& MsgEx,
                            const std::string& VolumeID, int32_t ECode) {
  if (OnError && !FCancel) OnError(this, FN, MsgEx, VolumeID, ECode);
  throw E_RAISE(ECode);
}

void TZipCommon::RaiseReadError() {
  RaiseError(FVolumeName, "", "0", 25236);
  throw E_RAISE(25236);  // for an override of RaiseError that returns
}

void TZipCommon::ReportError(const std::string& FN, const std::string& MsgEx,
                             const std::string& VolumeID, int32_t ECode) {
  if (OnError && !FCancel) OnError(this, outpath::FileNamePart(FN), MsgEx, VolumeID, ECode);
}

// --- progress ---

void TZipCommon::SetProgressSizes(int64_t entrySize, int64_t runSize) {
  int s = ProgressStep();
  FEntryLeft = entrySize;
  // In 128 bits: sizes read from an archive may be anything up to the 64-bit limit.
  FEntryStep = static_cast<int64_t>(static_cast<__int128>(entrySize) * s / 100);
  FRunStep = static_cast<int64_t>(static_cast<__int128>(runSize) * s / 100);
}

void TZipCommon::FireProgress() {
  ProcessPending();
  if (OnProgress) OnProgress(this, FFilePercent, FArcPercent);
}

void TZipCommon::ReportProgress(int64_t done, int64_t total, bool stepped, int64_t runTotal) {
  // A step of 0 bytes (an entry or run smaller than 100 / S bytes) reports at every call.
  bool fileDue = !stepped || FEntryStep <= 0 || FEntryLeft % FEntryStep == 0;
  bool runDue = !stepped || FRunStep <= 0 || FRunLeft % FRunStep == 0;
  if (fileDue) FFilePercent = static_cast<uint8_t>(PercentOf(done, total));
  if (runDue) FArcPercent = static_cast<uint8_t>(PercentOf(runTotal - FRunLeft, runTotal));
  if ((fileDue || runDue) && FProgressInstalled) FireProgress();
}

void TZipCommon::StartTimer() {
  FTimerStart = std::chrono::steady_clock::now();
  FTimerRunning = true;
}

float TZipCommon::StopTimer() {
  if (!FTimerRunning) return 0;
  FTimerRunning = false;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - FTimerStart)
                .count();
  return static_cast<float>(ms) * 0.001f;
}

// --- output ---

void TZipCommon::SetOutputName(const std::string& storedName) {
  if (storedName.empty()) {
    FEntry.FileName.clear();
    return;
  }
  if (FExtractDir.empty()) SetExtractDir("");
  std::string base = FExtractDir.empty() ? std::string("./") : FExtractDir;
  base = outpath::AbsoluteFolder(base);
  std::string rel = outpath::SafeRelativePath(storedName);
  if (!FUseStoredDirs) rel = outpath::FileNamePart(rel);
  FEntry.FileName = base + rel;
}

bool TZipCommon::OpenOutput(TArcFile& file, const std::string& name) {
  switch (FOutputKind) {
    case okTest: return true;
    case okTempStream: {
      const char* tmp = std::getenv("TMPDIR");
      std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/rizXXXXXX";
      int fd = ::mkstemp(templ.data());
      if (fd < 0) return false;
      ::close(fd);
      FTempOutputName = templ;
      return file.Open(templ, TArcFile::ReadWrite);
    }
    case okFiles: break;
  }
  struct stat st;
  if (::lstat(name.c_str(), &st) == 0) {
    // Directories, links and hidden files are not overwritten.
    if (!S_ISREG(st.st_mode) || outpath::IsHiddenName(name)) return false;
    if ((st.st_mode & S_IWUSR) == 0 && ::chmod(name.c_str(), st.st_mode | S_IWUSR) != 0)
      return false;
  }
  if (!CheckDriveReady(name)) return false;
  // Create the folders below ExtractDir one by one, never following a link.
  std::string base = outpath::AbsoluteFolder(FExtractDir.empty() ? "./" : FExtractDir);
  if (name.compare(0, base.size(), base) == 0) {
    // Entries of one folder follow each other: its chain is checked once per run of them.
    std::string folder = outpath::FolderOf(name);
    if (folder != FCheckedFolder) {
      FCheckedFolder.clear();
      if (!outpath::CreateOutputFolders(base, name)) return false;
      FCheckedFolder = std::move(folder);
    }
  } else {
    // A name the program chose itself (OnRenameCompressedFile): its folders as they are.
    std::error_code ec;
    std::string folder = outpath::FolderOf(name);
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  }
  return file.Open(name, TArcFile::CreateWrite, /*noFollow=*/true);
}

void TZipCommon::CloseOutput(TArcFile& file, uint32_t attributes, uint32_t dosDate,
                             const std::string& name, uint32_t unixMode) {
  if (FOutputKind != okFiles) return;
  bool ok = file.Close();
  (void)ok;
  int64_t when;
  switch (FDateAttribute) {
    case daSysDate: when = -1; break;
    case daMaxFileDate: when = DosToUnix(static_cast<uint32_t>(FMaxFileDate)); break;
    default: when = DosToUnix(dosDate); break;
  }
  struct timespec ts[2];
  if (when < 0) {
    ts[0].tv_nsec = ts[1].tv_nsec = UTIME_NOW;
    ts[0].tv_sec = ts[1].tv_sec = 0;
  } else {
    ts[0].tv_sec = ts[1].tv_sec = static_cast<time_t>(when);
    ts[0].tv_nsec = ts[1].tv_nsec = 0;
  }
  ::utimensat(AT_FDCWD, name.c_str(), ts, AT_SYMLINK_NOFOLLOW);  // failure ignored
  if (!FRestoreFileAttr || attributes == 0x20) return;
  struct stat st;
  if (::lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  mode_t mode = st.st_mode & 07777;
  if (unixMode & 0777) mode = unixMode & 0777;  // no set-id or sticky bits from an archive
  if (attributes & 0x01) mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  ::chmod(name.c_str(), mode);
}

void TZipCommon::AdmitEntry(bool& Extract, std::string& streamName, TDateTime FileDate) {
  Extract = true;
  if (FOutputKind == okFiles && OnFileExists) {
    struct stat st;
    if (::lstat(FEntry.FileName.c_str(), &st) == 0) OnFileExists(this, FEntry.FileName, FileDate, Extract);
  }
  if (!Extract) return;
  ++FFileCount;
  std::string n = FOutputKind == okFiles ? FEntry.FileName : streamName;
  if (OnBegin) OnBegin(this, n, FFileCount, Extract);
  if (Extract && FOutputKind == okFiles && OnRenameCompressedFile) OnRenameCompressedFile(this, n);
  if (Extract) {
    if (FOutputKind == okFiles)
      FEntry.FileName = n;
    else
      streamName = n;
  }
}

void TZipCommon::CopyStored(TArcFile* in, TArcFile* out, const std::string& name, bool decrypt,
                            int crcKind) {
  (void)name;
  const int64_t entrySize = FEntryLeft;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(FEntryLeft, 0), 32768)) + 1);
  bool arj = ArcType() == atArj || ArcType() == atArjExe;
  bool zipFamily = UsesZipCipher(ArcType());
  while (FEntryLeft > 0) {
    int64_t n = std::min<int64_t>(FEntryLeft, 32768);
    int64_t got = ReadHook(in, in, n, CrcKindNone, arj && decrypt, buf.data());
    if (got <= 0) break;
    ConsumeBytes(got);
    WriteHook(out, out, 1, got, crcKind, zipFamily && decrypt, buf.data());
    ReportProgress(entrySize - FEntryLeft, entrySize, false, FTotalUnpackedSize);
    if (FCancel) break;
  }
}

// --- volumes ---

std::string TZipCommon::NextVolumeName(const std::string& name, int32_t number) const {
  if (name.empty() || number < 0) return {};
  std::string folder = outpath::FolderOf(name);
  std::string file = outpath::FileNamePart(name);
  std::string stem = file.substr(0, NameStemLength(file));
  std::string suffix;
  char letter = FDetect.VolumeLetter ? FDetect.VolumeLetter : 'a';
  if (number <= 9)
    suffix = std::string(".") + letter + "0" + std::to_string(number);
  else if (FDetect.VolumeNumber >= 100)
    suffix = "." + std::to_string(number);
  else
    suffix = std::string(".") + letter + std::to_string(number);
  return folder + stem + suffix;
}

bool TZipCommon::RequestNextVolume(std::string& VolumeName, int64_t VolumeID) {
  if (VolumeID > 999) {
    ReportError(VolumeName, "", std::to_string(VolumeID), 25250);
    return false;
  }
  return RequestNextVolume(VolumeName, std::to_string(VolumeID));
}

bool TZipCommon::RequestNextVolume(std::string& VolumeName, const std::string& VolumeID) {
  if (VolumeName.empty()) {
    ReportError(VolumeName, "", VolumeID, 25243);
    return false;
  }
  if (!OnNextVolume) {
    FReadPos = FEndPos;
    return false;
  }
  if (VolumeName.find('/') == std::string::npos) {
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    VolumeName = (cwd.empty() ? std::string(".") : cwd) + "/" + VolumeName;
  }
  // Ask until the volume is there or the handler cancels. Whether it exists is looked up again
  // after every answer: the handler may name another file, or the user may have inserted the disk.
  struct stat st;
  bool exists = ::stat(VolumeName.c_str(), &st) == 0;
  for (;;) {
    bool cancel = true;
    OnNextVolume(this, VolumeName, VolumeID, exists, cancel);
    if (cancel) return false;
    if (exists) break;
    exists = ::stat(VolumeName.c_str(), &st) == 0;
    if (exists) break;
  }
  ++FDetect.VolumeNumber;
  return true;
}

bool TZipCommon::OpenNextVolume(TArcFile& file, std::string& VolumeName) {
  if (!OnNextVolume) return false;
  int32_t number = FDetect.VolumeNumber;
  VolumeName = NextVolumeName(VolumeName, number);
  if (!RequestNextVolume(VolumeName, static_cast<int64_t>(number))) return false;
  std::string id = std::to_string(number);
  if (!file.Close()) RaiseError(VolumeName, "", id, 25137);
  if (!file.Open(VolumeName, TArcFile::ReadOnly)) {
    file.Open(FArchiveFile, TArcFile::ReadOnly);
    RaiseError(VolumeName, "", id, 25236);
  }
  FDetect.ArchiveSize = file.Size();
  return true;
}

}  // namespace quil
