#include "authoring/regexprcoldialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <utility>

#include "authoring/columnchecks.h"
#include "authoring/dialogparts.h"
#include "authoring/fieldchoice.h"
#include "authoring/pickitems.h"
#include "core/screentext.h"
#include "core/templetmodel.h"

namespace sorvane {
namespace {

constexpr int kTextLimit = 50;
constexpr int kInputWidth = 260;

QLineEdit* TextInput(const QString& name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMaxLength(kTextLimit);
  return edit;
}

}  // namespace

TfrmRegExprCol::TfrmRegExprCol(Tdm& store, QWidget* parent)
    : QDialog(parent),
      store_(store),
      lblNote_(new QLabel(QStringLiteral("Add/modify a column:"), this)),
      cbType_(new QComboBox(this)),
      lblTitle_(new QLabel(this)),
      edtTitle_(TextInput(QStringLiteral("edtTitle"), this)),
      lblRegExpr_(new QLabel(this)),
      cbRegExpr_(new QComboBox(this)),
      edtStartTag_(TextInput(QStringLiteral("edtStartTag"), this)),
      lblEndTag_(new QLabel(this)),
      edtEndTag_(TextInput(QStringLiteral("edtEndTag"), this)),
      cbField_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Please enter..."));
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  cbType_->setObjectName(QStringLiteral("cbType"));
  for (const char* kind : kColumnKindNames)
    cbType_->addItem(QString::fromLatin1(kind));
  lblTitle_->setObjectName(QStringLiteral("lblTitle"));
  lblRegExpr_->setObjectName(QStringLiteral("lblRegExpr"));
  cbRegExpr_->setObjectName(QStringLiteral("cbRegExpr"));
  lblEndTag_->setObjectName(QStringLiteral("lblEndTag"));
  cbField_->setObjectName(QStringLiteral("cbField"));
  FillFieldChoice(cbField_, {});

  // The sub-expression choice and the start tag share one place; kind 1 shows the start tag.
  place_ = new QStackedLayout;
  place_->addWidget(cbRegExpr_);
  place_->addWidget(edtStartTag_);

  auto* grid = new QGridLayout;
  grid->addWidget(lblNote_, 0, 0, 1, 2);
  auto* lblType = new QLabel(QStringLiteral("Column type:"), this);
  lblType->setBuddy(cbType_);
  grid->addWidget(lblType, 1, 0);
  grid->addWidget(cbType_, 1, 1);
  grid->addWidget(lblTitle_, 2, 0);
  grid->addWidget(edtTitle_, 2, 1);
  grid->addWidget(lblRegExpr_, 3, 0);
  grid->addLayout(place_, 3, 1);
  grid->addWidget(lblEndTag_, 4, 0);
  grid->addWidget(edtEndTag_, 4, 1);
  auto* lblField = new QLabel(QStringLiteral("Table field:"), this);
  lblField->setBuddy(cbField_);
  grid->addWidget(lblField, 5, 0);
  grid->addWidget(cbField_, 5, 1);
  grid->setColumnMinimumWidth(1, kInputWidth);

  auto* buttonColumn = new QVBoxLayout;
  const DialogButtons buttons = AddDialogButtons(this, buttonColumn, "col_regexp.html");
  buttonColumn->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addSpacing(8);
  layout->addLayout(buttonColumn);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setTabOrder(edtTitle_, cbRegExpr_);
  setTabOrder(cbRegExpr_, edtStartTag_);
  setTabOrder(edtStartTag_, edtEndTag_);

  connect(cbType_, &QComboBox::currentIndexChanged, this, &TfrmRegExprCol::ApplyKind);
  connect(cbRegExpr_, &QComboBox::activated, this, &TfrmRegExprCol::Highlight);
  connect(buttons.ok, &QPushButton::clicked, this, &TfrmRegExprCol::Confirm);
  ApplyKind();
}

void TfrmRegExprCol::SetTabID(int taid) {
  FillFieldChoice(cbField_, LoadFieldItems(store_, taid));
}

int TfrmRegExprCol::FieldID() const {
  return ChosenFieldID(cbField_);
}

void TfrmRegExprCol::SetFieldID(int fid) {
  ChooseField(cbField_, fid);
}

std::string TfrmRegExprCol::FieldNam() const {
  return ChosenFieldName(cbField_);
}

std::string TfrmRegExprCol::ColTit() const {
  return Bytes(edtTitle_->text());
}

void TfrmRegExprCol::SetColTit(const std::string& title) {
  edtTitle_->setText(ScreenText(title));
}

int TfrmRegExprCol::ColTag() const {
  return cbType_->currentIndex();
}

void TfrmRegExprCol::SetColTag(int kind) {
  cbType_->setCurrentIndex(kind);
  ApplyKind();
}

std::string TfrmRegExprCol::StartTag() const {
  return Bytes(edtStartTag_->text());
}

void TfrmRegExprCol::SetStartTag(const std::string& tag) {
  edtStartTag_->setText(ScreenText(tag));
}

std::string TfrmRegExprCol::EndTag() const {
  return Bytes(edtEndTag_->text());
}

void TfrmRegExprCol::SetEndTag(const std::string& tag) {
  edtEndTag_->setText(ScreenText(tag));
}

int TfrmRegExprCol::RegExprNum() const {
  return cbRegExpr_->count();
}

void TfrmRegExprCol::SetRegExprNum(int n) {
  // Adding entries chooses none of them: a column names its sub-expression on purpose.
  const int chosen = cbRegExpr_->currentIndex();
  for (int i = 0; i <= n; ++i)
    cbRegExpr_->addItem(QStringLiteral("$%1").arg(i));
  cbRegExpr_->setCurrentIndex(chosen);
}

int TfrmRegExprCol::RegExprNo() const {
  return cbRegExpr_->currentIndex();
}

void TfrmRegExprCol::SetRegExprNo(int n) {
  cbRegExpr_->setCurrentIndex(n >= 0 && n < cbRegExpr_->count() ? n : -1);
  Highlight();
}

void TfrmRegExprCol::Highlight() {
  if (highlight_) highlight_(cbRegExpr_->currentIndex());
}

void TfrmRegExprCol::ApplyKind() {
  const int kind = cbType_->currentIndex();
  const bool record = kind == kColStartRecordTag;
  lblTitle_->setText(record ? QStringLiteral("Start tag:") : QStringLiteral("Column title:"));
  lblRegExpr_->setText(record ? QStringLiteral("Record open tag:")
                              : QStringLiteral("Sub-RegExp No:"));
  lblEndTag_->setText(record ? QStringLiteral("Record close tag:") : QStringLiteral("Close tag:"));
  place_->setCurrentWidget(record ? static_cast<QWidget*>(edtStartTag_) : cbRegExpr_);
  cbRegExpr_->setEnabled(kind != kColFieldValue);
  edtEndTag_->setEnabled(record);
  cbField_->setEnabled(!record);
  if (record) cbField_->setCurrentIndex(-1);
}

void TfrmRegExprCol::Confirm() {
  ColumnForm form{ColTag(), ColTit(), StartTag(), EndTag(), RegExprNo()};
  const std::optional<ColumnRefusal> refusal = CheckRegExprColumn(form);
  if (!refusal) {
    accept();
    return;
  }
  lblNote_->setText(ScreenText(refusal->message));
  switch (refusal->focus) {
    case ColumnInput::kOpenTag:
      edtStartTag_->setFocus();
      break;
    case ColumnInput::kCloseTag:
      edtEndTag_->setFocus();
      break;
    case ColumnInput::kSubExpression:
      cbRegExpr_->setFocus();
      break;
    default:
      edtTitle_->setFocus();
      break;
  }
}

}  // namespace sorvane
