// quillet: the window program. Creates the main window, runs its activation once the message
// loop has started, and ends at once when the command line asks for a run it cannot do.
#include <QApplication>
#include <QTimer>
#include <string>
#include <vector>

#include "app/QuilUnit.h"
#include "platform/LargePages.h"

int main(int argc, char** argv) {
  quil::UseLargePagesForHeap();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  quil::TMainForm form(args);
  form.show();
  int exitCode = -1;
  auto activate = [&] {
    int rc = form.FormShow();
    if (rc >= 0 && exitCode < 0) {
      exitCode = rc;
      QCoreApplication::exit(rc);
    }
  };
  QTimer::singleShot(0, &form, activate);
  QObject::connect(&app, &QGuiApplication::applicationStateChanged, &form,
                   [&](Qt::ApplicationState state) {
                     if (state == Qt::ApplicationActive) activate();
                   });
  int rc = app.exec();
  return exitCode >= 0 ? exitCode : rc;
}
