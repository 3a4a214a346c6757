// TZipCommon: what every engine component shares beyond the data hooks: the file filter, the
// events, error reporting, progress arithmetic, output naming and files, volume requests, the
// spanned-ZIP disk requests, and the open archive file with the directory readers' positions.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ArcFile.h"
#include "engine/core/EntryInfo.h"
#include "engine/core/ReadWriteObj.h"

namespace quil {

enum TProgressNotify : uint8_t { Five, Ten, Fifteen, Twenty, TwentyFive };
enum TDateAttribute : uint8_t { daFileDate, daSysDate, daMaxFileDate };

class TZipCommon : public TReadWriteObj {
 public:
  TZipCommon();
  ~TZipCommon() override;

  // --- published ---
  const std::vector<std::string>& FileSpec() const { return FFileSpec; }
  void SetFileSpec(std::vector<std::string> specs);
  const std::vector<std::string>& ExcludeSpec() const { return FExcludeSpec; }
  void SetExcludeSpec(std::vector<std::string> specs);
  // The folder output goes to, always with a trailing '/'. Assigning "" takes the folder of
  // ArchiveFile; '\\' becomes '/'.
  const std::string& ExtractDir() const { return FExtractDir; }
  void SetExtractDir(const std::string& dir);
  TProgressNotify ProgressNotify() const { return FProgressNotify; }
  void SetProgressNotify(TProgressNotify p) { FProgressNotify = p; }
  TDateAttribute DateAttribute() const { return FDateAttribute; }
  void SetDateAttribute(TDateAttribute d) { FDateAttribute = d; }

  // --- events (Sender first) ---
  std::function<void(TArcMain* Sender, const std::string& FN, int32_t RecNum, bool& Extract)>
      OnBegin;
  std::function<void(TArcMain* Sender, const std::string& FN, bool CRC_PASS)> OnEnd;
  std::function<void(TArcMain* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive)>
      OnProgress;
  std::function<void(TArcMain* Sender, const std::string& FN, TDateTime FileDate, bool& Accept)>
      OnFileExists;
  std::function<void(TArcMain* Sender, const std::string& FN, std::string& Password,
                     bool& TryAgain)>
      OnGetPassword;
  std::function<void(TArcMain* Sender, std::string& VolumeName, const std::string& VolumeID,
                     bool FExists, bool& Cancel)>
      OnNextVolume;
  std::function<void(TArcMain* Sender, const std::string& FN, const std::string& MsgEx,
                     const std::string& VolumeID, int32_t ECode)>
      OnError;
  std::function<void(TArcMain* Sender, std::string& Filename)> OnRenameCompressedFile;
  std::function<void(TArcMain* Sender, float ElapsedTime)> OnElapsedTime;
  std::function<void(TArcMain* Sender)> OnActivate;
  std::function<void(TArcMain* Sender)> OnDeactivate;
  // Spanned ZIP disks.
  std::function<void(TArcMain* Sender, bool& Cancel)> OnGetZipFirstDisk;
  std::function<void(TArcMain* Sender, const std::string& VolumeName, bool& Cancel)>
      OnGetZipNextDisk;
  std::function<void(TArcMain* Sender, bool& Cancel)> OnGetZipLastDisk;

  // Lets the program process pending user-interface work (the engine calls it from its loops and
  // when Cancel is set). Optional.
  std::function<void()> ProcessMessages;

  // --- run-time state ---
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v);
  const std::string& FileName() const { return FEntry.FileName; }
  int32_t MaxFileDate() const { return FMaxFileDate; }  // DOS date-time
  void SetMaxFileDate(int32_t dos) { FMaxFileDate = dos; }

  // --- filter ---
  // True when `name` matches one of FileSpec (NameOnly as given) and none of ExcludeSpec.
  bool MatchesFileSpec(std::string_view name, bool nameOnly) const;

  // --- errors ---
  // Fires OnError (unless Cancel is set) and throws E_RAISE with the text of ECode.
  [[noreturn]] virtual void RaiseError(const std::string& FN, const std::string& MsgEx,
                                       const std::string& VolumeID, int32_t ECode);
  // Fires OnError with the file-name part of FN (unless Cancel is set); no exception.
  virtual void ReportError(const std::string& FN, const std::string& MsgEx,
                           const std::string& VolumeID, int32_t ECode);

  // --- progress ---
  // S, the percentage step: 5, 10, 15, 20 or 25.
  int ProgressStep() const { return FProgressNotify * 5 + 5; }
  void SetProgressSizes(int64_t entrySize, int64_t runSize);
  // Bytes left in the whole run (the extractor sets it before decoding).
  void SetRunBytesLeft(int64_t n) { FRunLeft = n; }
  int64_t RunBytesLeft() const { return FRunLeft; }
  int64_t EntryBytesLeft() const { return FEntryLeft; }
  // Counts `n` bytes as done in the entry and in the run.
  void ConsumeBytes(int64_t n) { FEntryLeft -= n; FRunLeft -= n; }
  void ReportProgress(int64_t done, int64_t total, bool stepped, int64_t runTotal);
  uint8_t FilePercent() const { return FFilePercent; }
  uint8_t ArchivePercent() const { return FArcPercent; }

  // --- output ---
  // Sets FileName to the full output path of the stored name (UTF-8, folders with '/' or '\\').
  // Drive prefixes, leading '/', "." and ".." components never leave ExtractDir.
  virtual void SetOutputName(const std::string& storedName);
  // Opens the output named `name` by output kind; false when it cannot be created.
  virtual bool OpenOutput(TArcFile& file, const std::string& name);
  // Output kind files only: stamps the date by DateAttribute, closes, then applies the attributes
  // (RestoreFileAttr): a stored Unix mode when known, else read-only removes the write bits.
  void CloseOutput(TArcFile& file, uint32_t attributes, uint32_t dosDate,
                   const std::string& name, uint32_t unixMode = 0);
  // The admission step of every extractor.
  void AdmitEntry(bool& Extract, std::string& streamName, TDateTime FileDate);
  // Copies the bytes left in the current entry (see SetProgressSizes) from `in` to `out`.
  void CopyStored(TArcFile* in, TArcFile* out, const std::string& name, bool decrypt,
                  int crcKind);
  // Name of the temporary file of the last OpenOutput with output kind 2.
  const std::string& TempOutputName() const { return FTempOutputName; }
  bool RestoreFileAttr() const { return FRestoreFileAttr; }
  void SetRestoreFileAttr(bool v) { FRestoreFileAttr = v; }

  // --- volumes ---
  virtual std::string NextVolumeName(const std::string& name, int32_t number) const;
  bool RequestNextVolume(std::string& VolumeName, int64_t VolumeID);
  bool RequestNextVolume(std::string& VolumeName, const std::string& VolumeID);
  bool OpenNextVolume(TArcFile& file, std::string& VolumeName);

  // --- spanned ZIP disks ---
  // Disk number of the current disk (from its label) and the central directory's start disk.
  int32_t CurrentDisk() const { return FCurrentDisk; }
  int32_t CentralStartDisk() const { return FCentralStartDisk; }
  // Asks for the last disk until its end record is found; sets the readers' start and ArcOffset
  // to the central directory and reopens. False when refused or impossible.
  bool RequestLastDisk();
  // Asks for the disk that begins the set; true when disk 1 is in the drive and open.
  bool RequestFirstDisk();
  // Asks for disk `n` until a disk labelled with it is in the drive; false when refused.
  bool RequestDisk(int32_t n);
  // Prepares a spanned set for extraction: fills the disk-number text and number from the label.
  bool PrepareSpannedSet(std::string& diskText, int32_t& diskNumber);
  // Closes and reopens ArchiveFile on the disk now in the drive; true when the volume could be read.
  bool Reopen();

  // --- the open archive and the readers' positions ---
  TArcFile& ArcFile() { return FArcFile; }
  int64_t ReadPos() const { return FReadPos; }
  void SetReadPos(int64_t p) { FReadPos = p; }
  int64_t StartPos() const { return FStartPos; }
  void SetStartPos(int64_t p) { FStartPos = p; }
  int64_t EndPos() const { return FEndPos; }
  void SetEndPos(int64_t p) { FEndPos = p; }

 protected:
  [[noreturn]] void RaiseReadError() override;
  void ProcessPending() {
    if (ProcessMessages) ProcessMessages();
  }
  void StartTimer();
  float StopTimer();
  // Fires the progress callback: processes pending work and fires OnProgress.
  void FireProgress();
  // Sets ArcOffset (detection state) for the spanned-set logic.
  void SetArcOffset(int64_t off) { FDetect.ArcOffset = off; }
  int32_t VolumeLabelDisk();

  std::vector<std::string> FFileSpec;
  std::vector<std::string> FExcludeSpec;
  std::string FExtractDir;
  TProgressNotify FProgressNotify = Ten;
  TDateAttribute FDateAttribute = daFileDate;
  bool FRestoreFileAttr = true;
  bool FCancel = false;
  int32_t FMaxFileDate = 0;
  bool FProgressInstalled = false;

  int64_t FEntryLeft = 0, FRunLeft = 0, FEntryStep = 0, FRunStep = 0;
  uint8_t FFilePercent = 0, FArcPercent = 0;

  std::string FTempOutputName;
  // The last output folder OpenOutput found or made safely below ExtractDir (cleared per run).
  std::string FCheckedFolder;
  TArcFile FArcFile;
  int64_t FReadPos = 0, FStartPos = 1, FEndPos = 0;
  int32_t FCurrentDisk = 0, FCentralStartDisk = 0;
  std::chrono::steady_clock::time_point FTimerStart{};
  bool FTimerRunning = false;
};

}  // namespace quil
