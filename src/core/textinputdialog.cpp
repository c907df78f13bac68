#include "core/textinputdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/dialogbuttons.h"
#include "core/screentext.h"

namespace sorvane {

TfrmTextInput::TfrmTextInput(QWidget* parent)
    : QDialog(parent),
      lblTit_(new QLabel(QStringLiteral("Some reminder text here:"), this)),
      edtTxt_(new QLineEdit(this)),
      lblMsg_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Please enter..."));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

  lblTit_->setObjectName(QStringLiteral("lblTit"));
  edtTxt_->setObjectName(QStringLiteral("edtTxt"));
  edtTxt_->setMinimumWidth(260);
  lblTit_->setBuddy(edtTxt_);
  lblMsg_->setObjectName(QStringLiteral("lblMsg"));
  lblMsg_->setStyleSheet(QStringLiteral("color: red"));

  auto* buttons = OkCancelRow(this, &TfrmTextInput::Confirm);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblTit_);
  layout->addWidget(edtTxt_);
  layout->addWidget(lblMsg_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmTextInput::SetTit(const std::string& text) {
  lblTit_->setText(ScreenText(text));
}

std::string TfrmTextInput::Tit() const {
  return Bytes(lblTit_->text());
}

void TfrmTextInput::SetTxt(const std::string& text) {
  edtTxt_->setText(ScreenText(text));
}

std::string TfrmTextInput::Txt() const {
  return Bytes(edtTxt_->text());
}

void TfrmTextInput::Confirm() {
  if (edtTxt_->text().isEmpty()) {
    lblMsg_->setText(QStringLiteral("Cann't be empty!"));
    return;
  }
  accept();
}

}  // namespace sorvane
