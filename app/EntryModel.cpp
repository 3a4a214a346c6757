#include "app/EntryModel.h"

#include <QDateTime>

#include "app/TextHelpers.h"

namespace quil {
namespace {

constexpr const char* kCaptions[ListColumnCount] = {"Name",  "Modified", "Size",
                                                    "Ratio", "Packed",   "Path"};
constexpr int kSortOrders[ListColumnCount] = {soName, soDate, soSize, soRatio, soPacked, soPath};

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

const char* ColumnCaption(int column) {
  return column >= 0 && column < ListColumnCount ? kCaptions[column] : "";
}

int ColumnSortOrder(int column) {
  return column >= 0 && column < ListColumnCount ? kSortOrders[column] : 0;
}

QString DosDateText(int32_t dos, const QLocale& locale) {
  uint32_t v = static_cast<uint32_t>(dos);
  QDate d(1980 + int(v >> 25), int((v >> 21) & 15), int((v >> 16) & 31));
  QTime t(int((v >> 11) & 31), int((v >> 5) & 63), int(v & 31) * 2);
  if (!d.isValid() || !t.isValid()) return QString();
  return locale.toString(d, QLocale::ShortFormat) + QStringLiteral("  ") +
         locale.toString(t, QLocale::ShortFormat);
}

TEntryModel::TEntryModel(const TEntryTable& table, TEntryIcons& icons, QObject* parent)
    : QAbstractTableModel(parent), FTable(table), FIcons(icons) {}

void TEntryModel::SetSortOrder(int order) {
  if (order == FSortOrder) return;
  FSortOrder = order;
  emit headerDataChanged(Qt::Horizontal, 0, ListColumnCount - 1);
}

int TEntryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(FTable.Count());
}

int TEntryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ListColumnCount;
}

QString TEntryModel::Text(int row, int column) const {
  if (row < 0 || size_t(row) >= FTable.Count()) return QString();
  const TEntryRecord& e = FTable[size_t(row)];
  QString s;
  switch (column) {
    case lcName:
      s = Utf8(FTable.Name(e));
      if (e.encrypted) s += QLatin1Char('+');
      break;
    case lcModified: s = DosDateText(e.date, FLocale); break;
    case lcSize: s = QString::fromStdString(GroupThousands(e.size)); break;
    case lcRatio: {
      std::string_view r = RatioText(e.ratio);
      s = QString::fromLatin1(r.data(), qsizetype(r.size()));
      break;
    }
    case lcPacked:
      s = e.ratio == kRatioUnknown ? QStringLiteral("?")
                                   : QString::fromStdString(GroupThousands(e.packed));
      break;
    case lcPath: s = Utf8(FTable.Path(e)); break;
    default: break;
  }
  if (s.size() > 255) s.truncate(255);
  return s;
}

QVariant TEntryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return Text(index.row(), index.column());
    case Qt::DecorationRole:
      if (index.column() != lcName) return {};
      return FIcons.Icon(FTable[size_t(index.row())].icon);
    case Qt::TextAlignmentRole:
      switch (index.column()) {
        case lcSize: case lcPacked: return int(Qt::AlignRight | Qt::AlignVCenter);
        case lcRatio: return int(Qt::AlignCenter);
        default: return int(Qt::AlignLeft | Qt::AlignVCenter);
      }
    default:
      return {};
  }
}

QVariant TEntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ListColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kCaptions[section]);
  if (role == Qt::DecorationRole) {
    if (ColumnSortOrder(section) != FSortOrder) return {};
    if (FSortOrder == soName || FSortOrder == soPath) return FIcons.UpArrow();
    if (FSortOrder >= soSize && FSortOrder <= soDate) return FIcons.DownArrow();
    return {};
  }
  if (role == Qt::TextAlignmentRole) {
    if (section == lcSize || section == lcPacked) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (section == lcRatio) return int(Qt::AlignCenter);
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

Qt::ItemFlags TEntryModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace quil
