#include "app/EntryTable.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "app/TextHelpers.h"

namespace quil {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string LowerText(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

// Byte-wise comparison of the lower-cased texts; <0, 0, >0.
int CompareLower(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(Lower(a[i]));
    unsigned char y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::string_view ExtensionView(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

const std::array<std::string, 102>& RatioTexts() {
  static const std::array<std::string, 102> texts = [] {
    std::array<std::string, 102> t;
    for (int i = 0; i <= 100; ++i) t[i] = (i < 10 ? "0" : "") + std::to_string(i) + "%";
    t[101] = "?";
    return t;
  }();
  return texts;
}

}  // namespace

int8_t RatioCode(int64_t packed, int64_t unpacked) {
  if (unpacked < 1) return 0;
  int64_t r = RoundHalfEven((1.0 - double(packed) / double(unpacked)) * 100.0);
  if (r < 0) r = 0;
  return static_cast<int8_t>(r > 100 ? 100 : r);
}

std::string_view RatioText(int8_t code) {
  if (code < 0 || code > 100) return RatioTexts()[101];
  return RatioTexts()[size_t(code)];
}

std::string LowerExtension(std::string_view name) { return LowerText(ExtensionView(name)); }

void TEntryTable::Release() {
  Clear();
  FRows.shrink_to_fit();
  FNames.shrink_to_fit();
}

void TEntryTable::Clear() {
  FRows.clear();
  FNames.clear();
  FPaths.assign(1, std::string());
  FPathIndex.clear();
  FPathIndex.emplace(std::string(), 0);
  FLastPath = 0;
  FVolumes.assign(1, std::string());
}

uint32_t TEntryTable::InternPath(std::string_view p) {
  if (p.empty()) return 0;
  // Entries of one folder mostly follow each other: try the folder interned last first.
  if (FLastPath != 0 && FPaths[FLastPath] == p) return FLastPath;
  auto it = FPathIndex.find(std::string(p));
  if (it != FPathIndex.end()) return FLastPath = it->second;
  uint32_t id = static_cast<uint32_t>(FPaths.size());
  FPaths.emplace_back(p);
  FPathIndex.emplace(FPaths.back(), id);
  return FLastPath = id;
}

uint32_t TEntryTable::InternVolume(const std::string& v) {
  if (v.empty()) return 0;
  if (FVolumes.back() == v) return uint32_t(FVolumes.size() - 1);
  for (size_t i = 1; i < FVolumes.size(); ++i)
    if (FVolumes[i] == v) return uint32_t(i);
  FVolumes.push_back(v);
  return uint32_t(FVolumes.size() - 1);
}

TEntryRecord& TEntryTable::Append(std::string_view stored, bool downCase) {
  size_t slash = stored.rfind('/');
  std::string_view name = slash == std::string_view::npos ? stored : stored.substr(slash + 1);
  std::string_view path = slash == std::string_view::npos ? std::string_view()
                                                          : stored.substr(0, slash + 1);
  TEntryRecord& e = FRows.emplace_back();
  SetName(e, name);
  if (downCase)
    for (size_t i = e.nameAt; i < FNames.size(); ++i) FNames[i] = Lower(FNames[i]);
  e.path = downCase ? InternPath(LowerText(path)) : InternPath(path);
  return e;
}

void TEntryTable::SetName(TEntryRecord& e, std::string_view name) {
  if (name.size() > UINT32_MAX) name = name.substr(0, UINT32_MAX);
  e.nameAt = FNames.size();
  e.nameLength = static_cast<uint32_t>(name.size());
  FNames.append(name);
}

void TEntryTable::Reserve(size_t n, size_t nameBytes) {
  FRows.reserve(n);
  FNames.reserve(nameBytes);
}

void TEntryTable::DropLast() {
  if (!FRows.empty()) FRows.pop_back();
}

void TEntryTable::Sort(int order) {
  // Names are stored in archive order, so their positions break ties: the sort keeps equal keys
  // in archive order without the buffer a stable sort needs.
  auto sortBy = [&](auto less) {
    std::sort(FRows.begin(), FRows.end(), [&](const TEntryRecord& a, const TEntryRecord& b) {
      if (less(a, b)) return true;
      if (less(b, a)) return false;
      return a.nameAt < b.nameAt;
    });
  };
  switch (order) {
    case soName:
      SortByName();
      break;
    case soPath: {
      // Paths compared once per pair of pool entries: rank the pool first.
      std::vector<uint32_t> ids(FPaths.size());
      for (uint32_t i = 0; i < ids.size(); ++i) ids[i] = i;
      std::sort(ids.begin(), ids.end(), [&](uint32_t a, uint32_t b) {
        return CompareLower(FPaths[a], FPaths[b]) < 0;
      });
      std::vector<uint32_t> rank(FPaths.size());
      for (uint32_t i = 0, r = 0; i < ids.size(); ++i) {
        if (i > 0 && CompareLower(FPaths[ids[i - 1]], FPaths[ids[i]]) != 0) ++r;
        rank[ids[i]] = r;
      }
      sortBy([&](const TEntryRecord& a, const TEntryRecord& b) {
        if (rank[a.path] != rank[b.path]) return rank[a.path] < rank[b.path];
        return CompareLower(Name(a), Name(b)) < 0;
      });
      break;
    }
    case soType:
      sortBy([&](const TEntryRecord& a, const TEntryRecord& b) {
        return CompareLower(ExtensionView(Name(a)), ExtensionView(Name(b))) < 0;
      });
      break;
    case soSize:
      sortBy([](const TEntryRecord& a, const TEntryRecord& b) { return a.size > b.size; });
      break;
    case soPacked:
      sortBy([](const TEntryRecord& a, const TEntryRecord& b) { return a.packed > b.packed; });
      break;
    case soRatio:
      sortBy([](const TEntryRecord& a, const TEntryRecord& b) {
        return RatioText(b.ratio) < RatioText(a.ratio);
      });
      break;
    case soDate:
      sortBy([](const TEntryRecord& a, const TEntryRecord& b) { return a.date > b.date; });
      break;
    default:
      break;
  }
}

namespace {

// ASCII upper case to lower case in eight bytes at once; other bytes are kept.
uint64_t LowerBytes(uint64_t x) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  uint64_t low7 = x & ~kHigh;
  uint64_t aboveZ = low7 + (0x7F - 'Z') * kOnes;
  uint64_t fromA = low7 + (0x80 - 'A') * kOnes;
  uint64_t upper = ~x & (fromA ^ aboveZ) & kHigh;
  return x | (upper >> 2);
}

// Bytes [at, at + 8) of `s` as a big-endian number, folded, zero-padded past its end.
uint64_t FoldedChunk(std::string_view s, size_t at) {
  uint8_t b[8] = {};
  if (at < s.size()) std::memcpy(b, s.data() + at, std::min<size_t>(8, s.size() - at));
  uint64_t v = 0;
  for (uint8_t c : b) v = v << 8 | c;
  return LowerBytes(v);
}

}  // namespace

void TEntryTable::SortByName() {
  const size_t n = FRows.size();
  if (n < 2) return;
  // A string sort by eight-byte chunks: the rows are ordered by the folded bytes 0..7 of their
  // names, each run of rows whose chunks are equal and full by bytes 8..15, and so on. A chunk
  // knows how many of its bytes are real, so a name that ends sorts before a longer one that
  // goes on with zero bytes. Names equal to their end keep the order they were appended in.
  struct TKey {
    uint64_t bytes;
    uint32_t row;
    uint32_t count;  // real bytes in the chunk, 0..8
  };
  std::vector<TKey> keys;
  keys.reserve(n);
  for (size_t i = 0; i < n; ++i) keys.push_back({0, static_cast<uint32_t>(i), 0});
  auto fill = [&](size_t lo, size_t hi, size_t depth) {
    for (size_t i = lo; i < hi; ++i) {
      std::string_view name = Name(FRows[keys[i].row]);
      keys[i].bytes = FoldedChunk(name, depth);
      keys[i].count = uint32_t(name.size() > depth ? std::min<size_t>(8, name.size() - depth) : 0);
    }
    std::sort(keys.begin() + lo, keys.begin() + hi, [&](const TKey& a, const TKey& b) {
      if (a.bytes != b.bytes) return a.bytes < b.bytes;
      if (a.count != b.count) return a.count < b.count;
      // Full chunks are told apart further on; names that ended are equal.
      return a.count < 8 && FRows[a.row].nameAt < FRows[b.row].nameAt;
    });
  };
  struct TRange {
    size_t lo, hi, depth;
  };
  std::vector<TRange> todo{{0, n, 0}};
  while (!todo.empty()) {
    TRange r = todo.back();
    todo.pop_back();
    fill(r.lo, r.hi, r.depth);
    for (size_t i = r.lo; i < r.hi;) {
      size_t j = i + 1;
      while (j < r.hi && keys[j].bytes == keys[i].bytes && keys[j].count == keys[i].count) ++j;
      if (j - i > 1 && keys[i].count == 8) todo.push_back({i, j, r.depth + 8});
      i = j;
    }
  }
  // Rows into their places by following the permutation's cycles, without a second table.
  for (size_t i = 0; i < n; ++i) {
    if (keys[i].row == i || keys[i].row >= n) continue;
    TEntryRecord held = FRows[i];
    size_t at = i;
    while (keys[at].row != i) {
      size_t from = keys[at].row;
      FRows[at] = FRows[from];
      keys[at].row = uint32_t(n);  // placed
      at = from;
    }
    FRows[at] = held;
    keys[at].row = uint32_t(n);
  }
}

size_t TEntryTable::MemoryUsed() const {
  size_t bytes = FRows.capacity() * sizeof(TEntryRecord);
  bytes += FNames.capacity();
  for (const std::string& p : FPaths) bytes += sizeof(std::string) + p.capacity() + 1;
  bytes += FPathIndex.size() * (sizeof(std::string) + 16 + 40);
  return bytes;
}

}  // namespace quil
