#include "authoring/transdialog.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "authoring/dialogparts.h"
#include "authoring/digitsonly.h"
#include "authoring/translationrules.h"
#include "core/errorbox.h"
#include "core/messagebox.h"
#include "core/screentext.h"

namespace sorvane {
namespace {

constexpr int kParameterLimit = 50;
const QString kAdd = QStringLiteral("Add");
const QString kSave = QStringLiteral("Save");

QLineEdit* ParameterInput(const QString& name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMaxLength(kParameterLimit);
  edit->setFixedWidth(90);
  return edit;
}

}  // namespace

TfrmTrans::TfrmTrans(Tdm& store, QWidget* parent)
    : QDialog(parent),
      store_(store),
      cbRel_(new QComboBox(this)),
      lblA_(new QLabel(this)),
      edtA_(ParameterInput(QStringLiteral("edtA"), this)),
      lblB_(new QLabel(this)),
      edtB_(ParameterInput(QStringLiteral("edtB"), this)),
      lvList_(new QTreeWidget(this)),
      btnAdd_(new QPushButton(kAdd, this)) {
  setWindowTitle(QStringLiteral("Translate"));
  auto* lblNote = new QLabel(
      QStringLiteral("Translate values in this column. @ stands for original value."), this);
  lblNote->setObjectName(QStringLiteral("lblNote"));
  cbRel_->setObjectName(QStringLiteral("cbRel"));
  for (const RelationLook& relation : kRelations)
    cbRel_->addItem(QString::fromLatin1(relation.choice));
  lblA_->setObjectName(QStringLiteral("lblA"));
  lblB_->setObjectName(QStringLiteral("lblB"));
  lblA_->setMinimumWidth(20);
  lblB_->setMinimumWidth(20);

  lvList_->setObjectName(QStringLiteral("lvList"));
  SetListColumns(lvList_,
                 {QStringLiteral("Relation"), QStringLiteral("Parameter - 1"), QStringLiteral("To"),
                  QStringLiteral("Parameter - 2")},
                 {108, 85, 30, 85});
  // Every relation's text fits its cell.
  const QFontMetrics metrics(lvList_->font());
  for (const RelationLook& relation : kRelations) {
    const int needed = metrics.horizontalAdvance(QString::fromLatin1(relation.list_text)) + 12;
    if (needed > lvList_->columnWidth(0)) lvList_->setColumnWidth(0, needed);
  }
  lvList_->setRootIsDecorated(false);
  lvList_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvList_->setAllColumnsShowFocus(true);
  lvList_->setMinimumSize(330, 180);

  btnAdd_->setObjectName(QStringLiteral("btnAdd"));
  auto* btnDelete = new QPushButton(QStringLiteral("Delete"), this);
  btnDelete->setObjectName(QStringLiteral("btnDelete"));
  btnDelete->setAutoDefault(false);

  auto* ruleRow = new QHBoxLayout;
  ruleRow->addWidget(cbRel_);
  ruleRow->addWidget(lblA_);
  ruleRow->addWidget(edtA_);
  ruleRow->addWidget(lblB_);
  ruleRow->addWidget(edtB_);
  ruleRow->addStretch(1);

  auto* buttonColumn = new QVBoxLayout;
  buttonColumn->addWidget(btnAdd_);
  buttonColumn->addWidget(btnDelete);
  buttonColumn->addSpacing(12);
  const DialogButtons buttons = AddDialogButtons(this, buttonColumn, "translate.html");
  buttonColumn->addStretch(1);
  // "Add" takes the Enter key: rules are entered one after the other.
  buttons.ok->setDefault(false);
  buttons.ok->setAutoDefault(false);
  btnAdd_->setDefault(true);

  auto* listRow = new QHBoxLayout;
  listRow->addWidget(lvList_, 1);
  listRow->addLayout(buttonColumn);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblNote);
  layout->addLayout(ruleRow);
  layout->addLayout(listRow, 1);

  connect(cbRel_, &QComboBox::currentIndexChanged, this, &TfrmTrans::ApplyRelation);
  connect(btnAdd_, &QPushButton::clicked, this, &TfrmTrans::AddOrSave);
  connect(btnDelete, &QPushButton::clicked, this, &TfrmTrans::DeleteRule);
  connect(buttons.ok, &QPushButton::clicked, this, &TfrmTrans::Confirm);
  connect(lvList_, &QTreeWidget::itemDoubleClicked, this, &TfrmTrans::LoadRule);
  connect(lvList_, &QTreeWidget::itemSelectionChanged, this, [this] { btnAdd_->setText(kAdd); });
  ApplyRelation();
}

void TfrmTrans::SetColID(int cid) {
  col_id_ = cid;
  rules_ = LoadRules(store_, cid);
  ShowRules(-1);
}

void TfrmTrans::ApplyRelation() {
  const RelationLook& relation = RelationOf(cbRel_->currentIndex());
  edtA_->clear();
  edtB_->clear();
  lblA_->setText(QString::fromLatin1(relation.label_a));
  lblB_->setText(QString::fromLatin1(relation.label_b));
  SetDigitsOnly(edtA_, relation.digits);
  SetDigitsOnly(edtB_, relation.digits);
  edtA_->setEnabled(relation.parameters);
  edtB_->setEnabled(relation.parameters);
}

void TfrmTrans::ShowRules(int select) {
  lvList_->clear();
  for (const TTrans& rule : rules_) {
    const RelationLook& relation = RelationOf(rule.Rel);
    auto* item = new QTreeWidgetItem(lvList_);
    item->setText(0, QString::fromLatin1(relation.list_text));
    item->setText(1, ScreenText(rule.SrcVal));
    item->setText(2, relation.arrow ? QStringLiteral("->") : QString());
    item->setText(3, ScreenText(rule.DstVal));
  }
  if (select >= 0 && select < lvList_->topLevelItemCount()) {
    QTreeWidgetItem* item = lvList_->topLevelItem(select);
    lvList_->setCurrentItem(item);
    lvList_->scrollToItem(item);
  }
  btnAdd_->setText(kAdd);
}

int TfrmTrans::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = lvList_->selectedItems();
  return selected.isEmpty() ? -1 : lvList_->indexOfTopLevelItem(selected.first());
}

void TfrmTrans::AddOrSave() {
  const int rel = cbRel_->currentIndex();
  const std::string first = Bytes(edtA_->text());
  const std::string second = Bytes(edtB_->text());
  switch (CheckRule(rel, first, second)) {
    case RuleInput::kFirst:
      edtA_->setFocus();
      return;
    case RuleInput::kSecond:
      edtB_->setFocus();
      return;
    case RuleInput::kNone:
      break;
  }
  if (const std::string error = RuleExpressionError(rel, first); !error.empty()) {
    MessageBox::Warning(this, QStringLiteral("Note"),
                        QStringLiteral("The expression cannot be used: ") + ScreenText(error));
    edtA_->setFocus();
    return;
  }
  const TTrans rule{col_id_, rel, first, second};
  if (btnAdd_->text() == kAdd) {
    rules_.push_back(rule);
    ShowRules(static_cast<int>(rules_.size()) - 1);
    return;
  }
  const int row = SelectedRow();
  if (row < 0) return;
  rules_[static_cast<std::size_t>(row)] = rule;
  ShowRules(row);
}

void TfrmTrans::LoadRule() {
  const int row = SelectedRow();
  if (row < 0) return;
  const TTrans& rule = rules_[static_cast<std::size_t>(row)];
  // A code the choice does not know shows as the first relation, as the list does.
  const bool known = rule.Rel >= 0 && rule.Rel < cbRel_->count();
  cbRel_->setCurrentIndex(known ? rule.Rel : 0);
  ApplyRelation();
  edtA_->setText(ScreenText(rule.SrcVal));
  edtB_->setText(ScreenText(rule.DstVal));
  btnAdd_->setText(kSave);
}

void TfrmTrans::DeleteRule() {
  const int row = SelectedRow();
  if (row < 0) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure to delete?")) != QMessageBox::Yes) {
    return;
  }
  rules_.erase(rules_.begin() + row);
  ShowRules(-1);
}

void TfrmTrans::Confirm() {
  if (RunCommand(this, [this] { SaveRules(store_, col_id_, rules_); })) accept();
}

}  // namespace sorvane
