#include "authoring/autodialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "authoring/dialogparts.h"
#include "authoring/digitsonly.h"
#include "core/screentext.h"

namespace sorvane {

TfrmAuto::TfrmAuto(QWidget* parent)
    : QDialog(parent),
      lblNote_(new QLabel(QStringLiteral("Specify end condition:"), this)),
      rbRange_(new QRadioButton(QStringLiteral("Specify range"), this)),
      rbTag_(new QRadioButton(QStringLiteral("Specify end tag"), this)),
      edtFrom_(new QLineEdit(QStringLiteral("1"), this)),
      edtTo_(new QLineEdit(this)),
      edtTag_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Auto increment field"));
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  rbRange_->setObjectName(QStringLiteral("rbRange"));
  rbTag_->setObjectName(QStringLiteral("rbTag"));
  rbRange_->setChecked(true);
  edtFrom_->setObjectName(QStringLiteral("edtFrom"));
  edtTo_->setObjectName(QStringLiteral("edtTo"));
  edtTag_->setObjectName(QStringLiteral("edtTag"));
  for (QLineEdit* number : {edtFrom_, edtTo_}) {
    SetDigitsOnly(number);
    number->setFixedWidth(70);
  }
  edtTag_->setMinimumWidth(220);

  auto* grid = new QGridLayout;
  grid->addWidget(lblNote_, 0, 0, 1, 5);
  grid->addWidget(rbRange_, 1, 0, 1, 5);
  auto* lblFrom = new QLabel(QStringLiteral("From:"), this);
  lblFrom->setBuddy(edtFrom_);
  auto* lblTo = new QLabel(QStringLiteral("To:"), this);
  lblTo->setBuddy(edtTo_);
  grid->addWidget(lblFrom, 2, 1);
  grid->addWidget(edtFrom_, 2, 2);
  grid->addWidget(lblTo, 2, 3);
  grid->addWidget(edtTo_, 2, 4);
  grid->addWidget(rbTag_, 3, 0, 1, 5);
  grid->addWidget(edtTag_, 4, 1, 1, 4);
  grid->setColumnMinimumWidth(0, 16);
  grid->setColumnStretch(4, 1);

  auto* buttonColumn = new QVBoxLayout;
  const DialogButtons buttons = AddDialogButtons(this, buttonColumn, "insertauto.html");
  buttonColumn->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addSpacing(8);
  layout->addLayout(buttonColumn);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setTabOrder(rbRange_, edtFrom_);
  setTabOrder(edtFrom_, edtTo_);
  setTabOrder(edtTo_, rbTag_);
  setTabOrder(rbTag_, edtTag_);

  connect(buttons.ok, &QPushButton::clicked, this, &TfrmAuto::Confirm);
  // The first page is given; the last one is what is usually typed.
  edtTo_->setFocus();
}

std::string TfrmAuto::Txt() const {
  if (rbRange_->isChecked())
    return "<AUTOINC:" + Bytes(edtFrom_->text()) + "," + Bytes(edtTo_->text()) + "/>";
  return "<AUTOINC:" + Bytes(edtTag_->text()) + "/>";
}

void TfrmAuto::Confirm() {
  bool filled = true;
  if (rbRange_->isChecked()) {
    if (edtFrom_->text().isEmpty()) {
      edtFrom_->setFocus();
      filled = false;
    }
    if (edtTo_->text().isEmpty()) {
      edtTo_->setFocus();
      filled = false;
    }
  } else if (edtTag_->text().isEmpty()) {
    edtTag_->setFocus();
    filled = false;
  } else if (edtTag_->text().contains(QLatin1String("/>"))) {
    // The tag would end inside the text: the run would take the end text only up to there.
    lblNote_->setText(QStringLiteral("The end tag cannot contain \"/>\"."));
    edtTag_->setFocus();
    return;
  }
  if (filled) {
    accept();
  } else {
    lblNote_->setText(QStringLiteral("Filling is not completed."));
  }
}

}  // namespace sorvane
