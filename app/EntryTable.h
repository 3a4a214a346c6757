// The main window's table of listed entries: one record per entry, filled by a listing, sorted
// in place by the user's sort order, and read by the list model when rows are painted. Plain
// C++ with no window toolkit.
//
// Numbers are kept as numbers and turned into texts only for the rows on screen; folder paths
// are kept once in a pool and shared by the entries inside them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quil {

// Ratio code of an archive that stores no packed sizes (CAB): shown as "?".
inline constexpr int8_t kRatioUnknown = -1;

// One listed entry.
struct TEntryRecord {
  uint64_t nameAt = 0;     // file name without folder (lower-cased when the setting says so),
  uint32_t nameLength = 0; //   kept in the table's name store: TEntryTable::Name
  int64_t size = 0;        // unpacked size
  int64_t packed = 0;      // packed size; meaningless when ratio is kRatioUnknown
  int32_t date = 0;        // packed DOS date-time: date in the high, time in the low 16 bits
  int32_t icon = -1;       // index into the icon list; -1 until resolved
  uint32_t path = 0;       // index into the table's path pool ("" is index 0)
  uint32_t volume = 0;     // index into the table's volume pool ("" for ZIP)
  int8_t ratio = 0;        // percent saved 0..100, or kRatioUnknown
  bool encrypted = false;
  bool selected = false;   // mirrors the list's selection (UpdateSelectionStatus)
  bool iconDone = false;
};

using TEntryRows = std::vector<TEntryRecord>;

// The ratio code of an entry: percent saved, rounded with halves to even, never below 0; 0 when
// nothing is unpacked.
int8_t RatioCode(int64_t packed, int64_t unpacked);
// "00%".."99%", "100%" or "?": two digits at least, so that ratios sort correctly as texts.
std::string_view RatioText(int8_t code);

// The eight list orders of the "Sort order" setting.
enum TSortOrder : uint8_t {
  soName = 1, soPath, soType, soSize, soPacked, soRatio, soDate, soArchive,
};

class TEntryTable {
 public:
  TEntryTable() { Clear(); }

  // Empties the table; Release also gives its memory back.
  void Clear();
  void Release();
  // Appends an entry for the stored name `stored` (folders separated by '/'): the name is split
  // at the last '/' into name and path (with its trailing '/'), both lower-cased when downCase.
  TEntryRecord& Append(std::string_view stored, bool downCase);
  // Removes the last record (never below none).
  void DropLast();

  size_t Count() const { return FRows.size(); }
  TEntryRecord& operator[](size_t i) { return FRows[i]; }
  const TEntryRecord& operator[](size_t i) const { return FRows[i]; }
  TEntryRows& Rows() { return FRows; }
  const TEntryRows& Rows() const { return FRows; }

  std::string_view Name(const TEntryRecord& e) const {
    return std::string_view(FNames).substr(e.nameAt, e.nameLength);
  }
  // Gives an entry a new name (the old text stays in the store until the next Clear).
  void SetName(TEntryRecord& e, std::string_view name);
  const std::string& Path(const TEntryRecord& e) const { return FPaths[e.path]; }
  const std::string& Volume(const TEntryRecord& e) const { return FVolumes[e.volume]; }
  uint32_t InternVolume(const std::string& v);

  // Reserves room for `n` entries whose names take about `nameBytes` in all.
  void Reserve(size_t n, size_t nameBytes);

  // Sorts in place: orders 1-7 by their keys (equal keys keep the order they were appended in,
  // which a renamed entry loses), order 8
  // and unknown orders leave the table as it is.
  void Sort(int order);

  // Bytes held by the table (records, names and pools), for measurements.
  size_t MemoryUsed() const;

 private:
  uint32_t InternPath(std::string_view p);
  void SortByName();

  TEntryRows FRows;
  std::string FNames;  // every name, one after the other
  std::vector<std::string> FPaths;
  std::unordered_map<std::string, uint32_t> FPathIndex;
  uint32_t FLastPath = 0;  // the path interned last (0: none)
  std::vector<std::string> FVolumes;
};

// Lower-cased extension of a file name from its last '.', with the dot; "" when none.
std::string LowerExtension(std::string_view name);

}  // namespace quil
