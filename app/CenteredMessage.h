// Message boxes of the window program and its dialogs: caption "Quillet", centred over the main
// window and moved so that they lie wholly on the screen.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace quil {

// Shows `text` with the icon of `kind` (warning, critical, information, question) and `buttons`
// (Ok, or Yes|No); returns the button pressed. `owner` is the window to centre on (the main
// window when null).
QMessageBox::StandardButton ShowCenteredMessage(const QString& text, QMessageBox::Icon kind,
                                                QMessageBox::StandardButtons buttons,
                                                QWidget* owner = nullptr);

// Where a message box of size `box` goes: centred on `owner`, then moved into `screen`.
QRect CenteredMessageGeometry(const QRect& owner, const QSize& box, const QRect& screen);

// Replaces the message box by `answer` (for runs without a user, such as tests); an empty
// function restores the box.
using TMessageAnswer = std::function<QMessageBox::StandardButton(
    const QString& text, QMessageBox::Icon kind, QMessageBox::StandardButtons buttons)>;
void SetMessageAnswer(TMessageAnswer answer);

}  // namespace quil
