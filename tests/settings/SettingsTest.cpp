#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <variant>

#include "TestDirs.h"
#include "app/Settings.h"
#include "platform/Registry.h"

using namespace quil;
using namespace quil::test;

namespace {

const std::string kProgram = "/opt/quillet/bin/quillet";

// A fresh per-user tree: home, temporary and cache folders inside a temporary folder.
struct Fresh {
  TempDir dir;
  ScopedEnv env;
  TSettingsContext ctx;
  Fresh() {
    std::filesystem::create_directories(dir / "home");
    std::filesystem::create_directories(dir / "tmp");
    env.Set("HOME", dir / "home");
    env.Set("TMPDIR", dir / "tmp");
    env.Set("XDG_CACHE_HOME", dir / "cache");
    env.Set("XDG_CONFIG_HOME", std::nullopt);
    env.Set("QUILLET_CONFIG_HOME", std::nullopt);
    env.Set("PATH", dir / "bin");  // no viewer found: the generic opener's name
    ctx.RegistryFile = dir / "config/registry.reg";
    ctx.ProgramFile = kProgram;
  }
};

using Expected = std::variant<int32_t, std::string>;
struct Row {
  const char* key;
  const char* name;
  Expected value;
};

// Every value of the four keys with its type and first-run value, for a home of H and a
// temporary folder of T (filled in by the test).
std::vector<Row> DefaultTable(const std::string& home, const std::string& tmp) {
  const char* m = "Software\\Quillet";
  const char* a = "Software\\Quillet\\Adding options";
  const char* x = "Software\\Quillet\\Extracting options";
  const char* g = "Software\\Quillet\\General";
  std::vector<Row> rows = {
      {m, "Sort order", 1}, {m, "Last open dir", home + "/"}, {m, "Last add dir", ""},
  };
  for (const char* n : {"Extract1", "Extract2", "Extract3", "Extract4", "Extract5", "SelDir1",
                        "SelDir2", "SelDir3", "SelDir4", "SelDir5"}) {
    rows.push_back({m, n, std::string()});
  }
  rows.push_back({m, "Temp", tmp + "/"});
  rows.push_back({m, "Viewer", std::string("xdg-open")});
  for (const char* n : {"Active_File1", "Active_File2", "Active_File3", "Active_File4",
                        "Active_File5"}) {
    rows.push_back({m, n, std::string()});
  }
  std::vector<Row> rest = {
      {m, "FullRow", 1}, {m, "GridLines", 0}, {m, "ToolbarTips", 1}, {m, "FlatButtons", 1},
      {m, "ShowToolbarText", 1}, {m, "AlignToolbar", 2}, {m, "ViewToolbar", 1},
      {m, "ViewStatusLine", 1}, {m, "ViewStyle", 3}, {m, "AsWebPage", 0}, {m, "AutoAdd", 1},
      {m, "Add folder", 1}, {m, "Add from folder", ""}, {m, "Start-up base folder", 1},
      {m, "Start-up folder", ""}, {m, "Checkout base folder", ""},
      {m, "Associate with Zip files", 0}, {m, "Check for Zip association", 0},
      {m, "Current Tip", 1}, {m, "Tip of the day", 1},
      {a, "Default compression", 0}, {a, "Save Dir names", 0}, {a, "Spanning mode", 2},
      {a, "Spanning MAX volume size", 1440000}, {a, "Spanning Free size", 0},
      {x, "Extract overwrite", 1},
      {g, "Buttons", "11100111100100"}, {g, "LargeButtons", 1}, {g, "AutoVolume", 1},
      {g, "Show view dialog", 1}, {g, "Last view mode", 2}, {g, "Virus Scan Program", ""},
      {g, "Virus Scan Parameters", ""}, {g, "Down case file names", 1},
      {g, "Show open on startup", 0}, {g, "Directory", kProgram},
      {g, "Use Explorer Shell Extensions", 1}, {g, "Automatic Package Installation", 1},
      {g, "Associated Archives", "111111111111"},
  };
  rows.insert(rows.end(), rest.begin(), rest.end());
  return rows;
}

void ExpectStoreHolds(const std::string& file, const std::vector<Row>& rows) {
  TRegistry reg(file);
  std::map<std::string, size_t> perKey;
  for (const Row& r : rows) {
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + r.key, false)) << r.key;
    ++perKey[r.key];
    if (auto* i = std::get_if<int32_t>(&r.value)) {
      EXPECT_EQ(reg.GetDataType(r.name), rdInteger) << r.name;
      if (reg.GetDataType(r.name) == rdInteger) {
        EXPECT_EQ(reg.ReadInteger(r.name), *i) << r.name;
      }
    } else {
      EXPECT_EQ(reg.GetDataType(r.name), rdString) << r.name;
      if (reg.GetDataType(r.name) == rdString) {
        EXPECT_EQ(reg.ReadString(r.name), std::get<std::string>(r.value)) << r.name;
      }
    }
  }
  for (const auto& [key, n] : perKey) {  // nothing beyond the table
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + key, false));
    EXPECT_EQ(reg.GetValueNames().size(), n) << key;
  }
}

void Edit(const std::string& file, const std::function<void(TRegistry&)>& f) {
  TRegistry reg(file);
  f(reg);
  ASSERT_TRUE(reg.Flush());
}

}  // namespace

TEST(Settings, FirstRunWritesEveryValueWithItsDefault) {
  Fresh f;
  EXPECT_FALSE(SettingsComplete(f.ctx));
  TSettings s;
  s.SortOrder = 5;
  EXPECT_EQ(LoadSettings(s, f.ctx), lrFirstRun);
  EXPECT_EQ(s, DefaultSettings(f.ctx));
  EXPECT_EQ(s.SortOrder, 1);
  ExpectStoreHolds(f.ctx.RegistryFile, DefaultTable(f.dir / "home", f.dir / "tmp"));
  EXPECT_TRUE(SettingsComplete(f.ctx));

  // The next start reads what the first one wrote.
  TSettings again;
  EXPECT_EQ(LoadSettings(again, f.ctx), lrLoaded);
  EXPECT_EQ(again, s);
}

TEST(Settings, SaveAndLoadKeepEveryField) {
  Fresh f;
  TSettings s = DefaultSettings(f.ctx);
  s.SortOrder = 8;
  s.LastOpenDir = "/home/ann/Archives \"2024\"\\old/";
  s.LastAddDir = "/srv/\xc3\xa4\n/";
  for (int i = 0; i < 5; ++i) {
    s.Extract[i] = "/x" + std::to_string(i) + "/";
    s.SelDir[i] = "/s" + std::to_string(i) + "/";
    s.ActiveFile[i] = "/a" + std::to_string(i) + ".zip";
  }
  s.Temp = "/var/tmp/";
  s.Viewer = "/usr/bin/less";
  s.FullRow = 0, s.GridLines = 1, s.ToolbarTips = 0, s.FlatButtons = 0, s.ShowToolbarText = 0;
  s.AlignToolbar = 3, s.ViewToolbar = 0, s.ViewStatusLine = 0, s.ViewStyle = 0, s.AsWebPage = 1;
  s.AutoAdd = 0, s.AddFolder = 2, s.AddFromFolder = "/add/", s.StartupBaseFolder = 2;
  s.StartupFolder = "/start/", s.CheckoutBaseFolder = "/co/", s.AssociateWithZipFiles = 1;
  s.CheckForZipAssociation = 1, s.CurrentTip = 26, s.TipOfTheDay = 2;
  s.DefaultCompression = 4, s.SaveDirNames = 1, s.SpanningMode = 0;
  s.SpanningMaxVolumeSize = -1, s.SpanningFreeSize = 2147483647, s.ExtractOverwrite = 0;
  s.Buttons = "00000000000001", s.LargeButtons = 0, s.AutoVolume = 0, s.ShowViewDialog = 0;
  s.LastViewMode = 0, s.VirusScanProgram = "/usr/bin/clamscan", s.VirusScanParameters = "-r %1";
  s.DownCaseFileNames = 0, s.ShowOpenOnStartup = 1, s.UseExplorerShellExtensions = 0;
  s.AutomaticPackageInstallation = 0, s.AssociatedArchives = "010101010101";
  s.Directory = "/somewhere/else";  // always written as the running program

  // A value left over below the main key disappears: the whole key is written anew.
  Edit(f.ctx.RegistryFile, [](TRegistry& r) {
    r.OpenKey("\\Software\\Quillet\\Old stuff", true);
    r.WriteInteger("Stale", 1);
  });
  ASSERT_TRUE(SaveSettings(s, f.ctx));
  TSettings back;
  ASSERT_EQ(LoadSettings(back, f.ctx), lrLoaded);
  s.Directory = kProgram;
  EXPECT_EQ(back, s);
  TRegistry reg(f.ctx.RegistryFile);
  EXPECT_FALSE(reg.KeyExists("\\Software\\Quillet\\Old stuff"));
}

TEST(Settings, AMissingValueMakesTheNextStartAFirstRun) {
  struct Case {
    const char* key;
    const char* name;
  } cases[] = {
      {"Software\\Quillet", "GridLines"},
      {"Software\\Quillet", "Active_File5"},
      {"Software\\Quillet\\Adding options", "Spanning Free size"},
      {"Software\\Quillet\\Extracting options", "Extract overwrite"},
      {"Software\\Quillet\\General", "Associated Archives"},
  };
  for (const Case& c : cases) {
    Fresh f;
    TSettings s = DefaultSettings(f.ctx);
    s.SortOrder = 4;
    ASSERT_TRUE(SaveSettings(s, f.ctx));
    Edit(f.ctx.RegistryFile, [&](TRegistry& r) {
      ASSERT_TRUE(r.OpenKey(std::string("\\") + c.key, false));
      ASSERT_TRUE(r.DeleteValue(c.name));
    });
    EXPECT_EQ(LoadSettings(s, f.ctx), lrFirstRun) << c.name;
    EXPECT_EQ(s.SortOrder, 1) << c.name;
    ExpectStoreHolds(f.ctx.RegistryFile, DefaultTable(f.dir / "home", f.dir / "tmp"));
  }

  // "Directory" alone is not required: it is written back and the settings are kept.
  Fresh f;
  TSettings s = DefaultSettings(f.ctx);
  s.SortOrder = 4;
  ASSERT_TRUE(SaveSettings(s, f.ctx));
  Edit(f.ctx.RegistryFile, [](TRegistry& r) {
    r.OpenKey("\\Software\\Quillet\\General", false);
    r.DeleteValue("Directory");
  });
  EXPECT_EQ(LoadSettings(s, f.ctx), lrLoaded);
  EXPECT_EQ(s.SortOrder, 4);
  TRegistry reg(f.ctx.RegistryFile);
  reg.OpenKey("\\Software\\Quillet\\General", false);
  EXPECT_EQ(reg.ReadString("Directory"), kProgram);
}

TEST(Settings, AMistypedValueGivesDefaultsWithoutSaving) {
  Fresh f;
  TSettings s = DefaultSettings(f.ctx);
  s.ViewStyle = 1;
  ASSERT_TRUE(SaveSettings(s, f.ctx));
  Edit(f.ctx.RegistryFile, [](TRegistry& r) {
    r.OpenKey("\\Software\\Quillet\\General", false);
    r.WriteString("LargeButtons", "1");
  });
  const std::string before = ReadFile(f.ctx.RegistryFile);
  EXPECT_EQ(LoadSettings(s, f.ctx), lrReadFailed);
  EXPECT_EQ(s, DefaultSettings(f.ctx));
  EXPECT_EQ(ReadFile(f.ctx.RegistryFile), before);
}

TEST(Settings, OutOfRangeValuesAreReplacedByDefaults) {
  struct Case {
    const char* key;
    const char* name;
    Expected stored;
    std::function<bool(const TSettings&)> check;
  } cases[] = {
      {"Software\\Quillet", "Sort order", 0, [](auto& s) { return s.SortOrder == 1; }},
      {"Software\\Quillet", "Sort order", 9, [](auto& s) { return s.SortOrder == 1; }},
      {"Software\\Quillet", "Sort order", 0x107, [](auto& s) { return s.SortOrder == 7; }},
      {"Software\\Quillet", "ViewStyle", 4, [](auto& s) { return s.ViewStyle == 3; }},
      {"Software\\Quillet", "AlignToolbar", -1, [](auto& s) { return s.AlignToolbar == 2; }},
      {"Software\\Quillet", "Current Tip", 27, [](auto& s) { return s.CurrentTip == 1; }},
      {"Software\\Quillet", "Tip of the day", 3, [](auto& s) { return s.TipOfTheDay == 1; }},
      {"Software\\Quillet", "FullRow", 256, [](auto& s) { return s.FullRow == 0; }},
      {"Software\\Quillet\\General", "Buttons", "111",
       [](auto& s) { return s.Buttons == "11100111100100"; }},
      {"Software\\Quillet\\General", "Associated Archives", "1111x1111111",
       [](auto& s) { return s.AssociatedArchives == "111111111111"; }},
      {"Software\\Quillet\\General", "Associated Archives", "000000000001",
       [](auto& s) { return s.AssociatedArchives == "000000000001"; }},
  };
  for (const Case& c : cases) {
    Fresh f;
    TSettings s = DefaultSettings(f.ctx);
    ASSERT_TRUE(SaveSettings(s, f.ctx));
    Edit(f.ctx.RegistryFile, [&](TRegistry& r) {
      r.OpenKey(std::string("\\") + c.key, false);
      if (auto* i = std::get_if<int32_t>(&c.stored)) r.WriteInteger(c.name, *i);
      else r.WriteString(c.name, std::get<std::string>(c.stored));
    });
    EXPECT_EQ(LoadSettings(s, f.ctx), lrLoaded) << c.name;
    EXPECT_TRUE(c.check(s)) << c.name;
  }
}

TEST(Settings, ViewerDefaultIsTheFirstTextViewerOnThePath) {
  Fresh f;
  auto tool = [&](const std::string& dir, const std::string& name, mode_t mode) {
    WriteFile(f.dir / (dir + "/" + name), "#!/bin/sh\n");
    chmod((f.dir / (dir + "/" + name)).c_str(), mode);
  };
  tool("bin1", "xdg-open", 0755);
  tool("bin2", "mousepad", 0644);  // not executable: skipped
  tool("bin3", "mousepad", 0755);
  tool("bin3", "gedit", 0755);
  struct Case {
    std::string path, viewer;
  } cases[] = {
      {f.dir / "bin1", f.dir / "bin1/xdg-open"},
      {f.dir / "bin1:" + f.dir / "bin2", f.dir / "bin1/xdg-open"},
      {f.dir / "bin2:relative:" + f.dir / "bin1:" + f.dir / "bin3", f.dir / "bin3/gedit"},
      {f.dir / "nothing", "xdg-open"},
  };
  for (const Case& c : cases) {
    f.env.Set("PATH", c.path);
    EXPECT_EQ(DefaultSettings(f.ctx).Viewer, c.viewer) << c.path;
  }
}

TEST(Settings, TempFolderRule) {
  Fresh f;
  std::filesystem::create_directories(f.dir / "mytemp");
  TSettings s;
  s.Temp = f.dir / "mytemp";
  EXPECT_TRUE(CheckTempFolder(s));
  EXPECT_EQ(s.Temp, f.dir / "mytemp/");
  EXPECT_TRUE(CheckTempFolder(s));
  EXPECT_EQ(s.Temp, f.dir / "mytemp/");

  for (std::string missing : {std::string(), f.dir / "gone/"}) {
    s.Temp = missing;
    EXPECT_TRUE(CheckTempFolder(s));
    EXPECT_EQ(s.Temp, f.dir / "cache/quillet/TEMP/");
    EXPECT_TRUE(std::filesystem::is_directory(s.Temp));
  }

  // No folder can be made: the system temporary folder, reported as a failure.
  WriteFile(f.dir / "cachefile", "x");
  f.env.Set("XDG_CACHE_HOME", f.dir / "cachefile");
  s.Temp = f.dir / "gone";
  EXPECT_FALSE(CheckTempFolder(s));
  EXPECT_EQ(s.Temp, f.dir / "tmp/");
}

TEST(Settings, VirusScannerNeedsAnExistingFile) {
  TempDir dir;
  WriteFile(dir / "scan", "");
  TSettings s;
  EXPECT_FALSE(VirusScannerAvailable(s));
  s.VirusScanProgram = dir / "missing";
  EXPECT_FALSE(VirusScannerAvailable(s));
  s.VirusScanProgram = dir.Path();
  EXPECT_FALSE(VirusScannerAvailable(s));
  s.VirusScanProgram = dir / "scan";
  EXPECT_TRUE(VirusScannerAvailable(s));
}

TEST(Settings, ToolbarLayout) {
  struct Case {
    const char* buttons;
    std::vector<TToolbarButton> visible;
    std::array<bool, 4> separators;
  } cases[] = {
      {"11100111100100",
       {tbNew, tbOpen, tbFavorites, tbAdd, tbDelete, tbExtract, tbView, tbCheckOut},
       {true, false, true, false}},
      {"11111111111111",
       {tbNew, tbOpen, tbFavorites, tbProperties, tbPrint, tbAdd, tbDelete, tbExtract, tbView,
        tbScan, tbTest, tbCheckOut, tbHelp, tbExit},
       {true, true, true, true}},
      {"00000000000000", {}, {false, false, false, false}},
      {"00011000000000", {tbProperties, tbPrint}, {false, false, false, false}},
      {"10000000010000", {tbNew, tbScan}, {false, false, false, false}},
      {"10000010000001", {tbNew, tbDelete, tbExit}, {true, false, false, false}},
      {"00010000000011", {tbProperties, tbHelp, tbExit}, {false, false, false, false}},
  };
  for (const Case& c : cases) {
    TSettings s;
    s.Buttons = c.buttons;
    TToolbarLayout t = ToolbarLayout(s);
    std::vector<TToolbarButton> shown;
    for (int b = 0; b < ToolbarButtonCount; ++b) {
      if (t.Visible[b]) shown.push_back(static_cast<TToolbarButton>(b));
    }
    EXPECT_EQ(shown, c.visible) << c.buttons;
    EXPECT_EQ(t.SeparatorAfter, c.separators) << c.buttons;
    EXPECT_EQ(t.ButtonWidth, 55);
    EXPECT_EQ(t.OpenButtonWidth, 57);
  }

  // Small buttons: a fixed set whatever "Buttons" holds.
  TSettings s;
  s.LargeButtons = 0;
  s.Buttons = "00000000000000";
  TToolbarLayout t = ToolbarLayout(s);
  std::vector<TToolbarButton> shown;
  for (int b = 0; b < ToolbarButtonCount; ++b) {
    if (t.Visible[b]) shown.push_back(static_cast<TToolbarButton>(b));
  }
  EXPECT_EQ(shown, (std::vector<TToolbarButton>{tbNew, tbOpen, tbFavorites, tbAdd, tbDelete,
                                                tbExtract, tbView, tbCheckOut}));
  EXPECT_EQ(t.SeparatorAfter, (std::array<bool, 4>{true, false, true, false}));
  EXPECT_EQ(t.ButtonHeight, 42);
  s.ShowToolbarText = 0;
  EXPECT_EQ(ToolbarLayout(s).ButtonWidth, 30);
  s.LargeButtons = 1;
  EXPECT_EQ(ToolbarLayout(s).ButtonWidth, 40);
  EXPECT_EQ(ToolbarLayout(s).OpenButtonWidth, 47);

  // Captions, hints and visual order as the toolbar shows them.
  EXPECT_STREQ(ToolbarButtons[tbFavorites].Hint, "List archives in your Favorite Zip Folders");
  EXPECT_STREQ(ToolbarButtons[tbCheckOut].Caption, "CheckOut");
  EXPECT_STREQ(ToolbarButtons[tbExit].Hint, "Exit Quillet");
  EXPECT_EQ(ToolbarVisualOrder[6], tbExtract);
  EXPECT_EQ(ToolbarVisualOrder[7], tbDelete);
}
