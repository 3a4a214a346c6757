// TUnZIP: the extractor of ZIP archives (plain, self-extracting, numbered split sets and sets
// spanned over removable disks), with the traditional ZIP decryption. TUnJar is the same
// extractor for Java archives.
//
// A run collects the entries that match FileSpec and ExcludeSpec from the central directory (or
// from the local headers when there is none), then extracts them in directory order. Per entry the
// events come in this order: OnFileExists, OnBegin, OnRenameCompressedFile, OnGetPassword,
// OnProgress, OnError, OnEnd. Folder entries are not extracted or counted; with UseStoredDirs
// their folders are created (nothing happens for them in test mode).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/UnBase.h"

namespace quil {

class TZipParts;
class TZipCrypto;
struct TZipEnd;

// One entry selected by the first pass.
struct TZipRecord {
  uint16_t Flag = 0;
  uint16_t Method = 0;
  int32_t Disk = 0;            // 0-based disk of the local header
  int64_t HeaderOffset = 0;    // of the local header on its disk
  int64_t PackedSize = 0;      // the encryption header included
  int64_t UnpackedSize = 0;
  uint32_t CRC = 0;
  uint32_t Attributes = 0x20;  // DOS attributes
  uint32_t UnixMode = 0;       // when made on Unix
  uint32_t DosDate = 0;
  bool Directory = false;
  std::string Name;            // stored name, UTF-8 with '/'
};

class TUnZIP : public TUnBase {
 public:
  TUnZIP();

  // Detects as every component does; the last part of a numbered split set becomes atZipMV.
  void SetArchiveFile(const std::string& name) override;

  // Fired before a run on an archive whose directory is not sound (ZIP flags lacking 0x10, 0x08 or
  // 0x01); leaving Cancel True ends the run without extracting anything.
  std::function<void(TArcMain* Sender, uint8_t HeadFlag, bool& Cancel)> OnCorruptZipHeader;

  // The password that opened the last encrypted entry of the running extraction.
  const std::string& CurrentPassword() const { return FPassword; }

  // The entries the last first pass selected, in directory order (kept until the next run).
  const std::vector<TZipRecord>& Records() const { return FRecords; }

 protected:
  void ExtractEntries() override;

 private:
  // Opens the archive's parts and finds its directory; nullptr when nothing is to be extracted.
  std::unique_ptr<TZipParts> Prepare(TZipEnd& end, bool& central);
  void CollectCentral(TZipParts& parts, const TZipEnd& end);
  void CollectLocal(TZipParts& parts);
  // Adds a matched entry; false when the scan must end (single plain name found).
  bool Select(TZipRecord&& r);
  // False when the whole run must end.
  bool ExtractOne(TZipParts& parts, const TZipRecord& r, TZipCrypto& crypto);
  bool FindPassword(const uint8_t header[12], uint16_t flag, uint16_t dosTime, uint32_t crc,
                    TZipCrypto& crypto);
  void MakeFolder(const TZipRecord& r);

  std::string FPassword;
  std::vector<TZipRecord> FRecords;
  bool FSinglePlain = false;
};

class TUnJar : public TUnZIP {};

}  // namespace quil
