#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "TestDirs.h"
#include "platform/Associations.h"
#include "platform/Registry.h"
#include "platform/XdgDirs.h"

using namespace quil;
using namespace quil::test;

namespace {

// A temporary per-user tree with every XDG folder inside it.
struct XdgTree {
  TempDir dir;
  ScopedEnv env;
  XdgTree() {
    env.Set("HOME", dir / "home");
    env.Set("XDG_CONFIG_HOME", dir / "config");
    env.Set("XDG_DATA_HOME", dir / "data");
    env.Set("QUILLET_CONFIG_HOME", std::nullopt);
  }
};

int RunQuiet(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()); }

}  // namespace

TEST(Associations, ExecArgumentQuoting) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"/usr/bin/quillet", "/usr/bin/quillet"},
      {"/opt/My Apps/quillet", "\"/opt/My Apps/quillet\""},
      {"/opt/a\"b/q", "\"/opt/a\\\"b/q\""},
      {"/opt/$HOME/`x`", "\"/opt/\\$HOME/\\`x\\`\""},
      {"/opt/back\\slash", "\"/opt/back\\\\slash\""},
      {"/opt/100%/q", "/opt/100%%/q"},
      {"/opt/it's;(x)", "\"/opt/it's;(x)\""},
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteExecArgument(c.in), c.out) << c.in;
}

TEST(Associations, RegisterWritesTheDesktopEntryMimePackageAndDirectory) {
  XdgTree t;
  TAssociationPaths p = DefaultAssociationPaths();
  EXPECT_EQ(p.DesktopFile, t.dir / "data/applications/quillet.desktop");
  EXPECT_EQ(p.MimeAppsList, t.dir / "config/mimeapps.list");
  EXPECT_EQ(p.RegistryFile, t.dir / "config/quillet/registry.reg");
  const std::string program = "/opt/My Apps/back\\slash/quillet";
  ASSERT_TRUE(RegisterProgram(program, p));

  std::string desktop = ReadFile(p.DesktopFile);
  EXPECT_NE(desktop.find("\nExec=\"/opt/My Apps/back\\\\\\\\slash/quillet\" %f\n"), std::string::npos)
      << desktop;
  EXPECT_NE(desktop.find("\nTryExec=/opt/My Apps/back\\\\slash/quillet\n"), std::string::npos);
  EXPECT_EQ(desktop.rfind("[Desktop Entry]\nType=Application\n", 0), 0u);
  EXPECT_NE(desktop.find("\nMimeType=application/zip;application/vnd.rar;application/x-rar;"
                         "application/x-ace;application/x-arc;application/x-arj;application/x-lha;"
                         "application/x-lzh-compressed;application/x-java-archive;"
                         "application/vnd.ms-cab-compressed;application/x-zoo;application/x-tar;"
                         "application/gzip;application/x-compress;application/x-compressed-tar;"
                         "text/x-uuencode;text/x-xxencode;\n"),
            std::string::npos)
      << desktop;
  EXPECT_NE(ReadFile(p.MimePackage).find("<glob pattern=\"*.xxe\"/>"), std::string::npos);

  TRegistry reg(p.RegistryFile);
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Quillet\\General", false));
  EXPECT_EQ(reg.ReadString("Directory"), program);

  // Every start registers again; unchanged files are left alone, a moved program is followed.
  auto stamp = std::filesystem::last_write_time(p.DesktopFile);
  ASSERT_TRUE(RegisterProgram(program, p));
  EXPECT_EQ(std::filesystem::last_write_time(p.DesktopFile), stamp);
  ASSERT_TRUE(RegisterProgram("/usr/bin/quillet", p));
  EXPECT_NE(ReadFile(p.DesktopFile).find("\nExec=/usr/bin/quillet %f\n"), std::string::npos);
  TRegistry reg2(p.RegistryFile);
  ASSERT_TRUE(reg2.OpenKey("\\Software\\Quillet\\General", false));
  EXPECT_EQ(reg2.ReadString("Directory"), "/usr/bin/quillet");

  // The user's MIME database was rebuilt from the package and knows the two name patterns.
  if (!FindOnPath("update-mime-database").empty()) {
    std::string globs = ReadFile(t.dir / "data/mime/globs2");
    EXPECT_NE(globs.find("text/x-xxencode:*.xxe"), std::string::npos) << globs;
    EXPECT_NE(globs.find("application/x-arc:*.arc"), std::string::npos);
  }
}

TEST(Associations, DefaultsMergeIntoMimeAppsKeepingForeignLines) {
  XdgTree t;
  TAssociationPaths p = DefaultAssociationPaths();
  const std::string before =
      "# my associations\n"
      "[Added Associations]\n"
      "application/zip=org.gnome.FileRoller.desktop;\n"
      "\n"
      "[Default Applications]\n"
      "application/zip=org.gnome.FileRoller.desktop;\n"
      "text/plain=org.gnome.TextEditor.desktop;\n"
      "Application/X-Tar = other.desktop;quillet.desktop;third.desktop\n"
      "\n"
      "[Removed Associations]\n"
      "image/png=gimp.desktop;\n";
  WriteFile(p.MimeAppsList, before);
  EXPECT_FALSE(IsAssociated("011111111111", p));

  ASSERT_TRUE(AssociateArchives("011111111111", p));
  const std::string after = ReadFile(p.MimeAppsList);
  const std::string expected =
      "# my associations\n"
      "[Added Associations]\n"
      "application/zip=org.gnome.FileRoller.desktop;\n"
      "\n"
      "[Default Applications]\n"
      "application/zip=org.gnome.FileRoller.desktop;\n"
      "text/plain=org.gnome.TextEditor.desktop;\n"
      "application/x-tar=quillet.desktop;other.desktop;third.desktop;\n"
      "application/vnd.rar=quillet.desktop;\n"
      "application/x-rar=quillet.desktop;\n"
      "application/x-ace=quillet.desktop;\n"
      "application/x-arc=quillet.desktop;\n"
      "application/x-arj=quillet.desktop;\n"
      "application/x-lha=quillet.desktop;\n"
      "application/x-lzh-compressed=quillet.desktop;\n"
      "application/vnd.ms-cab-compressed=quillet.desktop;\n"
      "application/x-zoo=quillet.desktop;\n"
      "application/gzip=quillet.desktop;\n"
      "application/x-compress=quillet.desktop;\n"
      "application/x-compressed-tar=quillet.desktop;\n"
      "text/x-uuencode=quillet.desktop;\n"
      "text/x-xxencode=quillet.desktop;\n"
      "\n"
      "[Removed Associations]\n"
      "image/png=gimp.desktop;\n";
  EXPECT_EQ(after, expected);
  EXPECT_TRUE(IsAssociated("011111111111", p));
  EXPECT_FALSE(IsAssociated("111111111111", p));  // ".zip" and ".jar" were left alone
  EXPECT_TRUE(IsAssociated("000000000000", p));

  // Running again changes nothing; associating ".zip" later puts it first.
  ASSERT_TRUE(AssociateArchives("011111111111", p));
  EXPECT_EQ(ReadFile(p.MimeAppsList), expected);
  ASSERT_TRUE(AssociateArchives("100000000000", p));
  EXPECT_EQ(DefaultApplication(ReadFile(p.MimeAppsList), "application/zip"), "quillet.desktop");
  EXPECT_TRUE(IsAssociated("111111111111", p));
}

TEST(Associations, MimeAppsWithoutADefaultsSection) {
  struct Case {
    std::string before, after;
  } cases[] = {
      {"", "[Default Applications]\napplication/x-zoo=quillet.desktop;\n"},
      {"[Added Associations]\nimage/png=a.desktop;",
       "[Added Associations]\nimage/png=a.desktop;\n\n"
       "[Default Applications]\napplication/x-zoo=quillet.desktop;\n"},
      {"[Default Applications]\n", "[Default Applications]\napplication/x-zoo=quillet.desktop;\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MergeMimeApps(c.before, MimeTypesForFlags("000000010000")), c.after) << c.before;
  }
}

TEST(Associations, TemplateIsAnEmptyZipInTheTemplatesFolder) {
  XdgTree t;
  // The Templates folder comes from user-dirs.dirs when it names one.
  struct Case {
    std::string line, folder;
  } cases[] = {
      {"", "home/Templates"},
      {"XDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"", "home/Vorlagen"},
      {"XDG_TEMPLATES_DIR=\"$HOME/\"", "home/Templates"},
      {"XDG_TEMPLATES_DIR=\"relative\"", "home/Templates"},
      {"XDG_TEMPLATES_DIR=\"" + t.dir / "abs/\\\"q\\\"" + "\"", "abs/\"q\""},
  };
  for (const Case& c : cases) {
    WriteFile(t.dir / "config/user-dirs.dirs", "# written by xdg-user-dirs-update\n" + c.line + "\n");
    EXPECT_EQ(TemplatesFolder(), t.dir / c.folder) << c.line;
  }

  WriteFile(t.dir / "config/user-dirs.dirs", "XDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"\n");
  TAssociationPaths p = DefaultAssociationPaths();
  // Written whatever the flags say; the defaults list is not touched when no kind is chosen.
  ASSERT_TRUE(AssociateArchives("000000000000", p));
  EXPECT_FALSE(std::filesystem::exists(p.MimeAppsList));
  const std::string tmpl = t.dir / "home/Vorlagen/Quillet File.zip";
  EXPECT_EQ(p.TemplateFile, tmpl);
  const std::string bytes = ReadFile(tmpl);
  EXPECT_EQ(bytes, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  // Other tools read it as a valid archive without entries.
  EXPECT_EQ(RunQuiet("7zz t '" + tmpl + "'"), 0);
  EXPECT_EQ(RunQuiet("bsdtar -tf '" + tmpl + "'"), 0);
}
