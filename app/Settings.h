// The settings store of the window program: every user setting, with its registry value name,
// type and default, read at start (LoadSettings) and written at close (SaveSettings). The values
// live under four keys below HKEY_CURRENT_USER; the file-manager extension reads two of them
// ("Directory" and "Use Explorer Shell Extensions" under the General key).
//
// Plain C++ with no window toolkit: the window program applies the loaded values to its window.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quil {

class TRegistry;

inline constexpr char kMainKey[] = "Software\\Quillet";
inline constexpr char kAddingKey[] = "Software\\Quillet\\Adding options";
inline constexpr char kExtractingKey[] = "Software\\Quillet\\Extracting options";
inline constexpr char kGeneralKey[] = "Software\\Quillet\\General";

// Every setting. Fields marked (byte) are stored as registry integers and kept as one byte; the
// two (dword) ones keep 32 bits. Folder paths end in '/'. The initialisers are the fixed defaults;
// the ones that depend on the machine come from DefaultSettings().
struct TSettings {
  // Key "Software\Quillet"
  uint8_t SortOrder = 1;                  // "Sort order": 1 name .. 8 archive order
  std::string LastOpenDir;                // "Last open dir"
  std::string LastAddDir;                 // "Last add dir"
  std::array<std::string, 5> Extract;     // "Extract1".."Extract5": recent extraction folders
  std::array<std::string, 5> SelDir;      // "SelDir1".."SelDir5": recent chosen folders
  std::string Temp;                       // "Temp": folder for temporary files
  std::string Viewer;                     // "Viewer": external viewer program
  std::array<std::string, 5> ActiveFile;  // "Active_File1".."Active_File5": recent archives
  uint8_t FullRow = 1;                    // "FullRow"
  uint8_t GridLines = 0;                  // "GridLines"
  uint8_t ToolbarTips = 1;                // "ToolbarTips"
  uint8_t FlatButtons = 1;                // "FlatButtons"
  uint8_t ShowToolbarText = 1;            // "ShowToolbarText"
  uint8_t AlignToolbar = 2;               // "AlignToolbar": 0 left, 1 right, 2 top, 3 bottom
  uint8_t ViewToolbar = 1;                // "ViewToolbar"
  uint8_t ViewStatusLine = 1;             // "ViewStatusLine"
  uint8_t ViewStyle = 3;                  // "ViewStyle": 0 large icons, 1 small, 2 list, 3 details
  uint8_t AsWebPage = 0;                  // "AsWebPage"
  uint8_t AutoAdd = 1;                    // "AutoAdd"
  uint8_t AddFolder = 1;                  // "Add folder": 0 archive's folder, 1 last, 2 fixed
  std::string AddFromFolder;              // "Add from folder"
  uint8_t StartupBaseFolder = 1;          // "Start-up base folder": 0 program, 1 last, 2 fixed
  std::string StartupFolder;              // "Start-up folder"
  std::string CheckoutBaseFolder;         // "Checkout base folder"
  uint8_t AssociateWithZipFiles = 0;      // "Associate with Zip files"
  uint8_t CheckForZipAssociation = 0;     // "Check for Zip association": 1 never ask
  uint8_t CurrentTip = 1;                 // "Current Tip": 1..26
  uint8_t TipOfTheDay = 1;                // "Tip of the day": 0 always, 1 no archive, 2 never

  // Key "Software\Quillet\Adding options"
  uint8_t DefaultCompression = 0;         // "Default compression": 0..4
  uint8_t SaveDirNames = 0;               // "Save Dir names"
  uint8_t SpanningMode = 2;               // "Spanning mode": 0..2
  int32_t SpanningMaxVolumeSize = 1440000;  // "Spanning MAX volume size" (dword)
  int32_t SpanningFreeSize = 0;           // "Spanning Free size" (dword)

  // Key "Software\Quillet\Extracting options"
  uint8_t ExtractOverwrite = 1;           // "Extract overwrite"

  // Key "Software\Quillet\General"
  std::string Buttons = "11100111100100";  // "Buttons": one flag per toolbar button
  uint8_t LargeButtons = 1;               // "LargeButtons"
  uint8_t AutoVolume = 1;                 // "AutoVolume"
  uint8_t ShowViewDialog = 1;             // "Show view dialog"
  uint8_t LastViewMode = 2;               // "Last view mode": 0 associated, 1 internal, 2 viewer
  std::string VirusScanProgram;           // "Virus Scan Program"
  std::string VirusScanParameters;        // "Virus Scan Parameters"
  uint8_t DownCaseFileNames = 1;          // "Down case file names"
  uint8_t ShowOpenOnStartup = 0;          // "Show open on startup"
  std::string Directory;                  // "Directory": the program's full file name
  int32_t UseExplorerShellExtensions = 1;  // "Use Explorer Shell Extensions" (dword)
  int32_t AutomaticPackageInstallation = 1;  // "Automatic Package Installation" (dword)
  std::string AssociatedArchives = "111111111111";  // "Associated Archives": one flag per kind

  bool operator==(const TSettings&) const = default;
};

// Where the store lives and which program it belongs to. Empty fields take the defaults: the
// store of RegistryFilePath() and the running program (CurrentProgramFile()).
struct TSettingsContext {
  std::string RegistryFile;
  std::string ProgramFile;
};

// Full file name of the running program (from /proc/self/exe); empty when unknown.
std::string CurrentProgramFile();

// Every field at its default, with the machine-dependent ones filled: "Last open dir" the home
// folder, "Temp" the system temporary folder, "Viewer" the first text viewer found on PATH,
// "Directory" the program file.
TSettings DefaultSettings(const TSettingsContext& ctx = {});

// True when the four keys exist and hold every value of their tables ("Directory" excepted). When
// the General key exists without "Directory", writes it as a side effect. Failures yield false.
bool SettingsComplete(const TSettingsContext& ctx = {});

// Size of the main window on a first run (it is then centred on the screen).
inline constexpr int kFirstRunWindowWidth = 477;
inline constexpr int kFirstRunWindowHeight = 350;

enum TLoadResult {
  lrLoaded,      // every value read from the store
  lrFirstRun,    // the store was incomplete: defaults set and saved
  lrReadFailed,  // a value was missing or mistyped: defaults set, not saved
};
// Reads every value into `s`. On a first run or a failed read `s` holds the defaults; the window
// program then sizes its window and creates its shortcuts as on a first run. Values outside the
// range the program understands (an unknown sort order, a flag string of the wrong length ...)
// are replaced by their defaults.
TLoadResult LoadSettings(TSettings& s, const TSettingsContext& ctx = {});

// Replaces the four keys with the values of `s` ("Directory" is always the program file). False
// when the store could not be written; callers may ignore it, as nothing is reported to the user.
bool SaveSettings(const TSettings& s, const TSettingsContext& ctx = {});

// The temporary-folder rule, run before each listing: an existing "Temp" folder gets a trailing
// '/'; otherwise the folder "TEMP" in Quillet's cache folder is created and used. False when no
// usable folder could be made ("Temp" is then the system temporary folder).
bool CheckTempFolder(TSettings& s);

// True when "Virus Scan Program" is set and names an existing file: the Virus Scan command and
// its button are enabled exactly then.
bool VirusScannerAvailable(const TSettings& s);

// Toolbar buttons, in the order of the "Buttons" flags.
enum TToolbarButton : uint8_t {
  tbNew, tbOpen, tbFavorites, tbProperties, tbPrint, tbAdd, tbDelete, tbExtract, tbView, tbScan,
  tbTest, tbCheckOut, tbHelp, tbExit,
};
inline constexpr int ToolbarButtonCount = 14;
inline constexpr int ToolbarGroupCount = 5;

struct TToolbarButtonInfo {
  const char* Name;     // "NewButton"
  const char* Caption;  // "New"
  const char* Hint;     // "Create a new archive"
  uint8_t Group;        // 0..4, the visual group it sits in
};
extern const std::array<TToolbarButtonInfo, ToolbarButtonCount> ToolbarButtons;
// The visual order: [New, Open, Favorites] [Properties, Print] [Add, Extract, Delete, View]
// [Scan, Test, CheckOut] [Help, Exit].
extern const std::array<TToolbarButton, ToolbarButtonCount> ToolbarVisualOrder;

struct TToolbarLayout {
  std::array<bool, ToolbarButtonCount> Visible{};            // by button
  std::array<bool, ToolbarGroupCount - 1> SeparatorAfter{};  // after groups 0..3
  int ButtonWidth = 0, ButtonHeight = 0;  // 0 width: sized to the caption
  int OpenButtonWidth = 0;                // the Open button is wider in large mode
};
// Which buttons and separators the toolbar shows and how large the buttons are, from "Buttons",
// "LargeButtons" and "ShowToolbarText".
TToolbarLayout ToolbarLayout(const TSettings& s);

}  // namespace quil
