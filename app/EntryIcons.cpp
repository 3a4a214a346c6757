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

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool StartsWithReadme(std::string_view name) {
  if (name.size() < 6) return false;
  static const char kReadme[] = "readme";
  for (int i = 0; i < 6; ++i)
    if (AsciiLower(name[size_t(i)]) != kReadme[i]) return false;
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
  // Names are compared in ASCII case: the special names and extensions are all ASCII.
  auto lowerEquals = [](std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
      if (AsciiLower(text[i]) != lower[i]) return false;
    return true;
  };
  if (lowerEquals(name, "setup.exe") || lowerEquals(name, "install.exe")) return kInstall;
  if (StartsWithReadme(name)) return kReadme;
  size_t dot = name.rfind('.');
  std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
  if (lowerEquals(ext, ".exe") || lowerEquals(ext, ".com") || lowerEquals(ext, ".bat") ||
      lowerEquals(ext, ".pif"))
    return kProgram;
  // Neighbouring entries mostly share their extension.
  if (FLastIndex >= 0 && ext == FLastExtension) return FLastIndex;
  std::string key(ext);
  for (char& c : key) c = AsciiLower(c);
  auto it = FByExtension.find(key);
  int index = kFile;
  if (it != FByExtension.end()) {
    index = it->second;
  } else {
    if (!key.empty()) {
      static const QMimeDatabase db;
      QString lower = QString::fromUtf8(key.data(), qsizetype(key.size())).toLower();
      QMimeType mt = db.mimeTypeForFile(QStringLiteral("x") + lower, QMimeDatabase::MatchExtension);
      QIcon icon = QIcon::fromTheme(mt.iconName());
      if (icon.isNull()) icon = QIcon::fromTheme(mt.genericIconName());
      if (!icon.isNull()) index = Add(icon);
    }
    FByExtension.emplace(key, index);
  }
  FLastExtension.assign(ext);
  FLastIndex = index;
  return index;
}

}  // namespace quil
