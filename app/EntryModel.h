// The file list's model: a table over the main window's entry table with the six columns
// "Name", "Modified", "Size", "Ratio", "Packed" and "Path". Texts are made only for the rows a
// view asks for (the rows on screen); the table itself is never copied.
#pragma once

#include <QAbstractTableModel>
#include <QLocale>

#include "app/EntryIcons.h"
#include "app/EntryTable.h"

namespace quil {

enum TListColumn { lcName, lcModified, lcSize, lcRatio, lcPacked, lcPath, ListColumnCount };

// Caption of a column ("Name" ...), and the sort order a click on its header chooses.
const char* ColumnCaption(int column);
int ColumnSortOrder(int column);

// "Modified" text of a packed DOS date-time: the locale's short date, two blanks, the locale's
// short time; empty when the stamp is not a real date.
QString DosDateText(int32_t dos, const QLocale& locale);

class TEntryModel : public QAbstractTableModel {
 public:
  TEntryModel(const TEntryTable& table, TEntryIcons& icons, QObject* parent = nullptr);

  // Wraps a change of the whole table (a listing).
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  // The sort order whose arrow the header shows (1 name up, 2 path up, 4-7 down, else none).
  void SetSortOrder(int order);

  // Cell text as the list shows it (cut to 255 characters).
  QString Text(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const TEntryTable& FTable;
  TEntryIcons& FIcons;
  QLocale FLocale;
  int FSortOrder = 0;
};

}  // namespace quil
