// The window program under test: one offscreen application for the whole program, and a fresh
// settings and desktop folder for each test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/CenteredMessage.h"
#include "support/TempDir.h"

namespace quil::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Settings in a fresh folder, desktop files in fresh XDG folders, message boxes answered and
// recorded instead of shown.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    Env("QUILLET_CONFIG_HOME", FDir / "config/quillet");
    Env("XDG_CONFIG_HOME", FDir / "config");
    Env("XDG_DATA_HOME", FDir / "data");
    Env("XDG_CACHE_HOME", FDir / "cache");
    Env("HOME", FDir.Path());
    SetMessageAnswer([this](const QString& text, QMessageBox::Icon, QMessageBox::StandardButtons) {
      Messages.push_back(text.toStdString());
      return Answer;
    });
  }
  void TearDown() override {
    SetMessageAnswer(nullptr);
    for (auto& [name, old] : FSaved) {
      if (old.first)
        setenv(name.c_str(), old.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  void Env(const std::string& name, const std::string& value) {
    const char* v = getenv(name.c_str());
    if (!FSaved.count(name)) FSaved[name] = {v != nullptr, v ? v : ""};
    setenv(name.c_str(), value.c_str(), 1);
  }
  static std::string Fixture(const std::string& rel) {
    return std::string(QUIL_FIXTURES) + "/" + rel;
  }

  TTempDir FDir;
  std::vector<std::string> Messages;
  QMessageBox::StandardButton Answer = QMessageBox::Ok;

 private:
  std::map<std::string, std::pair<bool, std::string>> FSaved;
};

}  // namespace quil::test
