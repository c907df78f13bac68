#include "authoring/digitsonly.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace sorvane {

void SetDigitsOnly(QLineEdit* edit, bool on) {
  const QValidator* old = edit->validator();
  edit->setValidator(
      on ? new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit)
         : nullptr);
  delete old;
}

}  // namespace sorvane
