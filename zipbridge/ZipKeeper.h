// TZipKeeper: the ZIP maintenance object. Keeps a model of one ZIP file's central directory and
// runs the maintenance operations on it; adding and deleting go through libqzip.so, loaded at
// run time. Every operation catches its own failures: callers read ErrorCode / ErrorMessage and
// receive OnMessage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/ArcFile.h"
#include "zipbridge/ZipDirEntry.h"
#include "zipbridge/ZipKeeperError.h"

struct QZipCallbackRec;

namespace quil {

class TDiskManager;

// A set over a small enumeration, stored as bits in declaration order.
template <typename E>
class EnumSet {
 public:
  EnumSet() = default;
  EnumSet(std::initializer_list<E> items) {
    for (E e : items) Include(e);
  }
  bool Has(E e) const { return (FBits >> unsigned(e)) & 1u; }
  EnumSet& Include(E e) {
    FBits |= 1u << unsigned(e);
    return *this;
  }
  EnumSet& Exclude(E e) {
    FBits &= ~(1u << unsigned(e));
    return *this;
  }
  bool Empty() const { return FBits == 0; }
  uint32_t Bits() const { return FBits; }
  bool operator==(const EnumSet&) const = default;

 private:
  uint32_t FBits = 0;
};

enum TAddOpt {
  AddDirNames,
  AddRecurseDirs,
  AddMove,
  AddFreshen,
  AddUpdate,
  AddZipTime,
  AddForceDOS,
  AddHiddenFiles,
  AddArchiveOnly,
  AddResetArchive,
  AddEncrypt,
  AddSeparateDirs,
  AddDiskSpan,
  AddDiskSpanErase
};
using AddOpts = EnumSet<TAddOpt>;
enum TExtrOpt { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
using ExtrOpts = EnumSet<TExtrOpt>;
enum TSFXOpt {
  SFXAskCmdLine,
  SFXAskFiles,
  SFXAutoRun,
  SFXHideOverWriteBox,
  SFXCheckSize,
  SFXNoSuccessMsg
};
using SFXOpts = EnumSet<TSFXOpt>;
enum TAddStoreExt {
  assGIF,
  assPNG,
  assZ,
  assZIP,
  assZOO,
  assARC,
  assLZH,
  assARJ,
  assTAZ,
  assTGZ,
  assLHA,
  assEXE
};
using AddStoreExts = EnumSet<TAddStoreExt>;
enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum CodePageOpts { cpAuto, cpNone, cpOEM };
enum CodePageDirection { cpdOEM2ANSI, cpdANSI2OEM };
enum DeleteOpts { htdFinal, htdAllowUndo };
enum ProgressType {
  NewFile = 0,
  ProgressUpdate = 1,
  EndOfBatch = 2,
  TotalFiles2Process = 3,
  TotalSize2Process = 4
};
enum LocateMode { lmRaise, lmQuiet };

// The password question the program installs (the engine has no windows): shows a dialog with
// `caption` and `prompt`; returns false on Cancel.
using TPasswordDialog =
    std::function<bool(const std::string& caption, const std::string& prompt, std::string& text)>;
void SetZipPasswordDialog(TPasswordDialog dialog);

// The disk question the program installs: shows `text` with OK and Cancel (with the stop icon when
// `stopIcon`); returns true for OK. Unset means Cancel.
using TDiskQuestion = std::function<bool(const std::string& text, bool stopIcon)>;
void SetZipDiskQuestion(TDiskQuestion question);
// Lets the program's window handle pending events before a disk question; unset does nothing.
void SetZipProcessMessages(std::function<void()> hook);

class TZipKeeper {
 public:
  TZipKeeper();
  ~TZipKeeper();
  TZipKeeper(const TZipKeeper&) = delete;
  TZipKeeper& operator=(const TZipKeeper&) = delete;

  // --- directory model ---
  const std::string& ZipFileName() const { return FZipFileName; }
  void SetZipFileName(const std::string& name);  // stores the name and runs List
  void List();
  int64_t EntryTotal() const { return FZipFileName.empty() ? 0 : int64_t(FContents.size()); }
  const ZipDirList& Contents() const { return FContents; }
  const std::string& RawComment() const { return FRawComment; }
  void SetRawComment(const std::string& c) { FRawComment = c; }
  bool LocateEndRecord(LocateMode mode, uint8_t (&endRecord)[22]);
  std::string ConvertCodePage(const std::string& text, CodePageDirection direction) const;
  void RecordError(int id, const std::string& extra = "");
  // Forgets the last error (the window program clears it before rereading a directory).
  void ClearError() {
    FErrorCode = 0;
    FErrorDetail = 0;
    FErrorMessage.clear();
  }
  void ReportException(const ZipKeeperError& e);
  static std::string DiskSetNumber(int64_t n);

  // --- state ---
  int64_t FileSize() const { return FFileSize; }
  int64_t ZipEnd() const { return FZipEnd; }
  int64_t EndRecordPos() const { return FEndRecordPos; }
  int64_t CentralDirOffset() const { return FCentralDirOffset; }
  int64_t StubSize() const { return FStubSize; }
  bool OffsetMismatch() const { return FOffsetMismatch; }
  int32_t LastDisk() const { return FLastDisk; }
  bool SpannedSet() const { return FSpannedSet; }
  uint8_t HostSystem() const { return FHostSystem; }
  uint8_t SpecVersion() const { return FSpecVersion; }
  int ErrorCode() const { return FErrorCode; }
  int64_t ErrorDetail() const { return FErrorDetail; }
  const std::string& ErrorMessage() const { return FErrorMessage; }
  int32_t DoneCount() const { return FDoneCount; }
  bool WriteBusy() const { return FWriteBusy; }
  bool ExtractBusy() const { return FExtractBusy; }
  bool CancelRequest() const { return FCancelRequest; }
  void SetCancelRequest(bool v) { FCancelRequest = v; }
  const std::string& DriveRoot() const { return FDriveRoot; }
  const std::string& VolumeLabel() const { return FVolumeLabel; }
  void SetVolumeLabel(const std::string& v) { FVolumeLabel = v; }
  int64_t DiskFree() const { return FDiskFree; }
  int64_t DiskTotal() const { return FDiskTotal; }
  int32_t CurrentDisk() const { return FCurrentDisk; }
  const std::string& InFileName() const { return FInFileName; }
  void SetInFileName(const std::string& v) { FInFileName = v; }
  TArcFile& InFile() { return FInFile; }

  // --- drive and disk primitives ---
  // DriveRoot is the folder the ZIP is in; the volume that holds it is the "drive". Removable
  // media and CD-ROMs hold the disks of a set under one file name and tell them apart by their
  // "PKBACK# nnn" labels; on every other volume the disks are numbered files (name001.zip, ...).
  // True when the volume can be read (always for a network volume); 11004 when no volume holds
  // DriveRoot.
  bool ProbeDrive();
  void QueryDiskSpace(int which);  // bit 0 free, bit 1 total; -1 when the volume can't be read
  // Asks for the disk CurrentDisk on removable media (11025 when Unattended, 11007 on Cancel);
  // returns the drive type (TDriveType).
  int PromptForDisk();
  bool MatchDiskLabel(int driveType);
  void SwitchToDisk(int32_t n);

  // --- published properties ---
  bool Verbose = false;
  bool Trace = false;
  int32_t AddCompLevel = 9;
  AddOpts AddOptions;
  std::string ExtrBaseDir;
  ExtrOpts ExtrOptions;
  SFXOpts SFXOptions{SFXCheckSize};
  std::vector<std::string> FSpecArgs;
  bool Unattended = false;
  std::string Password;
  std::string SFXPath = "QuilSFX.bin";
  const std::string& DLLDirectory() const { return FDLLDirectory; }
  void SetDLLDirectory(const std::string& dir);  // a trailing '/' is removed
  OvrOpts SFXOverWriteMode = OvrConfirm;
  std::string SFXCaption = "Self-extracting Archive";
  std::string SFXDefaultDir, SFXCommandLine, SFXMessage;
  std::string TempDir;
  int32_t KeepFreeOnDisk1 = 0;
  int32_t MaxVolumeSize = 0;
  int32_t MinFreeVolumeSize = 65536;
  bool ConfirmErase = true;
  CodePageOpts CodePage = cpAuto;
  DeleteOpts HowToDelete = htdAllowUndo;
  std::string VersionInfo() const { return "1.60 K"; }
  void SetVersionInfo(const std::string&) {}
  AddStoreExts AddStoreSuffixes{assGIF, assPNG, assZ,   assZIP, assZOO, assARC,
                                assLZH, assARJ, assTAZ, assTGZ, assLHA};
  uint32_t PasswordReqCount() const { return FPasswordReqCount; }
  void SetPasswordReqCount(uint32_t v) { FPasswordReqCount = v > 15 ? 15 : v; }
  std::vector<std::string> FSpecArgsExcl;
  std::string PasswordPromptFile;
  int32_t PasswordPromptCount = 0;

  // --- events ---
  std::function<void(TZipKeeper& Sender)> OnDirUpdate;
  std::function<void(TZipKeeper& Sender, int SeqNo, const ZipDirEntry& ZipEntry)> OnNewName;
  std::function<void(TZipKeeper& Sender, ProgressType ProgrType, const std::string& Filename,
                     int64_t FileSize)>
      OnProgress;
  std::function<void(TZipKeeper& Sender, int ErrCode, const std::string& Message)> OnMessage;
  std::function<void(TZipKeeper& Sender, std::string& OldFileName, bool& IsChanged)> OnSetNewName;
  std::function<void(TZipKeeper& Sender, std::string& NewPassword, const std::string& ForFile,
                     uint32_t& RepeatCount)>
      OnPasswordError;
  std::function<void(TZipKeeper& Sender, const std::string& ForFile, uint32_t FoundCRC,
                     uint32_t ExpectedCRC, bool& DoExtract)>
      OnCRC32Error;
  std::function<void(TZipKeeper& Sender, const std::string& ForFile, bool IsOlder,
                     bool& DoOverwrite)>
      OnExtractOverwrite;
  std::function<void(TZipKeeper& Sender, const std::string& ForFile, uint8_t SkipType,
                     int ExtError)>
      OnExtractSkipped;

  // --- library operations ---
  void Add();
  void Delete();
  // Extracts (or with ExtrTest tests) the entries named by FSpecArgs into ExtrBaseDir through
  // libqunzip.so.
  void Extract();
  void LoadZipLibrary();
  void UnloadZipLibrary();
  int32_t ZipLibraryVersion();
  void LoadUnzipLibrary();
  void UnloadUnzipLibrary();
  int32_t UnzipLibraryVersion();
  std::string AskAddPassword();
  std::string AskExtractPassword();
  // The callback both libraries call (public for the libraries' trampoline).
  int32_t LibraryCallback(QZipCallbackRec& rec);

 private:
  void ListInner();
  // Reads exactly n bytes of InFile; on a short read throws `id`.
  void ReadOrThrow(void* buf, int64_t n, int id);
  // Where a library is loaded from: DLLDirectory, the program's folder, ../lib beside it, then
  // the system's search.
  std::string LibraryPath(const char* file) const;
  void LoadLibrary(bool unzip);
  void UnloadLibrary(bool unzip);
  int32_t LibraryVersion(bool unzip);
  // Joins a split set into one temporary archive; 0 on success.
  int32_t ReadSpan(const std::string& source, const std::string& dest);
  // Loads the library when needed and runs one command on `target`; -1 when the library could not
  // be loaded (nothing happened), else 0 with DoneCount set.
  int32_t RunZipCommand(bool deleteCommand, const std::string& target);
  void FinishWriteCommand();
  // Copies a finished temporary archive onto a set of disks; 0 on success.
  int32_t WriteSpan(const std::string& source, const std::string& dest);
  // The drive type of DriveRoot's volume; while it can't be read, the type it had when last read.
  int DriveTypeOfRoot();
  // QueryDiskSpace's figures from a volume already read.
  void StoreDiskSpace(const TDiskManager& disk, int which);

  std::string FZipFileName;
  ZipDirList FContents;
  std::string FRawComment;
  int64_t FFileSize = 0;
  int64_t FZipEnd = 0;
  int64_t FEndRecordPos = 0;
  int64_t FCentralDirOffset = 0;
  int64_t FStubSize = 0;
  bool FOffsetMismatch = false;
  int32_t FLastDisk = 0;
  bool FSpannedSet = false;
  bool FFirstOfSplitSet = false;
  uint8_t FHostSystem = 0;
  uint8_t FSpecVersion = 0;
  int FErrorCode = 0;
  int64_t FErrorDetail = 0;
  std::string FErrorMessage;
  int32_t FDoneCount = 0;
  bool FWriteBusy = false;
  bool FExtractBusy = false;
  bool FCancelRequest = false;
  bool FPasswordStore = false;
  std::string FDriveRoot;
  int32_t FDriveNumber = 0;
  std::string FVolumeLabel;
  std::string FVolumeRoot;  // the volume last read and its type
  int FVolumeType = 0;
  uint32_t FDiskSerial = 0;
  int64_t FDiskFree = -1;
  int64_t FDiskTotal = -1;
  int32_t FCurrentDisk = 0;
  bool FNewDiskNeeded = false;
  TArcFile FInFile;
  std::string FInFileName;
  std::string FDLLDirectory;
  uint32_t FPasswordReqCount = 1;
};

}  // namespace quil
