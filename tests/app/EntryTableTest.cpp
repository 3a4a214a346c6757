// The entry table's name order against a plain comparison sort: case-folded byte order, names
// that are prefixes of others, zero bytes, long shared beginnings, and equal names in the order
// they were appended.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/EntryTable.h"

namespace quil {
namespace {

std::string Folded(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

TEST(EntryTable, NameOrderMatchesAPlainSort) {
  std::mt19937 rng(7);
  const std::vector<std::string> stems = {"",          "a",         "A",        "archive-",
                                          "ARCHIVE-4", "archive-40", "readme",   std::string(1, '\0'),
                                          "x\xe9",     "longsharedbeginning-of-names-"};
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) {
    std::string n = stems[rng() % stems.size()];
    int tail = int(rng() % 12);
    for (int k = 0; k < tail; ++k) n += "ab0\0Z.~"[rng() % 7];
    names.push_back(n);
  }
  names.push_back("dir/readme");  // folder parts are not part of the name
  TEntryTable table;
  for (size_t i = 0; i < names.size(); ++i) table.Append(names[i], false).size = int64_t(i);
  table.Sort(soName);

  // Expected: sorted by folded name, equal names in the order they were appended.
  std::vector<size_t> order(names.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::vector<std::string> base;
  for (const std::string& n : names)
    base.push_back(Folded(n.substr(n.rfind('/') == std::string::npos ? 0 : n.rfind('/') + 1)));
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return std::lexicographical_compare(base[a].begin(), base[a].end(), base[b].begin(),
                                        base[b].end(),
                                        [](char x, char y) { return uint8_t(x) < uint8_t(y); });
  });
  ASSERT_EQ(table.Count(), names.size());
  for (size_t i = 0; i < order.size(); ++i)
    ASSERT_EQ(table[i].size, int64_t(order[i])) << "row " << i << ": " << ::testing::PrintToString(std::string(table.Name(table[i])))
        << " where " << ::testing::PrintToString(base[order[i]]) << " belongs";
}

}  // namespace
}  // namespace quil
