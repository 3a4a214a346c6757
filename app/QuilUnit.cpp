#include "app/QuilUnit.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/CenteredMessage.h"
#include "app/TextHelpers.h"
#include "engine/core/DateTime.h"
#include "engine/core/Messages.h"
#include "platform/Associations.h"

namespace quil {
namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
std::string S(const QString& s) { return s.toUtf8().toStdString(); }

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool SameFileName(const std::string& a, const std::string& b) {
  return LowerAscii(a) == LowerAscii(b);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A list view that hands typed characters, key presses and Enter to the main window.
template <class View>
class TEntryView : public View {
 public:
  std::function<void(const QString&)> OnType;
  std::function<void(QKeyEvent*, bool pressed)> OnKey;
  void keyboardSearch(const QString& text) override {
    if (OnType) OnType(text);
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (OnKey) OnKey(e, true);
    View::keyPressEvent(e);
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    if (OnKey) OnKey(e, false);
    View::keyReleaseEvent(e);
  }
};

QPixmap Light(const QColor& color) {
  QPixmap pm(12, 12);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(60, 60, 60));
  p.setBrush(color);
  p.drawEllipse(1, 1, 10, 10);
  return pm;
}

QIcon ButtonIcon(TToolbarButton b) {
  struct ButtonLook {
    const char* Theme;
    QStyle::StandardPixmap Fallback;
  };
  static const ButtonLook kLooks[ToolbarButtonCount] = {
      {"document-new", QStyle::SP_FileIcon},
      {"document-open", QStyle::SP_DialogOpenButton},
      {"user-bookmarks", QStyle::SP_DirHomeIcon},
      {"document-properties", QStyle::SP_FileDialogDetailedView},
      {"document-print", QStyle::SP_DesktopIcon},
      {"list-add", QStyle::SP_FileDialogNewFolder},
      {"edit-delete", QStyle::SP_TrashIcon},
      {"document-save", QStyle::SP_DialogSaveButton},
      {"edit-find", QStyle::SP_FileDialogContentsView},
      {"security-high", QStyle::SP_MessageBoxWarning},
      {"emblem-ok", QStyle::SP_DialogApplyButton},
      {"folder-open", QStyle::SP_DirOpenIcon},
      {"help-browser", QStyle::SP_DialogHelpButton},
      {"application-exit", QStyle::SP_DialogCloseButton},
  };
  QIcon icon = QIcon::fromTheme(QString::fromLatin1(kLooks[b].Theme));
  return icon.isNull() ? QApplication::style()->standardIcon(kLooks[b].Fallback) : icon;
}

constexpr const char* kNoArchiveText = "Choose \"New\" to create or \"Open\" to open an archive.";
constexpr const char* kCannotOpenText =
    "Quillet cannot open this file. It does not appear to be a Zip file.\n\nIf it is a "
    "self-extracting file it is either not in the standard Zip file format or it s a corrupt.";
// Adds a size from an archive to a total; a total that would overflow stays at the limit.
void AddClamped(int64_t& total, int64_t v) {
  if (__builtin_add_overflow(total, v, &total)) total = v > 0 ? INT64_MAX : INT64_MIN;
}

// How often the progress bar moves while a long directory is turned into the list.
constexpr std::chrono::milliseconds kProgressStep{100};
// "Modified" is wider than 110: the desktop's fonts need it for a date and a time.
constexpr int kColumnWidths[ListColumnCount] = {100, 140, 65, 40, 65, 63};

}  // namespace

// --------------------------------------------------------------------------------------------
// Creation, activation, close

TMainForm::TMainForm(std::vector<std::string> args, TSettingsContext settings)
    : FArgs(std::move(args)), FSettingsContext(std::move(settings)) {
  FormCreate();
}

TMainForm::~TMainForm() {
  // The widgets read the entry table and the icons: take them down while both still exist.
  hide();
  delete centralWidget();
  delete FModel;
  FZipKeeper.UnloadZipLibrary();
}

void TMainForm::FormCreate() {
  setObjectName(QStringLiteral("MainForm"));
  FSwitchesPending = FAssociationCheckPending = true;
  FStartupArchiveDone = FInstallOffered = FRecentReopening = false;
  FLoadResult = LoadSettings(FSettings, FSettingsContext);

  FLister.SetZipCmntBufSize(32000);
  FLister.OnRead = [this](TArcMain*, int64_t, int32_t) { OnListerRead(); };
  FLister.OnNextVolume = [](TArcMain*, std::string&, const std::string&, bool exists,
                            bool& cancel) { cancel = !exists; };
  FLister.OnError = [this](TArcMain*, const std::string& fn, const std::string&, const std::string&,
                           int32_t code) {
    if (FListerError == 0) {
      FListerError = code;
      FListerErrorName = fn;
    }
  };
  FZipKeeper.AddCompLevel = 9;
  FZipKeeper.Unattended = false;
  FZipKeeper.SetPasswordReqCount(2);
  FZipKeeper.KeepFreeOnDisk1 = 0;
  // The ZIP object asks for the disks of a set on removable media through a message box.
  SetZipDiskQuestion([](const std::string& text, bool stopIcon) {
    return ShowCenteredMessage(Q(text), stopIcon ? QMessageBox::Critical : QMessageBox::NoIcon,
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
  });
  SetZipProcessMessages([] { QApplication::processEvents(); });

  FIcons = std::make_unique<TEntryIcons>();
  FModel = new TEntryModel(FEntries, *FIcons, this);
  setMinimumSize(259, 200);
  BuildMenus();
  BuildToolbar();
  BuildList();
  BuildStatusPanel();
  if (FLoadResult != lrLoaded) {
    resize(kFirstRunWindowWidth, kFirstRunWindowHeight);
    if (QScreen* s = QApplication::primaryScreen())
      move(s->availableGeometry().center() - rect().center());
  } else {
    resize(640, 440);
  }
  ApplySettings();
  CloseArchiveClick();
}

int TMainForm::FormShow() {
  // Command-line archive, once per run.
  if (!FStartupArchiveDone) {
    FStartupArchiveDone = true;
    TCommandLine cl = ParseCommandLine(FArgs);
    std::string archive;
    if (cl.Action == saOpen) archive = cl.Archive;
    if (cl.Action == saSwitch && FArgs.size() >= 2 &&
        (cl.Switch == "-es" || cl.Switch == "-e" || cl.Switch == "-et"))
      archive = cl.Archive;
    if (!archive.empty()) {
      // The full name of an existing file; a missing one is attached as given and shows as an
      // empty archive of that name, as after New.
      std::error_code ec;
      std::filesystem::path p = std::filesystem::absolute(archive, ec);
      if (!ec) archive = p.lexically_normal().string();
      AttachArchive(archive);
      ListArchive();
    }
  }
  // Association step, once per run: the program's desktop entry every time, the defaults when
  // the user asked for them. Failures leave the program without associations.
  if (FAssociationCheckPending) {
    FAssociationCheckPending = false;
    std::string program = FSettings.Directory.empty() ? CurrentProgramFile() : FSettings.Directory;
    if (!program.empty() && RegisterProgram(program) && FSettings.AssociateWithZipFiles == 1)
      AssociateArchives(FSettings.AssociatedArchives);
  }
  // Switches, once per run: a run that is not a plain archive ends the program.
  if (FSwitchesPending) {
    const bool open = !FOpenArchivePath.empty();
    const std::string first = FArgs.empty() ? std::string() : FArgs[0];
    const bool archiveSwitch =
        first == "-es" || first == "-e" || first == "-et" || first == "-tosfx" || first == "-tozip";
    if ((!open && !FArgs.empty()) || (archiveSwitch && open)) {
      FSwitchesPending = false;
      setEnabled(false);
      hide();
      TCommandLine cl = ParseCommandLine(FArgs);
      if (cl.Action == saSwitch)
        std::fprintf(stderr, "quillet: the switch %s is not available in this version\n",
                     first.c_str());
      else
        std::fprintf(stderr, "quillet: unknown argument '%s'\n", first.c_str());
      return kExitBadCommandLine;
    }
  }
  return -1;
}

void TMainForm::FormClose() {
  SetLights(true);
  CloseArchiveClick();
  SaveSettings(FSettings, FSettingsContext);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

// --------------------------------------------------------------------------------------------
// Window parts

QAction* TMainForm::NewAction(const char* name, const QString& text, void (TMainForm::*slot)()) {
  auto* a = new QAction(text, this);
  a->setObjectName(QString::fromLatin1(name));
  if (slot) connect(a, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
  return a;
}

QAction* TMainForm::Action(const char* name) const {
  return findChild<QAction*>(QString::fromLatin1(name));
}

void TMainForm::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* a =
      NewAction("NewArchive", QStringLiteral("&New Archive..."), &TMainForm::NewArchiveClick);
  a->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
  file->addAction(a);
  a = NewAction("OpenArchive", QStringLiteral("&Open Archive..."), &TMainForm::OpenArchiveClick);
  a->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  file->addAction(a);
  file->addAction(
      NewAction("CloseArchive", QStringLiteral("&Close Archive"), &TMainForm::CloseArchiveClick));
  file->addSeparator();
  a = NewAction("Exit", QStringLiteral("E&xit"), nullptr);
  connect(a, &QAction::triggered, this, &QWidget::close);
  file->addAction(a);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  a = NewAction("SelectAll", QStringLiteral("Select &All"), &TMainForm::SelectAllClick);
  a->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
  edit->addAction(a);
  a = NewAction("UnselectAll", QStringLiteral("&UnSelect All"), &TMainForm::UnselectAllClick);
  a->setShortcut(QKeySequence(QStringLiteral("Ctrl+U")));
  edit->addAction(a);
  edit->addAction(NewAction("InvertSelection", QStringLiteral("&Invert Selection"),
                            &TMainForm::InvertSelectionClick));

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  a = NewAction("Toolbar", QStringLiteral("&Toolbar"), &TMainForm::ToolbarClick);
  a->setCheckable(true);
  view->addAction(a);
  a = NewAction("StatusBar", QStringLiteral("&Status Bar"), &TMainForm::StatusBarClick);
  a->setCheckable(true);
  view->addAction(a);
  view->addSeparator();
  auto* styles = new QActionGroup(this);
  struct StyleItem {
    const char* Name;
    const char* Text;
    int Style;
  };
  const StyleItem kStyles[] = {{"LargeIcons", "Lar&ge Icons", 0},
                               {"SmallIcons", "S&mall Icons", 1},
                               {"List", "&List", 2},
                               {"Details", "&Details", 3}};
  for (const StyleItem& s : kStyles) {
    a = NewAction(s.Name, QString::fromLatin1(s.Text), nullptr);
    a->setCheckable(true);
    styles->addAction(a);
    const int style = s.Style;
    connect(a, &QAction::triggered, this, [this, style] { SetViewStyle(style); });
    view->addAction(a);
    if (style == 1) a->setVisible(false);  // kept for a stored small-icon style only
    FStyleActions.push_back(a);
  }
  view->addSeparator();
  FSortMenu = view->addMenu(QStringLiteral("Arrange &Icons"));
  FSortMenu->setObjectName(QStringLiteral("ArrangeIcons"));
  auto* sorts = new QActionGroup(this);
  const char* kSortNames[] = {"byName",       "byPath",  "byType", "bySize",
                              "byPackedSize", "byRatio", "byDate", "byOrginalOrder"};
  const char* kSortTexts[] = {"Sort by &Name",        "Sort by &Path",
                              "Sort by &Type",        "Sort by &Size",
                              "Sort by P&acked Size", "Sort by &Compression Ratio",
                              "Sort by &Date",        "Sort by &Orginal Order"};
  for (int i = 0; i < 8; ++i) {
    a = NewAction(kSortNames[i], QString::fromLatin1(kSortTexts[i]), nullptr);
    a->setCheckable(true);
    sorts->addAction(a);
    const int order = i + 1;
    connect(a, &QAction::triggered, this, [this, order] { SortClick(order); });
    FSortMenu->addAction(a);
    FSortActions.push_back(a);
  }
  view->addSeparator();
  a = NewAction("asWebPage", QStringLiteral("as &Web Page"), &TMainForm::AsWebPageClick);
  a->setCheckable(true);
  view->addAction(a);
  view->addAction(NewAction("DefaultColumnsWidths", QStringLiteral("Default Columns &Widths"),
                            &TMainForm::DefaultColumnsWidthsClick));
  view->addSeparator();
  a = NewAction("Refresh", QStringLiteral("&Refresh"), &TMainForm::RefreshClick);
  a->setShortcut(QKeySequence(Qt::Key_F5));
  view->addAction(a);

  // Pop-up menus of the list: the sort menu without a selection, the file menu with one.
  FSortPopUp = new QMenu(this);
  FSortPopUp->setObjectName(QStringLiteral("SortPopUp"));
  FSortPopUp->addActions(FSortMenu->actions());
  FFilePopUp = new QMenu(this);
  FFilePopUp->setObjectName(QStringLiteral("FilePopUp"));
  FFilePopUp->addAction(Action("SelectAll"));
  FFilePopUp->addAction(Action("UnselectAll"));
  FFilePopUp->addAction(Action("InvertSelection"));
}

void TMainForm::BuildToolbar() {
  FToolbar = new QToolBar(QStringLiteral("Toolbar"), this);
  FToolbar->setObjectName(QStringLiteral("Toolbar97"));
  FToolbar->setMovable(false);
  FButtons.assign(ToolbarButtonCount, nullptr);
  for (int b = 0; b < ToolbarButtonCount; ++b) {
    const TToolbarButtonInfo& info = ToolbarButtons[size_t(b)];
    auto* a = new QAction(ButtonIcon(TToolbarButton(b)), QString::fromLatin1(info.Caption), this);
    a->setObjectName(QString::fromLatin1(info.Name));
    a->setToolTip(QString::fromLatin1(info.Hint));
    a->setEnabled(false);  // commands without a window part yet stay disabled
    FButtons[size_t(b)] = a;
  }
  connect(FButtons[tbNew], &QAction::triggered, this, [this] { NewArchiveClick(); });
  connect(FButtons[tbOpen], &QAction::triggered, this, [this] { OpenArchiveClick(); });
  connect(FButtons[tbExit], &QAction::triggered, this, &QWidget::close);
  for (TToolbarButton b : {tbNew, tbOpen, tbExit}) FButtons[b]->setEnabled(true);
  int group = 0;
  for (TToolbarButton b : ToolbarVisualOrder) {
    int g = ToolbarButtons[b].Group;
    if (g != group) {
      FSeparators.push_back(FToolbar->addSeparator());
      group = g;
    }
    FToolbar->addAction(FButtons[b]);
  }
}

void TMainForm::BuildList() {
  auto* tree = new TEntryView<QTreeView>();
  auto* icons = new TEntryView<QListView>();
  FTree = tree;
  FIconList = icons;
  FTree->setObjectName(QStringLiteral("FileList"));
  FTree->setModel(FModel);
  FTree->setRootIsDecorated(false);
  FTree->setItemsExpandable(false);
  FTree->setUniformRowHeights(true);
  FTree->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FTree->setSelectionBehavior(QAbstractItemView::SelectRows);
  FTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FTree->setAllColumnsShowFocus(true);
  QHeaderView* header = FTree->header();
  header->setStretchLastSection(true);  // "Path" (or the column dragged last) takes the rest
  header->setSectionsClickable(true);
  header->setSectionsMovable(false);
  for (int c = 0; c < ListColumnCount; ++c) FTree->setColumnWidth(c, kColumnWidths[c]);
  connect(header, &QHeaderView::sectionClicked, this, [this](int c) { ColumnClick(c); });

  FIconList->setObjectName(QStringLiteral("FileIcons"));
  FIconList->setModel(FModel);
  FIconList->setSelectionModel(FTree->selectionModel());
  FIconList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FIconList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FIconList->setUniformItemSizes(true);
  FIconList->setLayoutMode(QListView::Batched);
  FIconList->setBatchSize(2000);
  FIconList->setResizeMode(QListView::Adjust);

  for (auto* v : std::initializer_list<QAbstractItemView*>{FTree, FIconList}) {
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& pos) {
      if (FListPopup) FListPopup->exec(v->viewport()->mapToGlobal(pos));
    });
  }
  auto onType = [this](const QString& t) { TypeAhead(t); };
  auto onKey = [this](QKeyEvent* e, bool pressed) {
    if (pressed && (e->key() == Qt::Key_Shift || e->key() == Qt::Key_Control))
      FPlainClick = false;
    else if (!pressed)
      FPlainClick = true;
  };
  tree->OnType = icons->OnType = onType;
  tree->OnKey = icons->OnKey = onKey;
  connect(FTree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { UpdateSelectionStatus(); });

  FStack = new QStackedWidget();
  FStack->addWidget(FTree);
  FStack->addWidget(FIconList);
}

void TMainForm::BuildStatusPanel() {
  FStatusPanel = new QWidget();
  FStatusPanel->setObjectName(QStringLiteral("StatusPanel"));
  auto* row = new QHBoxLayout(FStatusPanel);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(6);
  FSPanel1 = new QLabel();
  FSPanel1->setObjectName(QStringLiteral("SPanel1"));
  FSPanel2 = new QLabel();
  FSPanel2->setObjectName(QStringLiteral("SPanel2"));
  for (QLabel* l : {FSPanel1, FSPanel2}) {
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(10);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  FProgress = new QProgressBar();
  FProgress->setObjectName(QStringLiteral("ProgressBar"));
  FProgress->setTextVisible(false);
  FProgress->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  FProgress->hide();
  FLedOn = new QLabel();
  FLedOn->setObjectName(QStringLiteral("LedOn"));
  FLedOff = new QLabel();
  FLedOff->setObjectName(QStringLiteral("LedOff"));
  row->addWidget(FSPanel1, 1);
  row->addWidget(FSPanel2, 1);
  row->addWidget(FProgress, 1);
  row->addWidget(FLedOn);
  row->addWidget(FLedOff);
  SetLights(false);

  auto* central = new QWidget();
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(FStack, 1);
  column->addWidget(FStatusPanel);
  setCentralWidget(central);
}

void TMainForm::SetLights(bool busy) {
  FLedOn->setPixmap(Light(busy ? QColor(0, 70, 0) : QColor(40, 230, 40)));
  FLedOff->setPixmap(Light(busy ? QColor(240, 30, 30) : QColor(80, 0, 0)));
  FLedOn->setProperty("lit", !busy);
  FLedOff->setProperty("lit", busy);
}

void TMainForm::ApplySettings() {
  const TSettings& s = FSettings;
  Action("asWebPage")->setChecked(s.AsWebPage == 1);
  const QString hot =
      QStringLiteral("QAbstractItemView::item:hover { text-decoration: underline; }");
  FTree->setStyleSheet(s.AsWebPage == 1 ? hot : QString());
  FIconList->setStyleSheet(s.AsWebPage == 1 ? hot : QString());
  FStatusPanel->setVisible(s.ViewStatusLine == 1);
  Action("StatusBar")->setChecked(s.ViewStatusLine == 1);
  static const Qt::ToolBarArea kAreas[] = {Qt::LeftToolBarArea, Qt::RightToolBarArea,
                                           Qt::TopToolBarArea, Qt::BottomToolBarArea};
  addToolBar(kAreas[s.AlignToolbar <= 3 ? s.AlignToolbar : 2], FToolbar);
  FToolbar->setVisible(s.ViewToolbar == 1);
  Action("Toolbar")->setChecked(s.ViewToolbar == 1);
  int style = s.ViewStyle <= 3 ? s.ViewStyle : 3;
  FSettings.ViewStyle = uint8_t(style == 3 ? 0 : 3);  // differs, so the call applies it
  SetViewStyle(style);
  FTree->setAllColumnsShowFocus(s.FullRow == 1);
  if (s.SortOrder >= 1 && s.SortOrder <= 8) FSortActions[s.SortOrder - 1u]->setChecked(true);
  FModel->SetSortOrder(s.SortOrder);
  ApplyToolbarLayout();
}

void TMainForm::ApplyToolbarLayout() {
  TToolbarLayout layout = ToolbarLayout(FSettings);
  for (size_t b = 0; b < FButtons.size(); ++b) FButtons[b]->setVisible(layout.Visible[b]);
  for (size_t i = 0; i < FSeparators.size(); ++i)
    FSeparators[i]->setVisible(layout.SeparatorAfter[i]);
  const int icon = FSettings.LargeButtons == 1 ? 32 : 16;
  FToolbar->setIconSize(QSize(icon, icon));
  FToolbar->setToolButtonStyle(FSettings.ShowToolbarText == 1 ? Qt::ToolButtonTextUnderIcon
                                                              : Qt::ToolButtonIconOnly);
  FToolbar->setToolTipDuration(FSettings.ToolbarTips == 1 ? -1 : 0);
  for (size_t b = 0; b < FButtons.size(); ++b)
    FButtons[b]->setToolTip(FSettings.ToolbarTips == 1 ? QString::fromLatin1(ToolbarButtons[b].Hint)
                                                       : QString());
}

void TMainForm::ApplyCommands() {
  const TCommandState& c = FCommands;
  Action("CloseArchive")->setEnabled(c.CloseArchive);
  Action("SelectAll")->setEnabled(c.SelectAll);
  Action("UnselectAll")->setEnabled(c.UnselectAll);
  Action("InvertSelection")->setEnabled(c.InvertSelection);
  Action("Refresh")->setEnabled(c.Refresh);
  FSortMenu->setEnabled(c.ArrangeIcons);
  FTree->setEnabled(c.List);
  FIconList->setEnabled(c.List);
}

QWidget* TMainForm::ListView() const { return FStack->currentWidget(); }

QString TMainForm::SPanel1Text() const { return FSPanel1->text(); }
QString TMainForm::SPanel2Text() const { return FSPanel2->text(); }
bool TMainForm::SPanel2Visible() const { return !FSPanel2->isHidden(); }

// --------------------------------------------------------------------------------------------
// Opening and listing

void TMainForm::OpenArchiveClick() {
  static const char* kFilters[] = {
      "Zip/JAR (Java ARchiver) files (*.zip *.jar)",
      "Rar files (*.rar)",
      "Lha files (*.lzh *.lha)",
      "Arj files (*.arj)",
      "Arc files (*.arc)",
      "Zoo files (*.zoo)",
      "Ace files (*.ace)",
      "Cab files (*.cab)",
      "TAR/GZIP files (*.tar *.tar.gz *.gz *.z *.tgz)",
      "Encoded files (*.xxe *.uue)",
      "All archives (*.zip *.jar *.rar *.lzh *.lha *.arj *.arc *.zoo *.ace *.cab *.tar "
      "*.tar.gz *.gz *.z *.tgz)",
      "All archives, encoded files (*.zip *.jar *.rar *.lzh *.lha *.arj *.arc *.zoo *.ace *.cab "
      "*.tar *.tar.gz *.gz *.z *.tgz *.xxe *.uue)",
      "All Archives, encoded and .exe files (*.zip *.jar *.rar *.lzh *.lha *.arj *.arc *.zoo "
      "*.ace *.cab *.tar *.tar.gz *.gz *.z *.tgz *.xxe *.uue *.exe)",
      "All files (*)",
  };
  QStringList filters;
  for (const char* f : kFilters) filters << QString::fromLatin1(f);
  QString dir = FSettings.StartupBaseFolder == 0   ? QCoreApplication::applicationDirPath()
                : FSettings.StartupBaseFolder == 2 ? Q(FSettings.StartupFolder)
                                                   : Q(FSettings.LastOpenDir);
  QFileDialog dialog(this, QStringLiteral("Open Archive"), dir);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters[11]);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  OpenArchiveFile(S(dialog.selectedFiles().first()));
}

void TMainForm::OpenArchiveFile(const std::string& path) {
  FReopenedFromRecent = false;
  AttachArchive(path);
  if (!FReopenedFromRecent) ListArchive();
  if (ListView()->isEnabled()) ListView()->setFocus();
}

void TMainForm::NewArchiveClick() {
  QString dir = FSettings.StartupBaseFolder == 0   ? QCoreApplication::applicationDirPath()
                : FSettings.StartupBaseFolder == 2 ? Q(FSettings.StartupFolder)
                                                   : Q(FSettings.LastOpenDir);
  QFileDialog dialog(this, QStringLiteral("New Archive"), dir);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilters({QStringLiteral("ZIP files (*.zip)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  NewArchiveFile(S(dialog.selectedFiles().first()));
}

void TMainForm::NewArchiveFile(std::string path) {
  if (KindFromPath(path).empty()) path += ".zip";
  if (QFileInfo::exists(Q(path))) {
    QString text = QStringLiteral("Cannot create \"") + Q(path) +
                   QStringLiteral("\". file already exists.Open existing file?");
    if (ShowCenteredMessage(text, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, this) ==
        QMessageBox::Yes)
      OpenArchiveFile(path);
    return;
  }
  CloseArchiveClick();
  FReopenedFromRecent = false;
  AttachArchive(path);
  if (!FReopenedFromRecent) ListArchive();
  if (ListView()->isEnabled()) ListView()->setFocus();
}

void TMainForm::AttachArchive(const std::string& path) {
  FArchiveKind = KindFromPath(path);
  FOpenArchivePath = path;
  if (FArchiveKind == ".zip") {
    ReadZipDirectory();
  } else {
    FLister.SetArchiveFile(path);
    FArchiveKind = RefineKind(FArchiveKind, FLister.ArcType());
    if (IsZipKind(FArchiveKind)) ReadZipDirectory();
  }
  const QString name = Q(LowerAscii(FileNameOf(path)));
  setWindowTitle(QStringLiteral("Quillet 2000 - ") + name);

  QFileInfo info(Q(path));
  const bool readOnly = info.exists() && !info.isWritable();
  const bool spanned = IsZipKind(FArchiveKind) && FZipKeeper.SpannedSet();
  FCommands = CommandsForKind(FArchiveKind, readOnly, spanned, VirusScannerAvailable(FSettings));
  ApplyCommands();
  FSPanel1->setAlignment(Qt::AlignCenter);
  FSPanel1->clear();
  FSPanel2->clear();
  FSPanel2->show();
  SetLights(false);

  if (!FRecentReopening) AddRecent(path);
  FSettings.LastOpenDir = FolderOf(path);
}

void TMainForm::AddRecent(const std::string& path) {
  std::vector<std::string> list{path};
  for (const std::string& p : FSettings.ActiveFile)
    if (!p.empty() && !SameFileName(p, path)) list.push_back(p);
  for (size_t i = 0; i < FSettings.ActiveFile.size(); ++i)
    FSettings.ActiveFile[i] = i < list.size() ? list[i] : std::string();
}

void TMainForm::RemoveRecent(const std::string& path) {
  std::vector<std::string> list;
  for (const std::string& p : FSettings.ActiveFile)
    if (!p.empty() && !SameFileName(p, path)) list.push_back(p);
  for (size_t i = 0; i < FSettings.ActiveFile.size(); ++i)
    FSettings.ActiveFile[i] = i < list.size() ? list[i] : std::string();
}

void TMainForm::OnListerRead() {
  const TEntryInfo& e = FLister.Entry();
  TEntryRecord& r = FEntries.Append(e.FileName, FSettings.DownCaseFileNames == 1);
  r.volume = FEntries.InternVolume(FLister.VolumeName());
  r.encrypted = e.Encrypted;
  r.size = e.UnpackedSize;
  r.packed = e.PackedSize;
  r.ratio = FArchiveKind == ".cab" ? kRatioUnknown : RatioCode(e.PackedSize, e.UnpackedSize);
  r.date = static_cast<int32_t>(DateTimeToDos(e.FileDate));
  if (e.ExternalAttr & 0x10) {
    FEntries.DropLast();  // folders are not listed
    return;
  }
  AddClamped(FTotalPacked, e.PackedSize);
  AddClamped(FTotalUnpacked, e.UnpackedSize);
}

namespace {

// Name, size and modification time of a file; empty when it does not exist.
std::string FileStamp(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec) return std::string();
  auto time = std::filesystem::last_write_time(path, ec);
  if (ec) return std::string();
  return path + '\n' + std::to_string(size) + '\n' +
         std::to_string(time.time_since_epoch().count());
}

}  // namespace

void TMainForm::ReadZipDirectory() {
  std::string stamp = FileStamp(FOpenArchivePath);
  if (!stamp.empty() && stamp == FZipReadStamp && FZipKeeper.ZipFileName() == FOpenArchivePath)
    return;
  FZipKeeper.ClearError();
  FZipKeeper.SetZipFileName(FOpenArchivePath);
  FZipReadStamp = stamp;
}

void TMainForm::ListFromZip() {
  const ZipDirList& dir = FZipKeeper.Contents();
  size_t nameBytes = 0;
  for (const ZipDirEntry& z : dir) nameBytes += z.EntryName.size() / 2;
  FEntries.Reserve(dir.size(), nameBytes);
  const bool downCase = FSettings.DownCaseFileNames == 1;
  int64_t done = 0;
  // The bar repaints itself on every change: move it a few times a second, not per entry.
  auto shown = std::chrono::steady_clock::now();
  for (const ZipDirEntry& z : dir) {
    if (++done % 4096 == 0 && std::chrono::steady_clock::now() - shown > kProgressStep) {
      FProgress->setValue(int(std::min<int64_t>(done, INT32_MAX)));
      shown = std::chrono::steady_clock::now();
    }
    if (z.IsFolder()) continue;
    const int64_t packed = int64_t(z.CompressedSize64), size = int64_t(z.UncompressedSize64);
    AddClamped(FTotalPacked, packed);
    AddClamped(FTotalUnpacked, size);
    TEntryRecord& r = FEntries.Append(z.EntryName, downCase);
    r.size = size;
    r.packed = packed;
    r.ratio = RatioCode(packed, size);
    r.date = static_cast<int32_t>(z.DosDateTime);
    r.encrypted = z.IsEncrypted;
  }
}

void TMainForm::ListFromLister() {
  FListerError = 0;
  FListerErrorName.clear();
  FLister.SetArchiveFile(FOpenArchivePath);
  FLister.SetFileSpec({"*.*"});
  FLister.Activate();
}

void TMainForm::ListArchive() {
  const int order = FSettings.SortOrder;
  FModel->SetSortOrder(order);
  CheckTempFolder(FSettings);
  const bool zip = IsZipKind(FArchiveKind);
  if (zip) ReadZipDirectory();
  FZipReadStamp.clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  SetLights(true);
  FSPanel1->setText(QStringLiteral("Reading directory..."));
  FSPanel2->clear();
  FSPanel2->hide();
  FProgress->setRange(0, zip && FZipKeeper.EntryTotal() > 0
                             ? int(std::min<int64_t>(FZipKeeper.EntryTotal(), INT32_MAX))
                             : 100);
  FProgress->setValue(0);
  FProgress->show();
  const int scroll = FTree->verticalScrollBar()->value();

  FModel->BeginReset();
  FEntries.Clear();
  FTotalPacked = FTotalUnpacked = 0;
  if (zip)
    ListFromZip();
  else
    ListFromLister();
  for (TEntryRecord& r : FEntries.Rows()) {
    r.icon = FIcons->IconFor(FEntries.Name(r));
    r.iconDone = true;
  }
  FSPanel1->setText(QStringLiteral("Sorting files..."));
  FEntries.Sort(order);
  FSPanel1->setText(QStringLiteral("Loading file list..."));

  const size_t count = FEntries.Count();
  FUnpackedKB = GroupThousands(RoundHalfEven(double(FTotalUnpacked) / 1024.0));
  FPackedKB = FArchiveKind == ".cab" ? std::string("?")
                                     : GroupThousands(RoundHalfEven(double(FTotalPacked) / 1024.0));
  FTotalRatio = FTotalUnpacked > 0
                    ? std::to_string(RoundHalfEven(
                          (1.0 - double(FTotalPacked) / double(FTotalUnpacked)) * 100.0))
                    : std::string();
  FSPanel2->setText(Q("Total " + GroupThousands(int64_t(count)) +
                      (count == 1 ? " file" : " files") + ", " + FUnpackedKB + " kB [" + FPackedKB +
                      " kB]"));
  FModel->EndReset();
  QApplication::restoreOverrideCursor();

  // A ZIP that could not be read: say so, forget it and close it.
  if (zip && count == 0 && FZipKeeper.ErrorCode() != 0 && QFileInfo(Q(FOpenArchivePath)).isFile()) {
    SetLights(false);
    FProgress->hide();
    ShowCenteredMessage(QString::fromLatin1(kCannotOpenText), QMessageBox::Critical,
                        QMessageBox::Ok, this);
    RemoveRecent(FOpenArchivePath);
    CloseArchiveClick();
    UpdateSelectionStatus();
    return;
  }

  FTree->header()->setSectionsMovable(true);
  SetLights(false);
  FProgress->setValue(FProgress->maximum());
  FProgress->hide();
  FSPanel2->show();

  FPlainClick = true;
  FInstallEnabled = false;
  for (const TEntryRecord& r : FEntries.Rows())
    if (IsInstallerEntry(FEntries.Name(r), FEntries.Path(r))) {
      FInstallEnabled = true;
      break;
    }
  if (!FInstallEnabled) FInstallOffered = true;

  FTree->verticalScrollBar()->setValue(scroll);
  UpdateSelectionStatus();

  if (!zip && FListerError != 0) {
    std::string text = MessageLine(FListerError);
    if (!FListerErrorName.empty()) text += "\n" + FListerErrorName;
    ShowCenteredMessage(Q(text), QMessageBox::Critical, QMessageBox::Ok, this);
  }
}

void TMainForm::CloseArchiveClick() {
  FModel->BeginReset();
  FEntries.Release();
  FModel->EndReset();
  FTotalPacked = FTotalUnpacked = 0;
  for (const std::string& f : FTempFiles) {
    std::error_code ec;
    std::filesystem::remove(f, ec);
  }
  FTempFiles.clear();
  FOpenArchivePath.clear();
  FArchiveKind.clear();
  FZipKeeper.SetZipFileName("");
  FZipReadStamp.clear();
  FLister.SetArchiveFile("");
  FCommands = TCommandState();
  FInstallEnabled = false;
  FInstallOffered = false;
  ApplyCommands();
  setWindowTitle(QStringLiteral("Quillet 2000"));
  FSPanel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  FSPanel1->setText(QString::fromLatin1(kNoArchiveText));
  FSPanel2->clear();
  FSPanel2->hide();
  FProgress->hide();
  FListPopup = nullptr;
  SetLights(false);
}

void TMainForm::RefreshClick() {
  if (FOpenArchivePath.empty()) return;
  ListArchive();
  UpdateSelectionStatus();
}

// --------------------------------------------------------------------------------------------
// Selection, sorting, view

void TMainForm::UpdateSelectionStatus() {
  if (FOpenArchivePath.empty()) {
    FListPopup = nullptr;
    return;
  }
  for (TEntryRecord& r : FEntries.Rows()) r.selected = false;
  int64_t selected = 0, bytes = 0;
  const QItemSelection sel = FTree->selectionModel()->selection();
  for (const QItemSelectionRange& range : sel) {
    for (int row = range.top(); row <= range.bottom(); ++row) {
      if (row < 0 || size_t(row) >= FEntries.Count()) continue;
      TEntryRecord& r = FEntries[size_t(row)];
      if (r.selected) continue;
      r.selected = true;
      ++selected;
      bytes += r.size;
    }
  }
  if (selected > 0) {
    FListPopup = FFilePopUp;
    FSPanel1->setText(Q("Selected " + GroupThousands(selected) +
                        (selected == 1 ? " file" : " files") + ", " +
                        GroupThousands(RoundHalfEven(double(bytes) / 1024.0)) + " kB"));
  } else {
    FListPopup = FSortPopUp;
    FSPanel1->setText(QStringLiteral("No file(s) selected."));
  }
}

void TMainForm::SelectAllClick() {
  FTree->selectAll();
  ListView()->setFocus();
  UpdateSelectionStatus();
}

void TMainForm::UnselectAllClick() {
  FTree->clearSelection();
  ListView()->setFocus();
  UpdateSelectionStatus();
}

void TMainForm::InvertSelectionClick() {
  QItemSelection inverted;
  const int rows = int(FEntries.Count());
  for (int row = 0; row < rows;) {
    if (FEntries[size_t(row)].selected) {
      ++row;
      continue;
    }
    int end = row;
    while (end + 1 < rows && !FEntries[size_t(end) + 1].selected) ++end;
    inverted.select(FModel->index(row, 0), FModel->index(end, ListColumnCount - 1));
    row = end + 1;
  }
  FTree->selectionModel()->select(inverted, QItemSelectionModel::ClearAndSelect);
  ListView()->setFocus();
  UpdateSelectionStatus();
}

void TMainForm::SortClick(int order) {
  if (order < 1 || order > 8) return;
  FSortActions[size_t(order) - 1]->setChecked(true);
  if (order == FSettings.SortOrder) return;
  FSettings.SortOrder = uint8_t(order);
  if (!FOpenArchivePath.empty()) ListArchive();
  FModel->SetSortOrder(order);
}

void TMainForm::ColumnClick(int column) { SortClick(ColumnSortOrder(column)); }

void TMainForm::SetViewStyle(int style) {
  if (style < 0 || style > 3) return;
  FStyleActions[size_t(style)]->setChecked(true);
  if (style == FSettings.ViewStyle) return;
  FSettings.ViewStyle = uint8_t(style);
  QWidget* focus = ListView();
  if (style == 3) {
    FStack->setCurrentWidget(FTree);
  } else {
    FIconList->setViewMode(style == 0 ? QListView::IconMode : QListView::ListMode);
    FIconList->setFlow(style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    FIconList->setWrapping(true);
    FIconList->setIconSize(style == 0 ? QSize(32, 32) : QSize(16, 16));
    FIconList->setGridSize(style == 0 ? QSize(96, 64) : QSize());
    FIconList->setMovement(QListView::Static);
    FStack->setCurrentWidget(FIconList);
  }
  if (focus && focus->hasFocus()) ListView()->setFocus();
}

void TMainForm::DefaultColumnsWidthsClick() {
  for (int c = 0; c < lcPath; ++c) FTree->setColumnWidth(c, kColumnWidths[c]);
  FTree->setColumnWidth(lcPath, std::max(kColumnWidths[lcPath], FTree->width() - 400));
  if (!FOpenArchivePath.empty()) ListArchive();
}

void TMainForm::ToolbarClick() {
  FSettings.ViewToolbar = FSettings.ViewToolbar == 1 ? 0 : 1;
  FToolbar->setVisible(FSettings.ViewToolbar == 1);
  Action("Toolbar")->setChecked(FSettings.ViewToolbar == 1);
}

void TMainForm::StatusBarClick() {
  FSettings.ViewStatusLine = FSettings.ViewStatusLine == 1 ? 0 : 1;
  FStatusPanel->setVisible(FSettings.ViewStatusLine == 1);
  Action("StatusBar")->setChecked(FSettings.ViewStatusLine == 1);
}

void TMainForm::AsWebPageClick() {
  FSettings.AsWebPage = FSettings.AsWebPage == 1 ? 0 : 1;
  ApplySettings();
}

void TMainForm::TypeAhead(const QString& text) {
  if (text.isEmpty() || FEntries.Count() == 0) return;
  const QString c = text.left(1).toLower();
  QItemSelectionModel* sm = FTree->selectionModel();
  const QModelIndex current = sm->currentIndex();
  const int from = current.isValid() ? current.row() + 1 : 0;
  for (size_t row = size_t(from); row < FEntries.Count(); ++row) {
    if (!QString::fromUtf8(FEntries.Name(FEntries[row])).toLower().startsWith(c)) continue;
    if (current.isValid())
      sm->select(current, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    QModelIndex found = FModel->index(int(row), 0);
    sm->setCurrentIndex(found, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    FTree->scrollTo(found);
    FIconList->scrollTo(found);
    UpdateSelectionStatus();
    return;
  }
}

}  // namespace quil
