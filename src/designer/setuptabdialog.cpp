#include "designer/setuptabdialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

#include "core/errorbox.h"
#include "core/helptopic.h"
#include "core/messagebox.h"
#include "core/screentext.h"
#include "core/store.h"
#include "core/textinputdialog.h"
#include "designer/fielddialog.h"
#include "designer/fieldvaldialog.h"
#include "designer/usertables.h"

namespace sorvane {
namespace {

// What an entry carries besides its texts.
constexpr int kIdRole = Qt::UserRole;         // taid of a table entry, fid of a field entry
constexpr int kBytesRole = Qt::UserRole + 1;  // the name or title as stored (bytes)
constexpr int kTypeRole = Qt::UserRole + 2;   // the type code of a field entry

constexpr int kUniColumn = 2;

const QString kUnique = QStringLiteral("Unique");
const QString kDisUnique = QStringLiteral("Dis-Unique");
const char kTableNamePrompt[] = "Please enter the table name:";

std::string StoredBytes(const QVariant& value) {
  const QByteArray bytes = value.toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray ToVariantBytes(const std::string& bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

TfrmSetupTab::TfrmSetupTab(Tdm& store, QWidget* parent)
    : QDialog(parent),
      store_(store),
      lbTab_(new QListWidget(this)),
      lvFld_(new QTreeWidget(this)),
      pnlEditor_(new QWidget(this)),
      pnlSelector_(new QWidget(this)) {
  setObjectName(QStringLiteral("frmSetupTab"));
  setWindowTitle(QStringLiteral("Table management"));
  resize(640, 400);

  lbTab_->setObjectName(QStringLiteral("lbTab"));
  lbTab_->setSelectionMode(QAbstractItemView::SingleSelection);
  lbTab_->setMinimumWidth(150);
  auto* lblTab = new QLabel(QStringLiteral("Table list:"), this);
  lblTab->setBuddy(lbTab_);
  connect(lbTab_, &QListWidget::itemSelectionChanged, this, &TfrmSetupTab::TableSelected);

  lvFld_->setObjectName(QStringLiteral("lvFld"));
  lvFld_->setColumnCount(3);
  lvFld_->setHeaderLabels(
      {QStringLiteral("Field title"), QStringLiteral("Field length"), QStringLiteral("Uni")});
  lvFld_->setColumnWidth(0, 130);
  lvFld_->setColumnWidth(1, 100);
  lvFld_->setColumnWidth(2, 30);
  lvFld_->header()->setStretchLastSection(false);
  lvFld_->setRootIsDecorated(false);
  lvFld_->setItemsExpandable(false);
  lvFld_->setUniformRowHeights(true);
  lvFld_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvFld_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvFld_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvFld_->setAllColumnsShowFocus(true);
  // The selection stays visible while the list does not have the focus.
  QPalette palette = lvFld_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  lvFld_->setPalette(palette);
  auto* lblFld = new QLabel(QStringLiteral("Fields of the selected table:"), this);
  lblFld->setBuddy(lvFld_);
  connect(lvFld_, &QTreeWidget::itemSelectionChanged, this, &TfrmSetupTab::FieldSelected);

  // The editor panel: field actions in the first row, table actions in the second.
  pnlEditor_->setObjectName(QStringLiteral("pnlEditor"));
  auto* editor = new QGridLayout(pnlEditor_);
  editor->setContentsMargins(0, 0, 0, 0);
  const auto place = [&](int row, int column, QPushButton* button, void (TfrmSetupTab::*action)()) {
    editor->addWidget(button, row, column);
    connect(button, &QPushButton::clicked, this, action);
  };
  place(0, 0, Button("btnAddFld", "Add field"), &TfrmSetupTab::AddField);
  place(0, 1, Button("btnEditFld", "Edit Field"), &TfrmSetupTab::EditField);
  place(0, 2, Button("btnDelFld", "Delete field"), &TfrmSetupTab::DeleteField);
  btnUnique_ = Button("btnUnique", "Unique");
  place(0, 3, btnUnique_, &TfrmSetupTab::ToggleUnique);
  place(0, 4, Button("btnFldVal", "Field value"), &TfrmSetupTab::FieldValue);
  place(0, 5, Button("btnHelp", "Help"), &TfrmSetupTab::Help);
  place(1, 0, Button("btnNewTab", "New table"), &TfrmSetupTab::NewTable);
  place(1, 1, Button("btnRename", "Rename"), &TfrmSetupTab::RenameTable);
  place(1, 2, Button("btnDropTab", "Drop table"), &TfrmSetupTab::DropTable);
  place(1, 3, Button("btnDelData", "Delete data"), &TfrmSetupTab::DeleteData);
  place(1, 4, Button("btnResetTag", "Reset tag"), &TfrmSetupTab::ResetTag);
  auto* btnClose = Button("btnClose", "Close");
  editor->addWidget(btnClose, 1, 5);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

  // The selector panel, in the same place.
  pnlSelector_->setObjectName(QStringLiteral("pnlSelector"));
  auto* selector = new QGridLayout(pnlSelector_);
  selector->setContentsMargins(0, 0, 0, 0);
  selector->addWidget(
      new QLabel(QStringLiteral("Select a table first, then select a field."), pnlSelector_), 0, 0,
      1, 3);
  lblMsg_ = new QLabel(pnlSelector_);
  lblMsg_->setObjectName(QStringLiteral("lblMsg"));
  lblMsg_->setStyleSheet(QStringLiteral("color: red"));
  selector->addWidget(lblMsg_, 1, 0);
  btnOK_ = new QPushButton(QStringLiteral("OK"), pnlSelector_);
  btnOK_->setObjectName(QStringLiteral("btnOK"));
  auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), pnlSelector_);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  selector->addWidget(btnOK_, 1, 1);
  selector->addWidget(btnCancel, 1, 2);
  selector->setColumnStretch(0, 1);
  connect(btnOK_, &QPushButton::clicked, this, &TfrmSetupTab::Select);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(lblTab);
  left->addWidget(lbTab_, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(lblFld);
  right->addWidget(lvFld_, 1);
  right->addWidget(pnlEditor_);
  right->addWidget(pnlSelector_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right, 3);

  SetSwi(true);
  LoadTables();
}

QPushButton* TfrmSetupTab::Button(const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), pnlEditor_);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

void TfrmSetupTab::SetSwi(bool editor) {
  editor_ = editor;
  pnlEditor_->setVisible(editor);
  pnlSelector_->setVisible(!editor);
  btnOK_->setDefault(!editor);
  btnOK_->setAutoDefault(!editor);
}

std::string TfrmSetupTab::FldTxt() const {
  const QTreeWidgetItem* entry = SelectedField();
  if (taid_ == 0 || entry == nullptr) return {};
  return FieldTag(taid_, entry->data(0, kIdRole).toInt());
}

void TfrmSetupTab::LoadTables() {
  const std::vector<UserTable> tables = LoadUserTables(store_);
  filling_ = true;
  for (const UserTable& table : tables) {
    auto* item = new QListWidgetItem(ScreenText(table.tan), lbTab_);
    item->setData(kIdRole, table.taid);
    item->setData(kBytesRole, ToVariantBytes(table.tan));
  }
  filling_ = false;
  if (lbTab_->count() > 0) lbTab_->setCurrentRow(0);
}

void TfrmSetupTab::TableSelected() {
  if (filling_) return;
  const QList<QListWidgetItem*> selected = lbTab_->selectedItems();
  if (selected.isEmpty()) {
    // The field list keeps what it shows.
    taid_ = 0;
    return;
  }
  taid_ = selected.first()->data(kIdRole).toInt();
  // Emptied first: the fields of another table must not stand beside this one.
  lvFld_->clear();
  RunCommand(this, [this] {
    for (const UserField& field : LoadUserFields(store_, taid_))
      AddFieldEntry(field.fid, field.fti, field.typ, field.uni);
  });
}

QTreeWidgetItem* TfrmSetupTab::AddFieldEntry(int fid, const std::string& title, int typ,
                                             bool unique) {
  auto* entry = new QTreeWidgetItem(lvFld_);
  entry->setText(0, ScreenText(title));
  entry->setData(0, kIdRole, fid);
  entry->setData(0, kBytesRole, ToVariantBytes(title));
  ShowFieldType(entry, typ);
  entry->setText(kUniColumn, unique ? QStringLiteral("Y") : QString());
  return entry;
}

void TfrmSetupTab::ShowFieldType(QTreeWidgetItem* entry, int typ) {
  entry->setData(0, kTypeRole, typ);
  entry->setText(1, ScreenText(FieldTypeText(typ)));
}

QTreeWidgetItem* TfrmSetupTab::SelectedField() const {
  const QList<QTreeWidgetItem*> selected = lvFld_->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

void TfrmSetupTab::FieldSelected() {
  if (const QTreeWidgetItem* entry = SelectedField()) {
    btnUnique_->setText(entry->text(kUniColumn) == QLatin1String("Y") ? kDisUnique : kUnique);
  }
}

void TfrmSetupTab::NewTable() {
  TfrmTextInput input(this);
  input.SetTit(kTableNamePrompt);
  if (input.exec() != QDialog::Accepted) return;
  const std::string name = input.Txt();
  RunCommand(this, [&] {
    const int taid = CreateUserTable(store_, name);
    filling_ = true;
    auto* item = new QListWidgetItem(ScreenText(name), lbTab_);
    item->setData(kIdRole, taid);
    item->setData(kBytesRole, ToVariantBytes(name));
    filling_ = false;
    lbTab_->setCurrentItem(item);
  });
}

void TfrmSetupTab::RenameTable() {
  if (taid_ == 0) return;
  QListWidgetItem* item = lbTab_->selectedItems().value(0);
  if (item == nullptr) return;
  TfrmTextInput input(this);
  input.SetTit(kTableNamePrompt);
  input.SetTxt(StoredBytes(item->data(kBytesRole)));
  if (input.exec() != QDialog::Accepted) return;
  const std::string name = input.Txt();
  RunCommand(this, [&] {
    RenameUserTable(store_, taid_, name);
    item->setText(ScreenText(name));
    item->setData(kBytesRole, ToVariantBytes(name));
  });
}

void TfrmSetupTab::DropTable() {
  if (taid_ == 0) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure delete this table and all its data?")) !=
      QMessageBox::Yes) {
    return;
  }
  try {
    DropUserTable(store_, taid_);
  } catch (const StoreError&) {
    // The statements before the failing one stay done; nothing is reported.
  }
  // The entry goes and no table is current, also after a failure.
  filling_ = true;
  lvFld_->clear();
  delete lbTab_->selectedItems().value(0);
  lbTab_->clearSelection();
  lbTab_->setCurrentItem(nullptr);
  filling_ = false;
  taid_ = 0;
}

void TfrmSetupTab::AddField() {
  if (taid_ == 0) {
    MessageBox::Warning(this, QStringLiteral("Note"),
                        QStringLiteral("Select a table first, please!"));
    return;
  }
  TfrmField dialog(this);
  dialog.SetTit({});
  dialog.SetTyp(0);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string title = dialog.Tit();
  const int typ = dialog.Typ();
  int fid = 0;
  try {
    fid = AddUserField(store_, taid_, title, typ);
  } catch (const StoreError&) {
    // The action ends without a message and without a new entry.
    return;
  }
  QTreeWidgetItem* entry = AddFieldEntry(fid, title, typ, false);
  lvFld_->setCurrentItem(entry);
  lvFld_->scrollToItem(entry);
}

void TfrmSetupTab::EditField() {
  QTreeWidgetItem* entry = SelectedField();
  if (taid_ == 0 || entry == nullptr) return;
  const int fid = entry->data(0, kIdRole).toInt();
  const std::string old_title = StoredBytes(entry->data(0, kBytesRole));
  const int old_typ = entry->data(0, kTypeRole).toInt();
  TfrmField dialog(this);
  dialog.SetTit(old_title);
  dialog.SetTyp(old_typ);
  if (dialog.exec() != QDialog::Accepted) return;

  const std::string title = dialog.Tit();
  if (title != old_title) {
    const bool retitled = RunCommand(this, [&] { RetitleUserField(store_, fid, title); });
    if (!retitled) return;
    entry->setText(0, ScreenText(title));
    entry->setData(0, kBytesRole, ToVariantBytes(title));
  }

  const int typ = dialog.Typ();
  if (typ == old_typ) return;
  if (typ < old_typ &&
      MessageBox::Question(&dialog, QStringLiteral("Warning"),
                           QStringLiteral("You make this field smaller, this perhaps would\nlost "
                                          "some data! Do you want to continue anyway?")) !=
          QMessageBox::Yes) {
    return;
  }
  try {
    ChangeUserFieldType(store_, taid_, fid, typ);
  } catch (const StoreError&) {
    MessageBox::Warning(
        this, QStringLiteral("Error"),
        QStringLiteral("Table or field does not exist,\nplease don't modify database by hand."));
    return;
  }
  // The entry follows at once, so that a second edit compares against the new type.
  ShowFieldType(entry, typ);
}

void TfrmSetupTab::DeleteField() {
  QTreeWidgetItem* entry = SelectedField();
  if (taid_ == 0 || entry == nullptr) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure to delete this field and all its data?")) !=
      QMessageBox::Yes) {
    return;
  }
  try {
    DeleteUserField(store_, taid_, entry->data(0, kIdRole).toInt());
  } catch (const StoreError&) {
    MessageBox::Warning(this, QStringLiteral("Error"),
                        QStringLiteral("The field or table not exists!"));
    return;
  }
  delete entry;
}

void TfrmSetupTab::ToggleUnique() {
  QTreeWidgetItem* entry = SelectedField();
  if (taid_ == 0 || entry == nullptr) return;
  const int fid = entry->data(0, kIdRole).toInt();

  if (btnUnique_->text() != kDisUnique) {
    int unique = 0;
    if (!RunCommand(this, [&] { unique = UniqueFieldId(store_, taid_); })) return;
    if (unique != 0) {
      MessageBox::Information(this, QStringLiteral("Note"),
                              QStringLiteral("One table can have only one unique field."));
      return;
    }
    if (MessageBox::Question(this, QStringLiteral("Confirm"),
                             QStringLiteral("Are you sure to create unique index for this "
                                            "field?")) != QMessageBox::Yes) {
      return;
    }
    try {
      CreateUniqueIndex(store_, taid_, fid);
    } catch (const StoreError&) {
      MessageBox::Warning(this, QStringLiteral("Error"),
                          QStringLiteral("Sorry, this field including repeated values, can "
                                         "not\ncreate unique index, please delete the repeated "
                                         "record\nthen try again."));
      return;
    }
    entry->setText(kUniColumn, QStringLiteral("Y"));
    btnUnique_->setText(kDisUnique);
    return;
  }

  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure to drop the unique index?")) !=
      QMessageBox::Yes) {
    return;
  }
  try {
    DropUniqueIndex(store_, taid_, fid);
  } catch (const StoreError&) {
    MessageBox::Warning(
        this, QString(),
        QStringLiteral("Unknown error occured, please\ndon't change systable manaully."));
    return;
  }
  entry->setText(kUniColumn, QString());
  btnUnique_->setText(kUnique);
}

void TfrmSetupTab::DeleteData() {
  if (taid_ == 0) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure to delete all\nrecords of this table?")) !=
      QMessageBox::Yes) {
    return;
  }
  RunCommand(this, [this] { DeleteUserData(store_, taid_); });
}

void TfrmSetupTab::ResetTag() {
  if (taid_ == 0) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure to reset extract flag?")) !=
      QMessageBox::Yes) {
    return;
  }
  RunCommand(this, [this] { ResetExtractFlags(store_, taid_); });
}

void TfrmSetupTab::FieldValue() {
  if (taid_ == 0) return;
  const QTreeWidgetItem* entry = SelectedField();
  if (entry == nullptr) {
    MessageBox::Warning(this, QStringLiteral("Note"), QStringLiteral("No field selected."));
    return;
  }
  const int fid = entry->data(0, kIdRole).toInt();
  RunCommand(this, [&] {
    TfrmFieldVal editor(store_, this);
    editor.SetTabID(taid_);
    editor.SetFldID(fid);
    editor.exec();
  });
}

void TfrmSetupTab::Help() {
  ShowHelpTopic("table.html");
}

void TfrmSetupTab::Select() {
  if (FldTxt().empty()) {
    lblMsg_->setText(QStringLiteral("No field selected!"));
    return;
  }
  accept();
}

void ManageTables(QWidget* parent, Tdm& store) {
  RunCommand(parent, [&] {
    TfrmSetupTab designer(store, parent);
    designer.exec();
  });
}

std::optional<std::string> PickFieldTag(QWidget* parent, Tdm& store) {
  std::optional<std::string> tag;
  RunCommand(parent, [&] {
    TfrmSetupTab designer(store, parent);
    designer.SetSwi(false);
    if (designer.exec() == QDialog::Accepted) tag = designer.FldTxt();
  });
  return tag;
}

}  // namespace sorvane
