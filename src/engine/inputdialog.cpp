#include "engine/inputdialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/dialogbuttons.h"
#include "core/screentext.h"

namespace sorvane {

TfrmInput::TfrmInput(QWidget* parent)
    : QDialog(parent),
      lblTitOne_(new QLabel(QStringLiteral("Field name:"), this)),
      edtValOne_(new QLineEdit(this)),
      lblTitTwo_(new QLabel(QStringLiteral("Field value:"), this)),
      edtValTwo_(new QLineEdit(this)),
      cbImage_(new QCheckBox(QStringLiteral("Value on an image"), this)),
      lblNoteMsg_(new QLabel(QString::fromLatin1(kNoteInitial), this)) {
  setWindowTitle(QStringLiteral("Please enter..."));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

  lblTitOne_->setObjectName(QStringLiteral("lblTitOne"));
  edtValOne_->setObjectName(QStringLiteral("edtValOne"));
  edtValOne_->setMinimumWidth(280);
  lblTitOne_->setBuddy(edtValOne_);
  lblTitTwo_->setObjectName(QStringLiteral("lblTitTwo"));
  edtValTwo_->setObjectName(QStringLiteral("edtValTwo"));
  lblTitTwo_->setBuddy(edtValTwo_);
  cbImage_->setObjectName(QStringLiteral("cbImage"));
  lblNoteMsg_->setObjectName(QStringLiteral("lblNoteMsg"));
  connect(cbImage_, &QCheckBox::toggled, this, &TfrmInput::ImageToggled);

  auto* buttons = OkCancelRow(this, &TfrmInput::Confirm);

  auto* fields = new QGridLayout;
  fields->addWidget(lblTitOne_, 0, 0);
  fields->addWidget(edtValOne_, 0, 1);
  fields->addWidget(lblTitTwo_, 1, 0);
  fields->addWidget(edtValTwo_, 1, 1);
  fields->addWidget(cbImage_, 2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblNoteMsg_);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmInput::SetValOne(const std::string& text) {
  edtValOne_->setText(ScreenText(text));
}

std::string TfrmInput::ValOne() const {
  return Bytes(edtValOne_->text());
}

void TfrmInput::SetValTwo(const std::string& text) {
  edtValTwo_->setText(ScreenText(text));
}

std::string TfrmInput::ValTwo() const {
  return Bytes(edtValTwo_->text());
}

void TfrmInput::SetIsVerifyCode(bool on) {
  cbImage_->setChecked(on);
  ImageToggled(on);
}

bool TfrmInput::IsVerifyCode() const {
  return cbImage_->isChecked();
}

void TfrmInput::ImageToggled(bool on) {
  lblTitTwo_->setText(on ? QStringLiteral("Image URL:") : QStringLiteral("Field value:"));
}

void TfrmInput::Confirm() {
  QLineEdit* empty = edtValOne_->text().isEmpty()   ? edtValOne_
                     : edtValTwo_->text().isEmpty() ? edtValTwo_
                                                    : nullptr;
  if (empty == nullptr) {
    accept();
    return;
  }
  lblNoteMsg_->setText(QString::fromLatin1(kNoteEmpty));
  empty->setFocus();
}

}  // namespace sorvane
