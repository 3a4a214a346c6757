// Draws the main window offscreen with an archive open and saves it as a PNG, for the
// documentation. Usage: quillet-screenshot OUT.png ARCHIVE [VIEWSTYLE 0..3]
#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>

#include "app/QuilUnit.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: quillet-screenshot OUT.png ARCHIVE [VIEWSTYLE]\n");
    return 7;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QTemporaryDir config;
  setenv("QUILLET_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  quil::TMainForm form({});
  form.resize(760, 480);
  form.show();
  form.OpenArchiveFile(QDir(QString::fromLocal8Bit(argv[2])).absolutePath().toStdString());
  if (argc > 3) form.SetViewStyle(std::atoi(argv[3]));
  if (form.Model().rowCount() > 2) {
    form.DetailsView()->selectionModel()->select(
        form.Model().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form.DetailsView()->selectionModel()->select(
        form.Model().index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 2;
}
