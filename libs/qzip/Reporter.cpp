#include "libs/qzip/Reporter.h"

#include <cstring>

namespace quil::qzip {

QZipCallbackRec Reporter::Make(int action, int32_t v1, int64_t v2, const std::string& text) const {
  QZipCallbackRec r;
  std::memset(&r, 0, sizeof r);
  r.WindowHandle = FWindow;
  r.Caller = FCaller;
  r.ActionCode = action;
  r.Value1 = v1;
  r.Value2 = v2;
  std::strncpy(r.Text, text.c_str(), QZIP_CALLBACK_TEXT - 1);
  return r;
}

int32_t Reporter::Call(QZipCallbackRec& r) {
  if (!FCb) return 0;
  int32_t rc = FCb(&r);
  if (rc != 0) throw ZipAbort{QZIP_MSG_ABORTED, "Operation cancelled"};
  return rc;
}

void Reporter::FileBegins(const std::string& name, int64_t size) {
  auto r = Make(QZIP_ACTION_FILE_BEGINS, 0, size, name);
  Call(r);
}
void Reporter::BytesDone(int64_t n) {
  auto r = Make(QZIP_ACTION_BYTES_DONE, 0, n, "");
  Call(r);
}
void Reporter::BatchEnd() {
  auto r = Make(QZIP_ACTION_BATCH_END, 0, 0, "");
  Call(r);
}
void Reporter::TotalFiles(int64_t n) {
  auto r = Make(QZIP_ACTION_TOTAL_FILES, 0, n, "");
  Call(r);
}
void Reporter::TotalBytes(int64_t n) {
  auto r = Make(QZIP_ACTION_TOTAL_BYTES, 0, n, "");
  Call(r);
}
void Reporter::Message(int code, const std::string& text) {
  auto r = Make(QZIP_ACTION_MESSAGE, code, 0, text);
  // A stop request during a failure report changes nothing: the command ends anyway.
  if (FCb) FCb(&r);
}

std::string Reporter::OfferName(const std::string& name) {
  auto r = Make(QZIP_ACTION_NEW_NAME, 0, 0, name);
  Call(r);
  if (r.ActionCode != QZIP_ACTION_PASSWORD) return name;  // unchanged
  r.Text[QZIP_CALLBACK_TEXT - 1] = 0;
  return std::string(r.Text);
}

std::string Reporter::AskPassword(const std::string& forFile) {
  // Bit 0: a password for adding. Bit 1 marks the request as unanswered; an answer sets the value
  // to exactly 1 (password given) or 0, so a callback that ignores the action gives no password.
  auto r = Make(QZIP_ACTION_PASSWORD, 3, 1, forFile);
  Call(r);
  if (r.Value1 != 1) return {};
  r.Text[QZIP_PASSWORD_BUFFER - 1] = 0;
  return std::string(r.Text);
}

std::string Reporter::AskExtractPassword(const std::string& forFile, int32_t& repeat) {
  // Value1 bit 1 marks the request as unanswered (bit 0 clear: a password for reading).
  auto r = Make(QZIP_ACTION_PASSWORD, 2, repeat, forFile);
  Call(r);
  if (r.Value1 != 1) {
    repeat = 0;
    return {};
  }
  repeat = int32_t(r.Value2 < 0 ? 0 : r.Value2 > 15 ? 15 : r.Value2);
  r.Text[QZIP_PASSWORD_BUFFER - 1] = 0;
  return std::string(r.Text);
}

int Reporter::CrcError(const std::string& name, uint32_t found, uint32_t expected) {
  auto r = Make(QZIP_ACTION_CRC_ERROR, int32_t(found), expected, name);
  // An unanswered question keeps the found CRC in Value1: no opinion.
  Call(r);
  return r.Value1 == 0 || r.Value1 == 1 ? r.Value1 : 2;
}

bool Reporter::ConfirmOverwrite(const std::string& name, bool existingIsOlder) {
  auto r = Make(QZIP_ACTION_FILE_EXISTS, existingIsOlder ? 1 : 0, 0, name);
  Call(r);
  return (r.Value2 & 0xFF) != 0;
}

void Reporter::Skipped(const std::string& name, int reason, int error) {
  auto r = Make(QZIP_ACTION_FILE_SKIPPED, error, reason & 0xFF, name);
  Call(r);
}

}  // namespace quil::qzip
