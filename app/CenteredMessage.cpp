#include "app/CenteredMessage.h"

#include <QApplication>
#include <QScreen>

namespace quil {
namespace {

TMessageAnswer& Answer() {
  static TMessageAnswer answer;
  return answer;
}

QWidget* MainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->inherits("QMainWindow")) return w;
  return QApplication::activeWindow();
}

}  // namespace

void SetMessageAnswer(TMessageAnswer answer) { Answer() = std::move(answer); }

QRect CenteredMessageGeometry(const QRect& owner, const QSize& box, const QRect& screen) {
  QRect r(QPoint(0, 0), box);
  r.moveCenter(owner.center());
  if (r.right() > screen.right()) r.moveRight(screen.right());
  if (r.bottom() > screen.bottom()) r.moveBottom(screen.bottom());
  if (r.left() < screen.left()) r.moveLeft(screen.left());
  if (r.top() < screen.top()) r.moveTop(screen.top());
  return r;
}

QMessageBox::StandardButton ShowCenteredMessage(const QString& text, QMessageBox::Icon kind,
                                                QMessageBox::StandardButtons buttons,
                                                QWidget* owner) {
  if (Answer()) return Answer()(text, kind, buttons);
  if (!owner) owner = MainWindow();
  QMessageBox box(kind, QStringLiteral("Quillet"), text, buttons, owner);
  box.adjustSize();
  if (owner) {
    QScreen* screen = owner->screen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
    box.move(CenteredMessageGeometry(owner->frameGeometry(), box.frameGeometry().size(), area)
                 .topLeft());
  }
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace quil
