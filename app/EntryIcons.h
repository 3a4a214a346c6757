// Icons of the listed entries: one per extension from the desktop's icon theme (through the MIME
// database, looked up once per distinct extension), the special icons for installers, read-me
// files and programs, and the two sort arrows of the list header.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <QIcon>
#include <QString>
#include <vector>

namespace quil {

class TEntryIcons {
 public:
  TEntryIcons();

  // Index of the icon for an entry named `name` (without folder).
  int IconFor(std::string_view name);
  const QIcon& Icon(int index) const;
  int Count() const { return int(FIcons.size()); }

  const QIcon& UpArrow() const { return FUp; }
  const QIcon& DownArrow() const { return FDown; }

  // Special icon indexes.
  static constexpr int kInstall = 0, kReadme = 1, kProgram = 2, kFile = 3;

 private:
  int Add(const QIcon& icon);

  std::vector<QIcon> FIcons;
  std::unordered_map<std::string, int> FByExtension;  // lower-cased extension, dot included
  std::string FLastExtension;                          // as stored, of the last lookup
  int FLastIndex = -1;
  QIcon FUp, FDown;
};

}  // namespace quil
