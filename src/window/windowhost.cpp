#include "window/windowhost.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>

#include "core/messagebox.h"
#include "core/screentext.h"
#include "engine/imgvaldialog.h"
#include "window/gridmodel.h"
#include "window/statuspanels.h"

namespace sorvane {

void WindowHost::ShowStatus(std::string_view text) {
  status_->SetText(0, ScreenText(text));
  if (since_pump_.elapsed() < kPumpInterval) return;
  ProcessEvents();
}

void WindowHost::ShowProgressBar(std::int64_t done, std::int64_t total, std::string_view label) {
  bar_done_ = done;
  bar_total_ = total;
  bar_label_.assign(label);
  bar_pending_ = true;
  const bool first = status_->Progress()->isHidden();
  if (first || (total > 0 && done >= total) || since_bar_.elapsed() >= kPumpInterval) {
    ApplyProgress();
  }
}

void WindowHost::HideProgressBar() {
  bar_pending_ = false;
  status_->HideProgress();
}

void WindowHost::ApplyProgress() {
  if (!bar_pending_) return;
  bar_pending_ = false;
  since_bar_.restart();
  status_->ShowProgress(bar_done_, bar_total_, ScreenText(bar_label_));
}

void WindowHost::ProcessEvents() {
  since_pump_.restart();
  model_->FlushIfDue();
  ApplyProgress();
  QCoreApplication::processEvents();
}

bool WindowHost::StopEnabled() const {
  return stop_->isEnabled();
}

void WindowHost::SetStopEnabled(bool enabled) {
  stop_->setEnabled(enabled);
}

RunHost::Answer WindowHost::Message(std::string_view caption, std::string_view text, Icon icon,
                                    Buttons buttons) {
  QMessageBox::Icon box_icon = QMessageBox::Information;
  switch (icon) {
    case Icon::kInformation:
      box_icon = QMessageBox::Information;
      break;
    case Icon::kWarning:
      box_icon = QMessageBox::Warning;
      break;
    case Icon::kQuestion:
      box_icon = QMessageBox::Question;
      break;
    case Icon::kError:
      box_icon = QMessageBox::Critical;
      break;
  }
  QMessageBox::StandardButtons box_buttons = QMessageBox::Ok;
  if (buttons == Buttons::kOkCancel) box_buttons = QMessageBox::Ok | QMessageBox::Cancel;
  if (buttons == Buttons::kYesNo) box_buttons = QMessageBox::Yes | QMessageBox::No;
  switch (MessageBox::Show(window_, box_icon, ScreenText(caption), ScreenText(text), box_buttons)) {
    case QMessageBox::Ok:
      return Answer::kOk;
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    default:
      // A box closed without a button counts as its refusal.
      return buttons == Buttons::kYesNo ? Answer::kNo
             : buttons == Buttons::kOk  ? Answer::kOk
                                        : Answer::kCancel;
  }
}

void WindowHost::ShowCause(std::string_view cause) {
  if (cause.empty()) {
    notes_.clear();
    notes_left_out_ = 0;
  }
  cause_ = cause;
  ShowTip();
}

void WindowHost::ShowNote(std::string_view note) {
  if (static_cast<int>(notes_.size()) < kNoteLimit) {
    notes_.emplace_back(note);
  } else {
    ++notes_left_out_;
  }
  ShowTip();
}

void WindowHost::ShowTip() {
  std::string tip = cause_;
  for (const std::string& note : notes_) {
    if (!tip.empty()) tip += '\n';
    tip += note;
  }
  if (notes_left_out_ > 0) tip += "\n... and " + std::to_string(notes_left_out_) + " more.";
  status_->Panel(0)->setToolTip(ScreenText(tip));
}

bool WindowHost::AskImageCode(const VerificationCodeRequest& request, std::string& code) {
  return TfrmImgVal::Ask(request, window_, code);
}

}  // namespace sorvane
