#include "app/EntryIcons.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

namespace quil {
namespace {

// The first of the theme names that the theme has, else the style's icon.
QIcon ThemeIcon(std::initializer_list<const char*> names, QStyle::StandardPixmap fallback) {
  for (const char* n : names) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(n));
    if (!icon.isNull()) return icon;
  }
  return QApplication::style()->standardIcon(fallback);
}

bool StartsWithReadme(std::string_view name) {
  if (name.size() < 6) return false;
  static const char kReadme[] = "readme";
  for (int i = 0; i < 6; ++i)
    if (char(std::tolower(static_cast<unsigned char>(name[size_t(i)]))) != kReadme[i]) return false;
  return true;
}

}  // namespace

TEntryIcons::TEntryIcons() {
  // Without a desktop session the platform names no theme: use the freedesktop default.
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
    QIcon::setThemeName(QStringLiteral("Adwaita"));
  Add(ThemeIcon({"system-software-install", "package-x-generic"}, QStyle::SP_DriveCDIcon));
  Add(ThemeIcon({"text-x-readme", "help-about", "text-x-generic"},
                QStyle::SP_FileDialogInfoView));
  Add(ThemeIcon({"application-x-executable", "application-x-executable-symbolic"},
                QStyle::SP_ComputerIcon));
  Add(ThemeIcon({"text-x-generic", "unknown"}, QStyle::SP_FileIcon));
  FUp = ThemeIcon({"go-up", "view-sort-ascending"}, QStyle::SP_ArrowUp);
  FDown = ThemeIcon({"go-down", "view-sort-descending"}, QStyle::SP_ArrowDown);
}

int TEntryIcons::Add(const QIcon& icon) {
  FIcons.push_back(icon);
  return int(FIcons.size() - 1);
}

const QIcon& TEntryIcons::Icon(int index) const {
  return FIcons[(index >= 0 && size_t(index) < FIcons.size()) ? size_t(index) : kFile];
}

int TEntryIcons::IconFor(std::string_view name) {
  QString lower = QString::fromUtf8(name.data(), qsizetype(name.size())).toLower();
  if (lower == QLatin1String("setup.exe") || lower == QLatin1String("install.exe"))
    return kInstall;
  if (StartsWithReadme(name)) return kReadme;
  qsizetype dot = lower.lastIndexOf(QLatin1Char('.'));
  QString ext = dot < 0 ? QString() : lower.mid(dot);
  if (ext == QLatin1String(".exe") || ext == QLatin1String(".com") ||
      ext == QLatin1String(".bat") || ext == QLatin1String(".pif"))
    return kProgram;
  auto it = FByExtension.constFind(ext);
  if (it != FByExtension.constEnd()) return *it;
  int index = kFile;
  if (!ext.isEmpty()) {
    static const QMimeDatabase db;
    QMimeType mt = db.mimeTypeForFile(QStringLiteral("x") + ext, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mt.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(mt.genericIconName());
    if (!icon.isNull()) index = Add(icon);
  }
  FByExtension.insert(ext, index);
  return index;
}

}  // namespace quil
