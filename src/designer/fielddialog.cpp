#include "designer/fielddialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "core/dialogbuttons.h"
#include "core/screentext.h"
#include "designer/usertables.h"

namespace sorvane {

TfrmField::TfrmField(QWidget* parent)
    : QDialog(parent),
      edtTit_(new QLineEdit(this)),
      cbTyp_(new QComboBox(this)),
      lblNote_(
          new QLabel(QStringLiteral("Create/modify a field, enter the title & length:"), this)) {
  setWindowTitle(QStringLiteral("Please enter..."));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

  lblNote_->setObjectName(QStringLiteral("lblNote"));
  lblNote_->setTextFormat(Qt::PlainText);

  edtTit_->setObjectName(QStringLiteral("edtTit"));
  edtTit_->setMinimumWidth(240);
  auto* lblTit = new QLabel(QStringLiteral("Field title:"), this);
  lblTit->setBuddy(edtTit_);

  cbTyp_->setObjectName(QStringLiteral("cbTyp"));
  for (int typ = 0; typ < kFieldTypeCount; ++typ)
    cbTyp_->addItem(ScreenText(FieldTypeChoice(typ)));
  cbTyp_->setCurrentIndex(0);
  auto* lblTyp = new QLabel(QStringLiteral("Length:"), this);
  lblTyp->setBuddy(cbTyp_);
  connect(cbTyp_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) typ_ = index;
  });

  auto* buttons = OkCancelRow(this, &TfrmField::Confirm);

  auto* fields = new QGridLayout;
  fields->addWidget(lblTit, 0, 0);
  fields->addWidget(edtTit_, 0, 1);
  fields->addWidget(lblTyp, 1, 0);
  fields->addWidget(cbTyp_, 1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblNote_);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::string TfrmField::Tit() const {
  return Bytes(edtTit_->text());
}

void TfrmField::SetTit(const std::string& title) {
  edtTit_->setText(ScreenText(title));
}

void TfrmField::SetTyp(int typ) {
  cbTyp_->setCurrentIndex(typ >= 0 && typ < kFieldTypeCount ? typ : -1);
  typ_ = typ;
}

std::string TfrmField::Txt() const {
  return std::string(FieldColumnType(typ_));
}

void TfrmField::Confirm() {
  const QString title = edtTit_->text();
  if (std::none_of(title.begin(), title.end(), [](QChar c) { return c.unicode() > u' '; })) {
    lblNote_->setText(QStringLiteral("Field title can not be empty!"));
    return;
  }
  accept();
}

}  // namespace sorvane
