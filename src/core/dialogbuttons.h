#pragma once

// The "OK" and "Cancel" buttons that close most of the program's dialogs: a row with the two at
// its right end, "OK" (btnOK) the default button and calling `confirm`, "Cancel" (btnCancel)
// rejecting the dialog and never taking Enter.

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace sorvane {

template <class Dialog, class Confirm>
QHBoxLayout* OkCancelRow(Dialog* dialog, Confirm confirm) {
  auto* btnOK = new QPushButton(QStringLiteral("OK"), dialog);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  QObject::connect(btnOK, &QPushButton::clicked, dialog, confirm);
  QObject::connect(btnCancel, &QPushButton::clicked, dialog, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(btnOK);
  row->addWidget(btnCancel);
  return row;
}

}  // namespace sorvane
