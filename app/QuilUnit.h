// TMainForm: the main window of quillet. Owns the lister and the ZIP maintenance object, the
// table of listed entries and its list views, the menus, the toolbar and the status panel, and
// runs start-up (creation, activation with the command line and the association step) and close.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/ArchiveKind.h"
#include "app/EntryIcons.h"
#include "app/EntryModel.h"
#include "app/EntryTable.h"
#include "app/Settings.h"
#include "engine/list/ZuvOD.h"
#include "zipbridge/ZipKeeper.h"

class QAction;
class QActionGroup;
class QLabel;
class QListView;
class QMenu;
class QProgressBar;
class QStackedWidget;
class QToolBar;
class QTreeView;

namespace quil {

// Exit codes of the window program when a command line ends it at once.
inline constexpr int kExitBadCommandLine = 7;

class TMainForm : public QMainWindow {
 public:
  // `args`: the command line after the program name. `settings`: where the settings store is
  // (empty fields: the user's).
  explicit TMainForm(std::vector<std::string> args, TSettingsContext settings = {});
  ~TMainForm() override;

  // --- start-up and end ---
  // Activation: runs the once-per-run steps (command-line archive, association step, switches).
  // Returns -1 to keep running, or the exit code when the command line ends the program.
  int FormShow();
  // Closing: busy lights, Close Archive, settings saved. Also run by closing the window.
  void FormClose();

  // --- opening and listing ---
  void OpenArchiveClick();            // the Open dialog, then OpenArchiveFile
  void NewArchiveClick();             // the New dialog, then NewArchiveFile
  void OpenArchiveFile(const std::string& path);
  void NewArchiveFile(std::string path);
  void AttachArchive(const std::string& path);
  void ListArchive();
  void CloseArchiveClick();
  void RefreshClick();

  // --- list ---
  void SelectAllClick();
  void UnselectAllClick();
  void InvertSelectionClick();
  void UpdateSelectionStatus();
  // A sort item or a click on a column header: a new order relists; the current one does nothing.
  void SortClick(int order);
  void ColumnClick(int column);
  // View styles 0 large icons, 1 small icons, 2 list, 3 details.
  void SetViewStyle(int style);
  void DefaultColumnsWidthsClick();
  void ToolbarClick();
  void StatusBarClick();
  void AsWebPageClick();
  // Typing a character in the list: the next entry (after the focused one, no wrapping) whose
  // name begins with it becomes the selected and focused one.
  void TypeAhead(const QString& text);

  // --- state ---
  const std::string& OpenArchivePath() const { return FOpenArchivePath; }
  const std::string& ArchiveKind() const { return FArchiveKind; }
  const TEntryTable& EntryTable() const { return FEntries; }
  TEntryModel& Model() { return *FModel; }
  TSettings& Settings() { return FSettings; }
  const TCommandState& Commands() const { return FCommands; }
  bool InstallEnabled() const { return FInstallEnabled; }
  bool InstallOffered() const { return FInstallOffered; }
  int64_t TotalPacked() const { return FTotalPacked; }
  int64_t TotalUnpacked() const { return FTotalUnpacked; }
  const std::string& TotalUnpackedKB() const { return FUnpackedKB; }
  const std::string& TotalPackedKB() const { return FPackedKB; }
  const std::string& TotalRatio() const { return FTotalRatio; }
  std::vector<std::string>& TempFileList() { return FTempFiles; }
  QString SPanel1Text() const;
  QString SPanel2Text() const;
  bool SPanel2Visible() const;
  QTreeView* DetailsView() const { return FTree; }
  QListView* IconsView() const { return FIconList; }
  // The view of the current style.
  QWidget* ListView() const;
  QAction* Action(const char* name) const;
  QToolBar* Toolbar() const { return FToolbar; }
  // The menu the list shows on a right click: the file menu with a selection, the sort menu
  // without, none when no archive is open.
  QMenu* ListPopup() const { return FListPopup; }
  TLoadResult SettingsLoadResult() const { return FLoadResult; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void BuildMenus();
  void BuildToolbar();
  void BuildList();
  void BuildStatusPanel();
  void ApplySettings();
  void ApplyCommands();
  void ApplyToolbarLayout();
  void SetLights(bool busy);
  void AddRecent(const std::string& path);
  void RemoveRecent(const std::string& path);
  void ReadZipDirectory();
  void ListFromZip();
  void ListFromLister();
  void OnListerRead();
  QAction* NewAction(const char* name, const QString& text, void (TMainForm::*slot)());

  std::vector<std::string> FArgs;
  TSettingsContext FSettingsContext;
  TSettings FSettings;
  TLoadResult FLoadResult = lrLoaded;

  // Engine objects.
  TZuvOD FLister;
  TZipKeeper FZipKeeper;

  // Per-run state.
  std::string FOpenArchivePath;
  std::string FArchiveKind;
  TEntryTable FEntries;
  int64_t FTotalPacked = 0, FTotalUnpacked = 0;
  std::string FUnpackedKB, FPackedKB, FTotalRatio;
  std::vector<std::string> FTempFiles;
  TCommandState FCommands;
  bool FStartupArchiveDone = false, FSwitchesPending = true, FAssociationCheckPending = true;
  bool FInstallOffered = false, FRecentReopening = false, FReopenedFromRecent = false;
  bool FInstallEnabled = false, FPlainClick = true;
  // The file state the ZIP object last read its directory at: a listing right after attaching
  // reuses that reading when the file has not changed since.
  std::string FZipReadStamp;
  int32_t FListerError = 0;
  std::string FListerErrorName;

  // Widgets.
  std::unique_ptr<TEntryIcons> FIcons;
  TEntryModel* FModel = nullptr;
  QStackedWidget* FStack = nullptr;
  QTreeView* FTree = nullptr;
  QListView* FIconList = nullptr;
  QWidget* FStatusPanel = nullptr;
  QLabel* FSPanel1 = nullptr;
  QLabel* FSPanel2 = nullptr;
  QProgressBar* FProgress = nullptr;
  QLabel* FLedOn = nullptr;
  QLabel* FLedOff = nullptr;
  QToolBar* FToolbar = nullptr;
  std::vector<QAction*> FButtons;     // by TToolbarButton
  std::vector<QAction*> FSeparators;  // after groups 0..3
  QMenu* FSortMenu = nullptr;
  QMenu* FSortPopUp = nullptr;
  QMenu* FFilePopUp = nullptr;
  QMenu* FListPopup = nullptr;
  std::vector<QAction*> FSortActions;   // by order - 1
  std::vector<QAction*> FStyleActions;  // large, small, list, details
};

}  // namespace quil
