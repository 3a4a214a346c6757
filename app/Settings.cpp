#include "app/Settings.h"

#include <unistd.h>

#include <climits>
#include <string_view>

#include "platform/Registry.h"
#include "platform/XdgDirs.h"

namespace quil {
namespace {

// Field kinds as stored: a registry integer kept in one byte, a registry integer kept in 32 bits,
// a registry string.
struct TByte { uint8_t& V; };
struct TDword { int32_t& V; };
struct TText { std::string& V; };

// Calls visit(key, valueName, field) for every value of the four keys, key by key, in the order
// they are written. The one place that knows every value name.
template <typename S, typename Visit>
void ForEachSetting(S& s, Visit&& visit) {
  static const char* const kExtract[] = {"Extract1", "Extract2", "Extract3", "Extract4", "Extract5"};
  static const char* const kSelDir[] = {"SelDir1", "SelDir2", "SelDir3", "SelDir4", "SelDir5"};
  static const char* const kActive[] = {"Active_File1", "Active_File2", "Active_File3",
                                        "Active_File4", "Active_File5"};
  const char* k = kMainKey;
  visit(k, "Sort order", TByte{s.SortOrder});
  visit(k, "Last open dir", TText{s.LastOpenDir});
  visit(k, "Last add dir", TText{s.LastAddDir});
  for (int i = 0; i < 5; ++i) visit(k, kExtract[i], TText{s.Extract[i]});
  for (int i = 0; i < 5; ++i) visit(k, kSelDir[i], TText{s.SelDir[i]});
  visit(k, "Temp", TText{s.Temp});
  visit(k, "Viewer", TText{s.Viewer});
  for (int i = 0; i < 5; ++i) visit(k, kActive[i], TText{s.ActiveFile[i]});
  visit(k, "FullRow", TByte{s.FullRow});
  visit(k, "GridLines", TByte{s.GridLines});
  visit(k, "ToolbarTips", TByte{s.ToolbarTips});
  visit(k, "FlatButtons", TByte{s.FlatButtons});
  visit(k, "ShowToolbarText", TByte{s.ShowToolbarText});
  visit(k, "AlignToolbar", TByte{s.AlignToolbar});
  visit(k, "ViewToolbar", TByte{s.ViewToolbar});
  visit(k, "ViewStatusLine", TByte{s.ViewStatusLine});
  visit(k, "ViewStyle", TByte{s.ViewStyle});
  visit(k, "AsWebPage", TByte{s.AsWebPage});
  visit(k, "AutoAdd", TByte{s.AutoAdd});
  visit(k, "Add folder", TByte{s.AddFolder});
  visit(k, "Add from folder", TText{s.AddFromFolder});
  visit(k, "Start-up base folder", TByte{s.StartupBaseFolder});
  visit(k, "Start-up folder", TText{s.StartupFolder});
  visit(k, "Checkout base folder", TText{s.CheckoutBaseFolder});
  visit(k, "Associate with Zip files", TByte{s.AssociateWithZipFiles});
  visit(k, "Check for Zip association", TByte{s.CheckForZipAssociation});
  visit(k, "Current Tip", TByte{s.CurrentTip});
  visit(k, "Tip of the day", TByte{s.TipOfTheDay});

  k = kAddingKey;
  visit(k, "Default compression", TByte{s.DefaultCompression});
  visit(k, "Save Dir names", TByte{s.SaveDirNames});
  visit(k, "Spanning mode", TByte{s.SpanningMode});
  visit(k, "Spanning MAX volume size", TDword{s.SpanningMaxVolumeSize});
  visit(k, "Spanning Free size", TDword{s.SpanningFreeSize});

  k = kExtractingKey;
  visit(k, "Extract overwrite", TByte{s.ExtractOverwrite});

  k = kGeneralKey;
  visit(k, "Buttons", TText{s.Buttons});
  visit(k, "LargeButtons", TByte{s.LargeButtons});
  visit(k, "AutoVolume", TByte{s.AutoVolume});
  visit(k, "Show view dialog", TByte{s.ShowViewDialog});
  visit(k, "Last view mode", TByte{s.LastViewMode});
  visit(k, "Virus Scan Program", TText{s.VirusScanProgram});
  visit(k, "Virus Scan Parameters", TText{s.VirusScanParameters});
  visit(k, "Down case file names", TByte{s.DownCaseFileNames});
  visit(k, "Show open on startup", TByte{s.ShowOpenOnStartup});
  visit(k, "Directory", TText{s.Directory});
  visit(k, "Use Explorer Shell Extensions", TDword{s.UseExplorerShellExtensions});
  visit(k, "Automatic Package Installation", TDword{s.AutomaticPackageInstallation});
  visit(k, "Associated Archives", TText{s.AssociatedArchives});
}

constexpr std::string_view kDirectory = "Directory";

// Text viewers tried in order for the "Viewer" default; the generic opener comes last.
constexpr const char* kViewerCandidates[] = {
    "gnome-text-editor", "gedit", "kwrite", "kate", "mousepad", "pluma", "xed", "featherpad",
    "leafpad", "xdg-open",
};

std::string ProgramFileOf(const TSettingsContext& ctx) {
  return ctx.ProgramFile.empty() ? CurrentProgramFile() : ctx.ProgramFile;
}

std::string RegistryFileOf(const TSettingsContext& ctx) {
  return ctx.RegistryFile.empty() ? RegistryFilePath() : ctx.RegistryFile;
}

bool IsFlagString(const std::string& s, size_t length) {
  return s.size() == length && s.find_first_not_of("01") == std::string::npos;
}

// Values the window program indexes with are kept inside their ranges.
void KeepInRange(TSettings& s) {
  const TSettings d;
  auto range = [](uint8_t& v, uint8_t lo, uint8_t hi, uint8_t def) {
    if (v < lo || v > hi) v = def;
  };
  range(s.SortOrder, 1, 8, d.SortOrder);
  range(s.AlignToolbar, 0, 3, d.AlignToolbar);
  range(s.ViewStyle, 0, 3, d.ViewStyle);
  range(s.AddFolder, 0, 2, d.AddFolder);
  range(s.StartupBaseFolder, 0, 2, d.StartupBaseFolder);
  range(s.CurrentTip, 1, 26, d.CurrentTip);
  range(s.TipOfTheDay, 0, 2, d.TipOfTheDay);
  range(s.DefaultCompression, 0, 4, d.DefaultCompression);
  range(s.SpanningMode, 0, 2, d.SpanningMode);
  range(s.LastViewMode, 0, 2, d.LastViewMode);
  if (!IsFlagString(s.Buttons, ToolbarButtonCount)) s.Buttons = d.Buttons;
  if (!IsFlagString(s.AssociatedArchives, 12)) s.AssociatedArchives = d.AssociatedArchives;
}

}  // namespace

std::string CurrentProgramFile() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

TSettings DefaultSettings(const TSettingsContext& ctx) {
  TSettings s;
  s.LastOpenDir = WithTrailingDelim(HomeFolder());
  s.Temp = WithTrailingDelim(SystemTempFolder());
  for (const char* name : kViewerCandidates) {
    s.Viewer = FindOnPath(name);
    if (!s.Viewer.empty()) break;
  }
  if (s.Viewer.empty()) s.Viewer = "xdg-open";
  s.Directory = ProgramFileOf(ctx);
  return s;
}

bool SettingsComplete(const TSettingsContext& ctx) {
  try {
    TRegistry reg(RegistryFileOf(ctx));
    if (reg.OpenKey(std::string("\\") + kGeneralKey, false) && !reg.ValueExists(kDirectory)) {
      reg.WriteString(kDirectory, ProgramFileOf(ctx));
      if (!reg.Flush()) return false;
    }
    for (const char* key : {kMainKey, kAddingKey, kExtractingKey, kGeneralKey}) {
      if (!reg.KeyExists(std::string("\\") + key)) return false;
    }
    TSettings probe;
    bool complete = true;
    std::string openKey;
    ForEachSetting(probe, [&](const char* key, const char* name, auto) {
      if (!complete || name == kDirectory) return;
      if (openKey != key) {
        if (!reg.OpenKey(std::string("\\") + key, false)) {
          complete = false;
          return;
        }
        openKey = key;
      }
      complete = reg.ValueExists(name);
    });
    return complete;
  } catch (const std::exception&) {
    return false;
  }
}

TLoadResult LoadSettings(TSettings& s, const TSettingsContext& ctx) {
  if (!SettingsComplete(ctx)) {
    s = DefaultSettings(ctx);
    SaveSettings(s, ctx);
    return lrFirstRun;
  }
  TSettings read = DefaultSettings(ctx);
  try {
    TRegistry reg(RegistryFileOf(ctx));
    std::string openKey;
    ForEachSetting(read, [&](const char* key, const char* name, auto field) {
      if (openKey != key) {
        if (!reg.OpenKey(std::string("\\") + key, false)) {
          throw ERegistryException(std::string("Failed to open key '") + key + "'");
        }
        openKey = key;
      }
      using F = decltype(field);
      if constexpr (std::is_same_v<F, TByte>) {
        field.V = static_cast<uint8_t>(reg.ReadInteger(name));
      } else if constexpr (std::is_same_v<F, TDword>) {
        field.V = reg.ReadInteger(name);
      } else {
        field.V = reg.ReadString(name);
      }
    });
  } catch (const std::exception&) {
    s = DefaultSettings(ctx);
    return lrReadFailed;
  }
  KeepInRange(read);
  s = std::move(read);
  return lrLoaded;
}

bool SaveSettings(const TSettings& settings, const TSettingsContext& ctx) {
  TSettings s = settings;
  s.Directory = ProgramFileOf(ctx);
  TRegistry reg(RegistryFileOf(ctx));
  try {
    reg.DeleteKey(std::string("\\") + kMainKey);
    std::string openKey;
    ForEachSetting(s, [&](const char* key, const char* name, auto field) {
      if (openKey != key) {
        if (!reg.OpenKey(std::string("\\") + key, true)) {
          throw ERegistryException(std::string("Failed to create key '") + key + "'");
        }
        openKey = key;
      }
      using F = decltype(field);
      if constexpr (std::is_same_v<F, TText>) {
        reg.WriteString(name, field.V);
      } else {
        reg.WriteInteger(name, field.V);
      }
    });
  } catch (const std::exception&) {
    // Stop at the first failure; what was written so far still goes out, as it would have in
    // a store written value by value.
  }
  return reg.Flush();
}

bool CheckTempFolder(TSettings& s) {
  if (!s.Temp.empty() && FolderExists(s.Temp)) {
    s.Temp = WithTrailingDelim(s.Temp);
    return true;
  }
  std::string own = CacheHome() + "/quillet/TEMP";
  if (MakeFolders(own)) {
    s.Temp = own + '/';
    return true;
  }
  s.Temp = WithTrailingDelim(SystemTempFolder());
  return false;
}

bool VirusScannerAvailable(const TSettings& s) {
  return !s.VirusScanProgram.empty() && FileExists(s.VirusScanProgram);
}

const std::array<TToolbarButtonInfo, ToolbarButtonCount> ToolbarButtons = {{
    {"NewButton", "New", "Create a new archive", 0},
    {"OpenButton", "Open", "Open an existing archive", 0},
    {"FavoritesButton", "Favorites", "List archives in your Favorite Zip Folders", 0},
    {"PropertiesButton", "Properties", "Display archive properties", 1},
    {"PrintButton", "Print", "Print a list of files in the open archive", 1},
    {"AddButton", "Add", "Add files to the archive", 2},
    {"DeleteButton", "Delete", "Delete selected file(s)", 2},
    {"ExtractButton", "Extract", "Extract files from the archive", 2},
    {"ViewButton", "View", "View files inside the archive", 2},
    {"ScanButton", "Scan", "Virus scan files", 3},
    {"TestButton", "Test", "Test archive integrity", 3},
    {"CheckOutButton", "CheckOut", "Create icons for files in the archive", 3},
    {"HelpButton", "Help", "Display the help contents", 4},
    {"ExitButton", "Exit", "Exit Quillet", 4},
}};

const std::array<TToolbarButton, ToolbarButtonCount> ToolbarVisualOrder = {
    tbNew, tbOpen, tbFavorites, tbProperties, tbPrint, tbAdd, tbExtract,
    tbDelete, tbView, tbScan, tbTest, tbCheckOut, tbHelp, tbExit,
};

TToolbarLayout ToolbarLayout(const TSettings& s) {
  TToolbarLayout t;
  const bool large = s.LargeButtons == 1;
  const bool text = s.ShowToolbarText == 1;
  if (large) {
    for (int b = 0; b < ToolbarButtonCount; ++b) {
      t.Visible[b] = static_cast<size_t>(b) < s.Buttons.size() && s.Buttons[b] == '1';
    }
    std::array<bool, ToolbarGroupCount> g{};
    for (int b = 0; b < ToolbarButtonCount; ++b) g[ToolbarButtons[b].Group] |= t.Visible[b];
    t.SeparatorAfter[0] = g[0] && (g[1] || g[2]);
    t.SeparatorAfter[1] = g[1] && g[2];
    t.SeparatorAfter[2] = g[2] && g[3];
    t.SeparatorAfter[3] = g[3] && g[4];
    t.ButtonWidth = t.ButtonHeight = text ? 55 : 40;
    t.OpenButtonWidth = text ? 57 : 47;
  } else {
    for (TToolbarButton b : {tbNew, tbOpen, tbFavorites, tbAdd, tbDelete, tbExtract, tbView,
                             tbCheckOut}) {
      t.Visible[b] = true;
    }
    t.SeparatorAfter[0] = t.SeparatorAfter[2] = true;
    t.ButtonWidth = text ? 0 : 30;
    t.ButtonHeight = text ? 42 : 30;
    t.OpenButtonWidth = t.ButtonWidth;
  }
  return t;
}

}  // namespace quil
