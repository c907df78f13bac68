#include "engine/logindialog.h"

#include <QByteArray>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>
#include <string>
#include <vector>

#include "core/errorbox.h"
#include "core/helptopic.h"
#include "core/messagebox.h"
#include "core/screentext.h"
#include "core/store.h"
#include "core/templetmodel.h"
#include "engine/httpclient.h"
#include "engine/inputdialog.h"

namespace sorvane {
namespace {

enum Column { kName = 0, kValue = 1, kImage = 2 };

// The list shows the pairs decoded for the screen; the bytes themselves ride along, so that what
// was read from the store or a page is saved back unchanged.
constexpr int kBytesRole = Qt::UserRole;

void SetCell(QTreeWidgetItem* item, int column, const std::string& bytes) {
  item->setText(column, ScreenText(bytes));
  item->setData(column, kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string Cell(const QTreeWidgetItem* item, int column) {
  const QByteArray bytes = item->data(column, kBytesRole).toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void SetField(QTreeWidgetItem* item, const LoginField& field) {
  SetCell(item, kName, field.name);
  SetCell(item, kValue, field.value);
  item->setText(kImage, field.image ? QStringLiteral("Y") : QStringLiteral("N"));
}

LoginField FieldOf(const QTreeWidgetItem* item) {
  return {Cell(item, kName), Cell(item, kValue), item->text(kImage) == QStringLiteral("Y")};
}

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TfrmLogin::TfrmLogin(Tdm& store, HttpClient& http, QWidget* parent)
    : QDialog(parent),
      store_(store),
      http_(http),
      rbAuthorize_(new QRadioButton(QStringLiteral("Need authorization"), this)),
      pnlAuthorize_(new QWidget(this)),
      edtNam_(new QLineEdit(pnlAuthorize_)),
      edtPwd_(new QLineEdit(pnlAuthorize_)),
      rbLogin_(new QRadioButton(QStringLiteral("Need login"), this)),
      pnlLogin_(new QWidget(this)),
      edtLoginURL_(new QLineEdit(QStringLiteral("http://"), pnlLogin_)),
      lvNvs_(new QTreeWidget(pnlLogin_)),
      Button1_(Button(QStringLiteral("Button1"), QStringLiteral("Get"), pnlLogin_)),
      btnAdd_(Button(QStringLiteral("btnAdd"), QStringLiteral("Add Item"), this)),
      btnDelete_(Button(QStringLiteral("btnDelete"), QStringLiteral("Delete Item"), this)),
      btnDelAll_(Button(QStringLiteral("btnDelAll"), QStringLiteral("Delete"), this)) {
  setWindowTitle(QStringLiteral("Authorize/Login"));
  resize(460, 400);

  rbAuthorize_->setObjectName(QStringLiteral("rbAuthorize"));
  rbAuthorize_->setChecked(true);
  pnlAuthorize_->setObjectName(QStringLiteral("pnlAuthorize"));
  edtNam_->setObjectName(QStringLiteral("edtNam"));
  edtPwd_->setObjectName(QStringLiteral("edtPwd"));
  rbLogin_->setObjectName(QStringLiteral("rbLogin"));
  pnlLogin_->setObjectName(QStringLiteral("pnlLogin"));
  edtLoginURL_->setObjectName(QStringLiteral("edtLoginURL"));
  lvNvs_->setObjectName(QStringLiteral("lvNvs"));
  lvNvs_->setColumnCount(3);
  lvNvs_->setHeaderLabels({QStringLiteral("Form field name"), QStringLiteral("Form field value"),
                           QStringLiteral("Img")});
  lvNvs_->setRootIsDecorated(false);
  lvNvs_->setUniformRowHeights(true);
  lvNvs_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvNvs_->setAllColumnsShowFocus(true);
  lvNvs_->header()->setStretchLastSection(false);
  lvNvs_->header()->resizeSection(kName, 140);
  lvNvs_->header()->setSectionResizeMode(kValue, QHeaderView::Stretch);
  lvNvs_->header()->resizeSection(kImage, 40);

  auto* name_label = new QLabel(QStringLiteral("User name:"), pnlAuthorize_);
  name_label->setBuddy(edtNam_);
  auto* password_label = new QLabel(QStringLiteral("Password:"), pnlAuthorize_);
  password_label->setBuddy(edtPwd_);
  auto* authorize = new QGridLayout(pnlAuthorize_);
  authorize->setContentsMargins(20, 0, 0, 0);
  authorize->addWidget(name_label, 0, 0);
  authorize->addWidget(edtNam_, 0, 1);
  authorize->addWidget(password_label, 1, 0);
  authorize->addWidget(edtPwd_, 1, 1);

  auto* url_label = new QLabel(QStringLiteral("Login URL:"), pnlLogin_);
  url_label->setBuddy(edtLoginURL_);
  auto* list_label = new QLabel(QStringLiteral("Name/value:"), pnlLogin_);
  list_label->setBuddy(lvNvs_);
  auto* hint = new QLabel(QStringLiteral("Double click to edit, fill the value"), pnlLogin_);
  hint->setEnabled(false);
  auto* login = new QGridLayout(pnlLogin_);
  login->setContentsMargins(20, 0, 0, 0);
  login->addWidget(url_label, 0, 0);
  login->addWidget(edtLoginURL_, 0, 1);
  login->addWidget(Button1_, 0, 2);
  login->addWidget(list_label, 1, 0);
  login->addWidget(hint, 1, 1, 1, 2, Qt::AlignRight);
  login->addWidget(lvNvs_, 2, 0, 1, 3);

  auto* items = new QHBoxLayout;
  items->setContentsMargins(20, 0, 0, 0);
  items->addStretch(1);
  items->addWidget(btnAdd_);
  items->addWidget(btnDelete_);

  auto* btnOK = Button(QStringLiteral("btnOK"), QStringLiteral("OK"), this);
  btnOK->setDefault(true);
  auto* btnCancel = Button(QStringLiteral("btnCancel"), QStringLiteral("Cancel"), this);
  auto* btnHelp = Button(QStringLiteral("btnHelp"), QStringLiteral("Help"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnDelAll_);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnHelp);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(rbAuthorize_);
  layout->addWidget(pnlAuthorize_);
  layout->addWidget(rbLogin_);
  layout->addWidget(pnlLogin_, 1);
  layout->addLayout(items);
  layout->addLayout(buttons);

  connect(rbAuthorize_, &QRadioButton::toggled, this, &TfrmLogin::ModeChanged);
  connect(rbLogin_, &QRadioButton::toggled, this, &TfrmLogin::ModeChanged);
  connect(Button1_, &QPushButton::clicked, this, &TfrmLogin::GetFields);
  connect(btnAdd_, &QPushButton::clicked, this, &TfrmLogin::AddItem);
  connect(lvNvs_, &QTreeWidget::itemDoubleClicked, this, &TfrmLogin::EditItem);
  connect(btnDelete_, &QPushButton::clicked, this, &TfrmLogin::DeleteItem);
  connect(btnOK, &QPushButton::clicked, this, &TfrmLogin::Confirm);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnDelAll_, &QPushButton::clicked, this, &TfrmLogin::DeleteAll);
  connect(btnHelp, &QPushButton::clicked, this, [] { ShowHelpTopic("login.html"); });

  btnDelAll_->setEnabled(false);
  ModeChanged();
}

void TfrmLogin::SetTempletID(int id) {
  templet_id_ = id;
  const std::vector<LoginRow> rows = ReadLoginRowsAsStored(store_, id);
  btnDelAll_->setEnabled(!rows.empty());
  const LoginSettings settings = LoginSettingsOf(rows);
  edtNam_->setText(ScreenText(settings.user));
  edtPwd_->setText(ScreenText(settings.password));
  edtLoginURL_->setText(ScreenText(settings.login_url));
  lvNvs_->clear();
  for (const LoginField& field : settings.fields)
    AppendItem(field);
  (settings.mode == LoginMode::kLogin ? rbLogin_ : rbAuthorize_)->setChecked(true);
  ModeChanged();
}

LoginSettings TfrmLogin::Settings() const {
  LoginSettings settings;
  settings.mode = rbLogin_->isChecked() ? LoginMode::kLogin : LoginMode::kAuthorize;
  settings.user = Bytes(edtNam_->text());
  settings.password = Bytes(edtPwd_->text());
  settings.login_url = Bytes(edtLoginURL_->text());
  for (int i = 0; i < lvNvs_->topLevelItemCount(); ++i)
    settings.fields.push_back(FieldOf(lvNvs_->topLevelItem(i)));
  return settings;
}

void TfrmLogin::ModeChanged() {
  const bool login = rbLogin_->isChecked();
  pnlLogin_->setEnabled(login);
  btnAdd_->setEnabled(login);
  btnDelete_->setEnabled(login);
  pnlAuthorize_->setEnabled(!login);
}

void TfrmLogin::AppendItem(const LoginField& field) {
  auto* item = new QTreeWidgetItem(lvNvs_);
  SetField(item, field);
}

void TfrmLogin::GetFields() {
  std::vector<LoginField> proposed;
  // The page may take a while; a second click must not start a second request meanwhile.
  Button1_->setEnabled(false);
  bool failed = false;
  try {
    GetFormFields(http_, Bytes(edtLoginURL_->text()), proposed);
  } catch (const std::exception&) {
    failed = true;
  }
  Button1_->setEnabled(true);
  for (const LoginField& field : proposed)
    AppendItem(field);
  if (failed) MessageBox::Warning(this, QStringLiteral("Error"), QString::fromLatin1(kGetFailed));
}

void TfrmLogin::AddItem() {
  TfrmInput input(this);
  if (input.exec() != QDialog::Accepted) return;
  auto* item = new QTreeWidgetItem(lvNvs_);
  SetField(item, {input.ValOne(), input.ValTwo(), input.IsVerifyCode()});
  lvNvs_->setCurrentItem(item);
  lvNvs_->scrollToItem(item);
}

void TfrmLogin::EditItem(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  const LoginField field = FieldOf(item);
  TfrmInput input(this);
  input.SetValOne(field.name);
  input.SetValTwo(field.value);
  input.SetIsVerifyCode(field.image);
  if (input.exec() != QDialog::Accepted) return;
  SetField(item, {input.ValOne(), input.ValTwo(), input.IsVerifyCode()});
}

void TfrmLogin::DeleteItem() {
  QTreeWidgetItem* item = lvNvs_->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QString::fromLatin1(kDeleteItemQuestion)) != QMessageBox::Yes) {
    return;
  }
  const int row = lvNvs_->indexOfTopLevelItem(item);
  delete item;
  if (QTreeWidgetItem* below = lvNvs_->topLevelItem(row)) lvNvs_->setCurrentItem(below);
}

void TfrmLogin::Confirm() {
  const LoginSettings settings = Settings();
  if (!LoginFilled(settings)) {
    MessageBox::Warning(this, QStringLiteral("Note"), QString::fromLatin1(kFillingIncomplete));
    return;
  }
  if (RunCommand(this, [&] { SaveLoginRows(store_, templet_id_, LoginRowsOf(settings)); }))
    accept();
}

void TfrmLogin::DeleteAll() {
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QString::fromLatin1(kDeleteAllQuestion)) != QMessageBox::Yes) {
    return;
  }
  if (RunCommand(this, [&] { DeleteLoginRows(store_, templet_id_); })) reject();
}

bool EditLogin(QWidget* parent, Tdm& store, HttpClient& http, int templet_id) {
  TfrmLogin dialog(store, http, parent);
  if (!RunCommand(parent, [&] { dialog.SetTempletID(templet_id); })) return false;
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace sorvane
