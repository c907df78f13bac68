#include "designer/fieldvaldialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/dialogbuttons.h"
#include "core/errorbox.h"
#include "core/messagebox.h"
#include "core/screentext.h"
#include "core/store.h"
#include "designer/usertables.h"

namespace sorvane {
namespace {

const QString kNote = QStringLiteral(
    "Used for field that would be inserted into URL. Commonly, the table has only one field. "
    "Before saving, it will delete all data of the table, so, it's no use to common table.");
const QString kEmptyFirst = QStringLiteral(
    "This operation will empty this table first,\nand then save the values,do you understand\nand "
    "want to continue?");

}  // namespace

TfrmFieldVal::TfrmFieldVal(Tdm& store, QWidget* parent)
    : QDialog(parent), store_(store), mmVals_(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("Field Value Editor"));
  resize(420, 360);

  mmVals_->setObjectName(QStringLiteral("mmVals"));
  mmVals_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mmVals_->setLineWrapMode(QPlainTextEdit::NoWrap);

  auto* lblNote = new QLabel(kNote, this);
  lblNote->setObjectName(QStringLiteral("lblNote"));
  lblNote->setWordWrap(true);

  auto* buttons = OkCancelRow(this, &TfrmFieldVal::Save);
  auto* btnClear = new QPushButton(QStringLiteral("Clear"), this);
  btnClear->setObjectName(QStringLiteral("btnClear"));
  btnClear->setAutoDefault(false);
  connect(btnClear, &QPushButton::clicked, mmVals_, &QPlainTextEdit::clear);

  buttons->insertWidget(0, btnClear);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(mmVals_, 1);
  layout->addWidget(lblNote);
  layout->addLayout(buttons);
}

void TfrmFieldVal::SetFldID(int fid) {
  fid_ = fid;
  // Every value ends its own line, as lines added to the box do; the box's last line break
  // starts no further value (Lines()).
  QString text;
  for (const std::string& value : LoadFieldValues(store_, taid_, fid_)) {
    text += ScreenText(value);
    text += QLatin1Char('\n');
  }
  mmVals_->setPlainText(text);
}

std::vector<std::string> TfrmFieldVal::Lines() const {
  QStringList lines = mmVals_->toPlainText().split(QLatin1Char('\n'));
  if (lines.last().isEmpty()) lines.removeLast();
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(lines.size()));
  for (const QString& line : lines)
    out.push_back(Bytes(line));
  return out;
}

void TfrmFieldVal::Save() {
  if (MessageBox::Question(this, QStringLiteral("Confirm"), kEmptyFirst) != QMessageBox::Yes) {
    return;
  }
  bool inserted = false;
  RunCommand(this, [&] {
    DeleteUserData(store_, taid_);
    for (const std::string& line : Lines()) {
      try {
        InsertFieldValue(store_, taid_, fid_, line);
        inserted = true;
        setResult(QDialog::Accepted);
      } catch (const StoreError&) {
        MessageBox::Warning(this, QStringLiteral("Note"),
                            ScreenText(line) + QStringLiteral("\n\nis too long"));
      }
    }
  });
  if (inserted) accept();
}

}  // namespace sorvane
