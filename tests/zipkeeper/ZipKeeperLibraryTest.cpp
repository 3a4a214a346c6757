// The ZIP maintenance object driving libqzip.so: command records, the callback's answers, and
// Add / Delete end to end.
#include <gtest/gtest.h>

#include "../zipwrite/ZipTestKit.h"
#include "libs/common/ZipDllApi.h"
#include "zipbridge/UnzipCommandRecord.h"
#include "zipbridge/ZipCommandRecord.h"
#include "zipbridge/ZipKeeper.h"

using namespace quil;
using namespace ziptest;

namespace {
const std::string kLibDir = QUIL_BINARY_DIR "/lib";
}

TEST(ZipKeeperLibrary, CommandRecordFields) {
  TZipKeeper k;
  k.FSpecArgs = {"a", "b"};
  k.AddOptions = {AddUpdate, AddFreshen, AddDirNames};
  ZipCommandRecord r(k, 160, "x.zip", nullptr);
  ASSERT_FALSE(r.IsOldLayout());
  QZipCmdRec* n = r.NewLayout();
  EXPECT_EQ(n->Update, -1);
  EXPECT_EQ(n->Freshen, 0);          // update wins
  EXPECT_EQ(n->JunkFolderNames, 0);  // folder names kept
  EXPECT_EQ(n->NoFolderEntries, -1);
  EXPECT_EQ(n->Level, 9);
  EXPECT_EQ(n->CheckValue, 7);
  EXPECT_EQ(n->SpecCount, 2);
  EXPECT_STREQ(n->Specs[1].Spec, "b");
  EXPECT_STREQ(n->StoreSuffixes, ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha");
  EXPECT_EQ(n->Comment, nullptr);
  k.AddOptions = {};
  ZipCommandRecord plain(k, 160, "x.zip", nullptr);
  EXPECT_EQ(plain.NewLayout()->JunkFolderNames, -1);
  // Delete clears the add-only fields.
  k.AddOptions = {AddEncrypt, AddRecurseDirs, AddMove, AddUpdate, AddDirNames};
  ZipCommandRecord del(k, 160, "x.zip", nullptr);
  del.MakeDelete();
  EXPECT_EQ(del.NewLayout()->DeleteEntries, -1);
  for (int32_t v : {del.NewLayout()->Encrypt, del.NewLayout()->JunkFolderNames,
                    del.NewLayout()->Recurse, del.NewLayout()->Grow, del.NewLayout()->Move,
                    del.NewLayout()->Update, del.NewLayout()->Freshen}) {
    EXPECT_EQ(v, 0);
  }
  // An old library gets the old layout, without temporary folder, comment or exclusions.
  k.TempDir = "/tmp";
  k.FSpecArgsExcl = {"*.o"};
  ZipCommandRecord old(k, 150, "x.zip", nullptr);
  ASSERT_TRUE(old.IsOldLayout());
  EXPECT_EQ(old.OldLayout()->CheckValue, 7);
  EXPECT_STREQ(old.OldLayout()->Specs[0], "a");
  EXPECT_EQ(old.OldLayout()->Specs[2], nullptr);
  k.SetPasswordReqCount(20);
  EXPECT_EQ(k.PasswordReqCount(), 15u);
}

TEST(ZipKeeperLibrary, CallbackAnswers) {
  TZipKeeper k;
  k.Unattended = false;
  QZipCallbackRec rec{};
  auto call = [&](int action, int32_t v1, int64_t v2, const char* text) {
    std::memset(&rec, 0, sizeof rec);
    rec.Caller = &k;
    rec.ActionCode = action;
    rec.Value1 = v1;
    rec.Value2 = v2;
    std::strcpy(rec.Text, text);
    return k.LibraryCallback(rec);
  };
  // CRC error without a handler: "no opinion".
  call(QZIP_ACTION_CRC_ERROR, 0x1234, 0x5678, "f");
  EXPECT_EQ(rec.Value1, 2);
  // A password request answered with nothing: flag 0, repeat count 0.
  k.OnPasswordError = [](TZipKeeper&, std::string& pw, const std::string&, uint32_t&) {
    pw.clear();
  };
  call(QZIP_ACTION_PASSWORD, 0, 3, "f");
  EXPECT_EQ(rec.Value1, 0);
  EXPECT_EQ(rec.Value2, 0);
  // Answered: the text carries it, the repeat count is capped at 15.
  k.OnPasswordError = [](TZipKeeper&, std::string& pw, const std::string& f, uint32_t& n) {
    EXPECT_EQ(f, "dir/f");
    pw = "pw";
    n = 40;
  };
  call(QZIP_ACTION_PASSWORD, 0, 3, "dir\\f  ");
  EXPECT_EQ(rec.Value1, 1);
  EXPECT_EQ(rec.Value2, 15);
  EXPECT_STREQ(rec.Text, "pw");
  // Two different texts in the add-password confirmation: 10104, no password.
  k.OnPasswordError = nullptr;
  int asked = 0;
  SetZipPasswordDialog([&](const std::string&, const std::string&, std::string& t) {
    t = ++asked == 1 ? "one" : "two";
    return true;
  });
  call(QZIP_ACTION_PASSWORD, 3, 1, "f");
  EXPECT_EQ(k.ErrorCode(), 10104);
  EXPECT_EQ(rec.Value1, 0);
  SetZipPasswordDialog(nullptr);
  // A message sets the error state and reaches OnMessage; cancel makes the callback say stop.
  int code = 0;
  k.OnMessage = [&](TZipKeeper&, int c, const std::string&) { code = c; };
  EXPECT_EQ(call(QZIP_ACTION_MESSAGE, 0x1203, 0, "bad"), 0);
  EXPECT_EQ(code, 0x1203);
  EXPECT_EQ(k.ErrorCode(), 0x03);
  EXPECT_EQ(k.ErrorDetail(), 0x1203);
  k.SetCancelRequest(true);
  EXPECT_EQ(call(QZIP_ACTION_BYTES_DONE, 0, 10, ""), -1);
}

TEST(ZipKeeperLibrary, MissingLibraryDoesNothing) {
  ScratchDir d;
  TZipKeeper k;
  k.SetDLLDirectory(d.Path.string() + "/");
  EXPECT_EQ(k.DLLDirectory(), d.Path.string());
  k.SetZipFileName(d / "a.zip");
  k.FSpecArgs = {"whatever"};
  k.Add();
  EXPECT_EQ(k.ErrorCode(), 10604);
  EXPECT_EQ(k.ErrorMessage(), "libqzip.so not found!");
  EXPECT_EQ(k.DoneCount(), 0);
  EXPECT_EQ(k.FSpecArgs.size(), 1u);
  EXPECT_FALSE(fs::exists(d / "a.zip"));
  EXPECT_EQ(k.ZipLibraryVersion(), 0);
  // The checks before loading.
  TZipKeeper e;
  e.Add();
  EXPECT_EQ(e.ErrorCode(), 10301);
  e.FSpecArgs = {"x"};
  e.Add();
  EXPECT_EQ(e.ErrorCode(), 10102);
  e.Delete();
  EXPECT_EQ(e.ErrorCode(), 10102);
}

TEST(ZipKeeperLibrary, AddAndDeleteThroughTheLibrary) {
  ScratchDir d;
  ASSERT_EQ(0, ::chdir(d.Path.c_str()));
  PutFile(d / "tree/a.txt", std::string(5000, 'a'));
  PutFile(d / "tree/sub/b.txt", "bee\n");
  PutFile(d / "tree/sub/c.gif", std::string(3000, 'g'));
  TZipKeeper k;
  k.SetDLLDirectory(kLibDir);
  EXPECT_EQ(k.ZipLibraryVersion(), 160);
  k.SetZipFileName(d / "k.zip");
  k.AddOptions = {AddDirNames, AddRecurseDirs, AddEncrypt};
  k.Password = "pass";
  k.FSpecArgs = {"tree"};
  k.FSpecArgsExcl = {"b.txt"};
  std::vector<std::string> progress;
  int dirUpdates = 0;
  k.OnDirUpdate = [&](TZipKeeper&) { ++dirUpdates; };
  k.OnProgress = [&](TZipKeeper&, ProgressType t, const std::string& f, int64_t n) {
    progress.push_back(std::to_string(int(t)) + ":" + f + ":" + std::to_string(n));
  };
  k.OnSetNewName = [](TZipKeeper&, std::string& name, bool& changed) {
    if (name == "tree/a.txt") {
      name = "renamed\\a.txt";
      changed = true;
    }
  };
  k.Add();
  EXPECT_EQ(k.DoneCount(), 2) << k.ErrorMessage();
  EXPECT_TRUE(k.FSpecArgs.empty());
  EXPECT_TRUE(k.FSpecArgsExcl.empty());
  EXPECT_FALSE(k.WriteBusy());
  EXPECT_EQ(dirUpdates, 1);  // the List after the add
  ASSERT_EQ(k.EntryTotal(), 2);
  EXPECT_EQ(k.Contents()[0].EntryName, "renamed/a.txt");
  EXPECT_TRUE(k.Contents()[0].IsEncrypted);
  EXPECT_EQ(k.Contents()[1].EntryName, "tree/sub/c.gif");
  EXPECT_EQ(k.Contents()[1].CompressionMethod, 0);  // stored suffix
  std::vector<std::string> expect = {
      "3::2",    "4::8000", "0:renamed/a.txt:5000", "1::5000", "0:tree/sub/c.gif:3000",
      "1::3000", "2::0"};
  EXPECT_EQ(progress, expect);
  std::string out;
  EXPECT_EQ(Shell("unzip -tq -P pass " + Quote(d / "k.zip"), &out), 0) << out;

  k.FSpecArgs = {"renamed/*"};
  k.Delete();
  EXPECT_EQ(k.DoneCount(), 1);
  ASSERT_EQ(k.EntryTotal(), 1);
  EXPECT_EQ(k.Contents()[0].EntryName, "tree/sub/c.gif");
  EXPECT_EQ(Shell("unzip -tq -P pass " + Quote(d / "k.zip"), &out), 0) << out;
}

TEST(ZipKeeperLibrary, UnzipCommandRecordFields) {
  TZipKeeper k;
  k.FSpecArgs = {"*.txt"};
  k.ExtrOptions = {ExtrUpdate, ExtrFreshen, ExtrDirNames, ExtrTest};
  k.SetPasswordReqCount(4);
  UnzipCommandRecord r(k, 160, "x.zip", nullptr);
  ASSERT_FALSE(r.IsOldLayout());
  EXPECT_EQ(r.NewLayout()->Update, -1);
  EXPECT_EQ(r.NewLayout()->Freshen, 0);
  EXPECT_EQ(r.NewLayout()->FolderNames, -1);
  EXPECT_EQ(r.NewLayout()->TestOnly, -1);
  EXPECT_EQ(r.NewLayout()->Overwrite, 0);
  EXPECT_EQ(r.NewLayout()->PasswordRequestCount, 4);
  EXPECT_EQ(r.NewLayout()->CheckValue, 7);
  EXPECT_STREQ(r.NewLayout()->Specs[0].Spec, "*.txt");
  UnzipCommandRecord mid(k, 155, "x.zip", nullptr);
  EXPECT_EQ(mid.NewLayout()->PasswordRequestCount, 0);  // only libraries above 159 get it
  // An old library, unattended, encrypting, no password: a filler password so it never asks.
  k.Unattended = true;
  k.AddOptions = {AddEncrypt};
  UnzipCommandRecord old(k, 151, "x.zip", nullptr);
  ASSERT_TRUE(old.IsOldLayout());
  EXPECT_EQ(std::strlen(old.OldLayout()->Password), 80u);
  EXPECT_EQ(old.OldLayout()->CheckValue, 7);
  EXPECT_STREQ(old.OldLayout()->Specs[0], "*.txt");
  UnzipCommandRecord current(k, 160, "x.zip", nullptr);
  EXPECT_STREQ(current.NewLayout()->Password, "");
}

TEST(ZipKeeperLibrary, ExtractWithoutItsLibraryDoesNothing) {
  ScratchDir d;
  PutFile(d / "a.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  TZipKeeper k;
  k.SetDLLDirectory(d.Path.string());
  k.SetZipFileName(d / "a.zip");
  k.Unattended = true;  // no password and no handler: the run would not ask
  k.SetPasswordReqCount(3);
  k.FSpecArgs = {"*"};
  k.Extract();
  EXPECT_EQ(k.ErrorCode(), 10704);
  EXPECT_EQ(k.ErrorMessage(), "libqunzip.so not found!");
  EXPECT_EQ(k.PasswordReqCount(), 3u);
  EXPECT_EQ(k.FSpecArgs.size(), 1u);
  EXPECT_FALSE(k.ExtractBusy());
  EXPECT_EQ(k.UnzipLibraryVersion(), 0);
  TZipKeeper none;
  none.Extract();
  EXPECT_EQ(none.ErrorCode(), 10102);
}

TEST(ZipKeeperLibrary, SplitSetIsRefusedWithAMessage) {
  ScratchDir d;
  for (const char* part : {"span.z01", "span.z02", "span.zip"})
    PutFile(d / part, Slurp(std::string(QUIL_FIXTURES) + "/zip-span/" + part));
  TZipKeeper k;
  k.SetDLLDirectory(kLibDir);
  k.SetZipFileName(d / "span.zip");
  ASSERT_GT(k.LastDisk(), 0);
  k.ExtrBaseDir = d / "out";
  k.FSpecArgs = {"*"};
  k.Extract();
  EXPECT_EQ(k.ErrorCode(), 11024);
  EXPECT_EQ(k.DoneCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(d / "out"));
  EXPECT_FALSE(k.ExtractBusy());
}
