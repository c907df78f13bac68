#include "authoring/texttagcoldialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "authoring/columnchecks.h"
#include "authoring/dialogparts.h"
#include "authoring/fieldchoice.h"
#include "authoring/pickitems.h"
#include "core/screentext.h"
#include "core/templetmodel.h"

namespace sorvane {
namespace {

const QString kNote = QStringLiteral("Add/modify a column:");
const QString kLastCloseTag = QStringLiteral("[..]: Last close tag");
const QString kLineBreak = QStringLiteral("[CRLF]: Carriage return & Line feed");
constexpr int kTitleLimit = 50;
constexpr int kInputWidth = 260;

// An editable choice: free text, or its one special entry.
QComboBox* TagInput(const QString& name, const QString& entry, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItem(entry);
  box->setCurrentIndex(-1);
  box->setEditText(QString());
  box->setMinimumWidth(kInputWidth);
  return box;
}

// The tag an input holds: the special entry's tag ("[..]") when it was picked, else the text.
std::string TagOf(const QComboBox* box) {
  const QString text = box->currentText();
  if (text == box->itemText(0)) return Bytes(text.left(text.indexOf(QLatin1Char(':'))));
  return Bytes(text);
}

}  // namespace

TfrmTextTagCol::TfrmTextTagCol(Tdm& store, QWidget* parent)
    : QDialog(parent),
      store_(store),
      lblNote_(new QLabel(kNote, this)),
      cbType_(new QComboBox(this)),
      lblTitle_(new QLabel(this)),
      edtTitle_(new QLineEdit(this)),
      lblStartTag_(new QLabel(this)),
      edtStartTag_(TagInput(QStringLiteral("edtStartTag"), kLastCloseTag, this)),
      lblEndTag_(new QLabel(this)),
      edtEndTag_(TagInput(QStringLiteral("edtEndTag"), kLineBreak, this)),
      cbField_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Please enter..."));
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  cbType_->setObjectName(QStringLiteral("cbType"));
  for (const char* kind : kColumnKindNames)
    cbType_->addItem(QString::fromLatin1(kind));
  lblTitle_->setObjectName(QStringLiteral("lblTitle"));
  edtTitle_->setObjectName(QStringLiteral("edtTitle"));
  edtTitle_->setMaxLength(kTitleLimit);
  lblStartTag_->setObjectName(QStringLiteral("lblStartTag"));
  lblEndTag_->setObjectName(QStringLiteral("lblEndTag"));
  cbField_->setObjectName(QStringLiteral("cbField"));
  FillFieldChoice(cbField_, {});

  auto* grid = new QGridLayout;
  grid->addWidget(lblNote_, 0, 0, 1, 2);
  auto* lblType = new QLabel(QStringLiteral("Column type:"), this);
  lblType->setBuddy(cbType_);
  grid->addWidget(lblType, 1, 0);
  grid->addWidget(cbType_, 1, 1);
  grid->addWidget(lblTitle_, 2, 0);
  grid->addWidget(edtTitle_, 2, 1);
  grid->addWidget(lblStartTag_, 3, 0);
  grid->addWidget(edtStartTag_, 3, 1);
  grid->addWidget(lblEndTag_, 4, 0);
  grid->addWidget(edtEndTag_, 4, 1);
  auto* lblField = new QLabel(QStringLiteral("Table field:"), this);
  lblField->setBuddy(cbField_);
  grid->addWidget(lblField, 5, 0);
  grid->addWidget(cbField_, 5, 1);
  grid->setColumnMinimumWidth(1, kInputWidth);

  auto* buttonColumn = new QVBoxLayout;
  const DialogButtons buttons = AddDialogButtons(this, buttonColumn, "col_texttag.html");
  buttonColumn->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addSpacing(8);
  layout->addLayout(buttonColumn);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(cbType_, &QComboBox::currentIndexChanged, this, &TfrmTextTagCol::ApplyKind);
  connect(buttons.ok, &QPushButton::clicked, this, &TfrmTextTagCol::Confirm);
  ApplyKind();
}

void TfrmTextTagCol::SetTabID(int taid) {
  FillFieldChoice(cbField_, LoadFieldItems(store_, taid));
}

int TfrmTextTagCol::FieldID() const {
  return ChosenFieldID(cbField_);
}

void TfrmTextTagCol::SetFieldID(int fid) {
  ChooseField(cbField_, fid);
}

std::string TfrmTextTagCol::FieldNam() const {
  return ChosenFieldName(cbField_);
}

std::string TfrmTextTagCol::ColTit() const {
  return Bytes(edtTitle_->text());
}

void TfrmTextTagCol::SetColTit(const std::string& title) {
  edtTitle_->setText(ScreenText(title));
}

std::string TfrmTextTagCol::StartTag() const {
  return TagOf(edtStartTag_);
}

void TfrmTextTagCol::SetStartTag(const std::string& tag) {
  edtStartTag_->setEditText(ScreenText(tag));
}

std::string TfrmTextTagCol::EndTag() const {
  return TagOf(edtEndTag_);
}

void TfrmTextTagCol::SetEndTag(const std::string& tag) {
  edtEndTag_->setEditText(ScreenText(tag));
}

int TfrmTextTagCol::ColTag() const {
  return cbType_->currentIndex();
}

void TfrmTextTagCol::SetColTag(int kind) {
  cbType_->setCurrentIndex(kind);
  ApplyKind();
}

void TfrmTextTagCol::ApplyKind() {
  const int kind = cbType_->currentIndex();
  const bool record = kind == kColStartRecordTag;
  lblTitle_->setText(record ? QStringLiteral("Start tag:") : QStringLiteral("Column title:"));
  lblStartTag_->setText(record ? QStringLiteral("Record open tag:") : QStringLiteral("Open tag:"));
  lblEndTag_->setText(record ? QStringLiteral("Record close tag:") : QStringLiteral("Close tag:"));
  // A value from the URL's field tag needs no tags; what they hold is still handed back.
  edtStartTag_->setEnabled(kind != kColFieldValue);
  edtEndTag_->setEnabled(kind != kColFieldValue);
}

void TfrmTextTagCol::Confirm() {
  const ColumnForm form{ColTag(), ColTit(), StartTag(), EndTag()};
  const std::optional<ColumnRefusal> refusal = CheckTextTagColumn(form);
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
    default:
      edtTitle_->setFocus();
      break;
  }
}

}  // namespace sorvane
