#pragma once

// The message-box seam. Every modal message box of the program goes through MessageBox, so that
// tests can answer it in advance (setNextAnswer) instead of a user, and can read what it said.
//
// Interface thread only. With an answer queued, Show returns it without showing anything; with
// the queue empty it shows a real modal QMessageBox. Either way the box is recorded.

#include <QMessageBox>
#include <QString>

#include <vector>

namespace sorvane {

class MessageBox {
 public:
  using Button = QMessageBox::StandardButton;
  using Buttons = QMessageBox::StandardButtons;

  // What a box said, as recorded for tests.
  struct Record {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Buttons buttons;
  };

  // Shows a modal box over `parent` and returns the button pressed; NoButton when the box was
  // closed without one.
  static Button Show(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                     const QString& text, Buttons buttons,
                     Button default_button = QMessageBox::NoButton);
  static Button Warning(QWidget* parent, const QString& caption, const QString& text,
                        Buttons buttons = QMessageBox::Ok);
  static Button Question(QWidget* parent, const QString& caption, const QString& text,
                         Buttons buttons = QMessageBox::Yes | QMessageBox::No);
  static Button Information(QWidget* parent, const QString& caption, const QString& text,
                            Buttons buttons = QMessageBox::Ok);
  static Button Critical(QWidget* parent, const QString& caption, const QString& text,
                         Buttons buttons = QMessageBox::Ok);

  // Test hook: queues the answer of the next box; answers are taken in the order queued.
  static void setNextAnswer(Button answer);
  // Answers queued and not yet taken.
  static int pendingAnswers();
  // Every box since the last clearRecord(), oldest first.
  static const std::vector<Record>& shown();
  // The last box shown; an empty record when there was none.
  static Record lastShown();
  // Forgets the recorded boxes and drops queued answers.
  static void clearRecord();
};

}  // namespace sorvane
