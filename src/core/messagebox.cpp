#include "core/messagebox.h"

#include <deque>

namespace sorvane {
namespace {

std::deque<MessageBox::Button>& Answers() {
  static std::deque<MessageBox::Button> answers;
  return answers;
}

std::vector<MessageBox::Record>& Records() {
  static std::vector<MessageBox::Record> records;
  return records;
}

}  // namespace

MessageBox::Button MessageBox::Show(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, Buttons buttons, Button default_button) {
  Records().push_back({caption, text, icon, buttons});
  if (!Answers().empty()) {
    const Button answer = Answers().front();
    Answers().pop_front();
    return answer;
  }
  QMessageBox box(icon, caption, text, buttons, parent);
  if (default_button != QMessageBox::NoButton) box.setDefaultButton(default_button);
  box.exec();
  return box.clickedButton() ? box.standardButton(box.clickedButton()) : QMessageBox::NoButton;
}

MessageBox::Button MessageBox::Warning(QWidget* parent, const QString& caption, const QString& text,
                                       Buttons buttons) {
  return Show(parent, QMessageBox::Warning, caption, text, buttons);
}

MessageBox::Button MessageBox::Question(QWidget* parent, const QString& caption,
                                        const QString& text, Buttons buttons) {
  return Show(parent, QMessageBox::Question, caption, text, buttons);
}

MessageBox::Button MessageBox::Information(QWidget* parent, const QString& caption,
                                           const QString& text, Buttons buttons) {
  return Show(parent, QMessageBox::Information, caption, text, buttons);
}

MessageBox::Button MessageBox::Critical(QWidget* parent, const QString& caption,
                                        const QString& text, Buttons buttons) {
  return Show(parent, QMessageBox::Critical, caption, text, buttons);
}

void MessageBox::setNextAnswer(Button answer) {
  Answers().push_back(answer);
}

int MessageBox::pendingAnswers() {
  return static_cast<int>(Answers().size());
}

const std::vector<MessageBox::Record>& MessageBox::shown() {
  return Records();
}

MessageBox::Record MessageBox::lastShown() {
  return Records().empty() ? Record{} : Records().back();
}

void MessageBox::clearRecord() {
  Records().clear();
  Answers().clear();
}

}  // namespace sorvane
