#include "authoring/templeteditor.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

#include "authoring/autodialog.h"
#include "authoring/dialogparts.h"
#include "authoring/digitsonly.h"
#include "authoring/expressionaids.h"
#include "authoring/previewdialog.h"
#include "authoring/templetform.h"
#include "core/errorbox.h"
#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/screentext.h"
#include "core/templetmodel.h"
#include "designer/setuptabdialog.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "engine/sources.h"

namespace sorvane {
namespace {

constexpr int kNameLimit = 100;

QLabel* Heading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

QPushButton* ToolButton(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  // A click leaves the focus where it is, so that the text selected in the URL or the expression
  // stays selected for the tag or item to replace it.
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}

QRadioButton* Choice(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = new QRadioButton(caption, parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

int TfrmTemplet::ScreenOffset(const std::string& bytes, std::size_t offset) {
  return static_cast<int>(ScreenText(std::string_view(bytes).substr(0, offset)).size());
}

TfrmTemplet::TfrmTemplet(Tdm& store, RegExpr& re, TempletEditorServices services, QWidget* parent)
    : QDialog(parent), store_(store), re_(re), services_(std::move(services)) {
  setWindowTitle(QStringLiteral("Templet Editor"));

  auto* steps = new QVBoxLayout;
  steps->addWidget(CreateStep1());
  steps->addWidget(CreateStep2());
  steps->addWidget(CreateStep3(), 1);

  auto* buttonColumn = new QVBoxLayout;
  const DialogButtons buttons = AddDialogButtons(this, buttonColumn, "useoverview.html");
  buttonColumn->addStretch(1);
  connect(buttons.ok, &QPushButton::clicked, this, &TfrmTemplet::Confirm);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(steps, 1);
  layout->addSpacing(6);
  layout->addLayout(buttonColumn);

  // The moves of the column lists: shortcuts of a menu that never opens by itself.
  auto* pmiUp = new QAction(QStringLiteral("Move Up"), this);
  pmiUp->setObjectName(QStringLiteral("pmiUp"));
  pmiUp->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
  auto* pmiDown = new QAction(QStringLiteral("Move Down"), this);
  pmiDown->setObjectName(QStringLiteral("pmiDown"));
  pmiDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
  addAction(pmiUp);
  addAction(pmiDown);
  connect(pmiUp, &QAction::triggered, this, [this] { MoveColumn(-1); });
  connect(pmiDown, &QAction::triggered, this, [this] { MoveColumn(1); });

  setTabOrder(edtName_, rbURL_);
  edtName_->setFocus();
}

QWidget* TfrmTemplet::CreateStep1() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Heading(QStringLiteral("Step 1: Name/rename the templet:"), box));
  edtName_ = new QLineEdit(box);
  edtName_->setObjectName(QStringLiteral("edtName"));
  edtName_->setMaxLength(kNameLimit);
  layout->addWidget(edtName_);
  return box;
}

QWidget* TfrmTemplet::CreateStep2() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 6, 0, 0);
  layout->addWidget(Heading(QStringLiteral("Step 2: Select where the source text from:"), box));
  rbURL_ = Choice(QStringLiteral("rbURL"), QStringLiteral("From URL"), box);
  rbFile_ = Choice(QStringLiteral("rbFile"), QStringLiteral("From local text file"), box);
  auto* group = new QButtonGroup(box);
  group->addButton(rbURL_);
  group->addButton(rbFile_);
  auto* choices = new QHBoxLayout;
  choices->addWidget(rbURL_);
  choices->addWidget(rbFile_);
  choices->addStretch(1);
  layout->addLayout(choices);

  sources_ = new QStackedWidget(box);
  auto* pnlURL = new QWidget(sources_);
  pnlURL->setObjectName(QStringLiteral("pnlURL"));
  auto* url = new QVBoxLayout(pnlURL);
  url->setContentsMargins(0, 0, 0, 0);
  edtURL_ = new QLineEdit(pnlURL);
  edtURL_->setObjectName(QStringLiteral("edtURL"));
  url->addWidget(edtURL_);
  auto* tools = new QHBoxLayout;
  auto* btnAutoInc =
      ToolButton(QStringLiteral("btnAutoInc"), QStringLiteral("Insert Page No."), pnlURL);
  auto* btnInsertField =
      ToolButton(QStringLiteral("btnInsertField"), QStringLiteral("Insert Database Field"), pnlURL);
  auto* btnInputPwd =
      ToolButton(QStringLiteral("btnInputPwd"), QStringLiteral("Authorize/Login"), pnlURL);
  auto* btnOpen = ToolButton(QStringLiteral("btnOpen"), QStringLiteral("Open"), pnlURL);
  auto* btnViewSource =
      ToolButton(QStringLiteral("btnViewSource"), QStringLiteral("View Source"), pnlURL);
  for (QPushButton* button : {btnAutoInc, btnInsertField, btnInputPwd, btnOpen, btnViewSource})
    tools->addWidget(button);
  tools->addStretch(1);
  url->addLayout(tools);
  url->addStretch(1);
  btnInputPwd_ = btnInputPwd;
  btnViewSource->setEnabled(static_cast<bool>(services_.view_source));
  connect(btnAutoInc, &QPushButton::clicked, this, &TfrmTemplet::InsertPageNo);
  connect(btnInsertField, &QPushButton::clicked, this, &TfrmTemplet::InsertField);
  connect(btnInputPwd, &QPushButton::clicked, this, &TfrmTemplet::EditLogin);
  connect(btnOpen, &QPushButton::clicked, this, &TfrmTemplet::OpenUrl);
  connect(btnViewSource, &QPushButton::clicked, this, &TfrmTemplet::ViewSource);

  auto* pnlFile = new QWidget(sources_);
  pnlFile->setObjectName(QStringLiteral("pnlFile"));
  auto* files = new QHBoxLayout(pnlFile);
  files->setContentsMargins(0, 0, 0, 0);
  mmFiles_ = new QPlainTextEdit(pnlFile);
  mmFiles_->setObjectName(QStringLiteral("mmFiles"));
  mmFiles_->setLineWrapMode(QPlainTextEdit::NoWrap);
  mmFiles_->setFixedHeight(64);
  files->addWidget(mmFiles_, 1);
  auto* fileButtons = new QVBoxLayout;
  auto* btnAddFile = ToolButton(QStringLiteral("btnAddFile"), QStringLiteral("Add"), pnlFile);
  auto* btnClearAll =
      ToolButton(QStringLiteral("btnClearAll"), QStringLiteral("Clear All"), pnlFile);
  fileButtons->addWidget(btnAddFile);
  fileButtons->addWidget(btnClearAll);
  fileButtons->addStretch(1);
  files->addLayout(fileButtons);
  connect(btnAddFile, &QPushButton::clicked, this, &TfrmTemplet::AddFiles);
  connect(btnClearAll, &QPushButton::clicked, mmFiles_, &QPlainTextEdit::clear);

  sources_->addWidget(pnlURL);
  sources_->addWidget(pnlFile);
  layout->addWidget(sources_);

  // How pages are read, for both kinds of source.
  auto* encoding = new QHBoxLayout;
  auto* lblEncoding = new QLabel(QStringLiteral("Page encoding:"), box);
  cbEncoding_ = new QComboBox(box);
  cbEncoding_->setObjectName(QStringLiteral("cbEncoding"));
  cbEncoding_->addItem(QStringLiteral("As is"));
  cbEncoding_->addItem(QStringLiteral("Convert to UTF-8"));
  lblEncoding->setBuddy(cbEncoding_);
  encoding->addWidget(lblEncoding);
  encoding->addWidget(cbEncoding_);
  encoding->addStretch(1);
  layout->addLayout(encoding);
  auto* guards = new QHBoxLayout;
  chkStopOnRepeat_ = new QCheckBox(QStringLiteral("Stop a page sequence when a page repeats"), box);
  chkStopOnRepeat_->setObjectName(QStringLiteral("chkStopOnRepeat"));
  chkWarnEmpty_ = new QCheckBox(QStringLiteral("Warn on an empty page"), box);
  chkWarnEmpty_->setObjectName(QStringLiteral("chkWarnEmpty"));
  guards->addWidget(chkStopOnRepeat_);
  guards->addWidget(chkWarnEmpty_);
  guards->addStretch(1);
  layout->addLayout(guards);
  // Switching only shows the other panel; the hidden one keeps what it holds.
  connect(rbURL_, &QRadioButton::toggled, this,
          [this](bool on) { sources_->setCurrentIndex(on ? 0 : 1); });
  rbURL_->setChecked(true);

  setTabOrder(rbURL_, rbFile_);
  setTabOrder(rbFile_, edtURL_);
  return box;
}

QWidget* TfrmTemplet::CreateStep3() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 6, 0, 0);
  auto* heading = new QHBoxLayout;
  heading->addWidget(Heading(QStringLiteral("Step 3: Extract data by:"), box));
  lblNote_ = new QLabel(box);
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  QPalette note = lblNote_->palette();
  note.setColor(QPalette::WindowText, QColor(128, 0, 0));
  lblNote_->setPalette(note);
  heading->addWidget(lblNote_, 1);
  auto* btnPreview = ToolButton(QStringLiteral("btnPreview"), QStringLiteral("Preview"), box);
  btnPreview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  btnPreview->setToolTip(
      QStringLiteral("The records of the first page, as the templet stands "
                     "(Ctrl+P)"));
  heading->addWidget(btnPreview);
  connect(btnPreview, &QPushButton::clicked, this, &TfrmTemplet::PreviewRecords);
  layout->addLayout(heading);

  rbTextTag_ = Choice(QStringLiteral("rbTextTag"), QStringLiteral("Text tag"), box);
  rbRegExpr_ = Choice(QStringLiteral("rbRegExpr"), QStringLiteral("Regular expression"), box);
  auto* group = new QButtonGroup(box);
  group->addButton(rbTextTag_);
  group->addButton(rbRegExpr_);
  auto* choices = new QHBoxLayout;
  choices->addWidget(rbTextTag_);
  choices->addWidget(rbRegExpr_);
  choices->addStretch(1);
  layout->addLayout(choices);

  methods_ = new QStackedWidget(box);
  auto* pnlTextTag = new QWidget(methods_);
  pnlTextTag->setObjectName(QStringLiteral("pnlTextTag"));
  text_tag_.list = new QTreeWidget(pnlTextTag);
  text_tag_.list->setObjectName(QStringLiteral("lvTextTag"));
  SetListColumns(text_tag_.list,
                 {QStringLiteral("Column title"), QStringLiteral("Open tag"),
                  QStringLiteral("Close tag"), QStringLiteral("Table field (opt.)")},
                 {120, 95, 95, 100});
  auto* textTagLayout = new QVBoxLayout(pnlTextTag);
  textTagLayout->setContentsMargins(0, 0, 0, 0);
  textTagLayout->addWidget(CreateColumnPanel(text_tag_, pnlTextTag));

  auto* pnlRegExpr = new QWidget(methods_);
  pnlRegExpr->setObjectName(QStringLiteral("pnlRegExpr"));
  auto* regExprLayout = new QVBoxLayout(pnlRegExpr);
  regExprLayout->setContentsMargins(0, 0, 0, 0);
  edtRegExpr_ = new QLineEdit(pnlRegExpr);
  edtRegExpr_->setObjectName(QStringLiteral("edtRegExpr"));
  // A highlighted sub-expression stays visible while a column dialog is in front.
  QPalette expression = edtRegExpr_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    expression.setColor(QPalette::Inactive, role, expression.color(QPalette::Active, role));
  edtRegExpr_->setPalette(expression);
  regExprLayout->addWidget(edtRegExpr_);
  auto* aids = new QHBoxLayout;
  cbMeta_ = new QComboBox(pnlRegExpr);
  cbMeta_->setObjectName(QStringLiteral("cbMeta"));
  for (const char* item : kMetaItems)
    cbMeta_->addItem(QString::fromLatin1(item));
  cbIterator_ = new QComboBox(pnlRegExpr);
  cbIterator_->setObjectName(QStringLiteral("cbIterator"));
  for (const char* item : kIteratorItems)
    cbIterator_->addItem(QString::fromLatin1(item));
  for (QComboBox* list : {cbMeta_, cbIterator_}) {
    list->setFocusPolicy(Qt::TabFocus);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(22);
    // The open list shows its entries whole.
    list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 24);
  }
  edtN_ = new QLineEdit(pnlRegExpr);
  edtN_->setObjectName(QStringLiteral("edtN"));
  edtM_ = new QLineEdit(pnlRegExpr);
  edtM_->setObjectName(QStringLiteral("edtM"));
  aids->addWidget(cbMeta_, 1);
  aids->addWidget(cbIterator_, 1);
  for (QLineEdit* number : {edtN_, edtM_}) {
    SetDigitsOnly(number);
    number->setFixedWidth(36);
    auto* label =
        new QLabel(number == edtN_ ? QStringLiteral("n:") : QStringLiteral("m:"), pnlRegExpr);
    label->setBuddy(number);
    aids->addWidget(label);
    aids->addWidget(number);
  }
  regExprLayout->addLayout(aids);
  reg_expr_.list = new QTreeWidget(pnlRegExpr);
  reg_expr_.list->setObjectName(QStringLiteral("lvRegExpr"));
  SetListColumns(reg_expr_.list,
                 {QStringLiteral("Column title"), QStringLiteral("Sub-RegExp"),
                  QStringLiteral("Record close tag"), QStringLiteral("Table field (opt.)")},
                 {120, 95, 100, 95});
  regExprLayout->addWidget(CreateColumnPanel(reg_expr_, pnlRegExpr), 1);
  connect(edtRegExpr_, &QLineEdit::textChanged, this, &TfrmTemplet::ExpressionChanged);
  connect(cbMeta_, &QComboBox::activated, this, &TfrmTemplet::InsertMetacharacter);
  connect(cbIterator_, &QComboBox::activated, this, &TfrmTemplet::InsertIterator);

  methods_->addWidget(pnlTextTag);
  methods_->addWidget(pnlRegExpr);
  layout->addWidget(methods_, 1);
  connect(rbTextTag_, &QRadioButton::toggled, this,
          [this](bool on) { methods_->setCurrentIndex(on ? 0 : 1); });
  rbTextTag_->setChecked(true);
  return box;
}

QWidget* TfrmTemplet::CreateColumnPanel(ColumnPanel& panel, QWidget* top) {
  auto* box = new QWidget(top);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  QTreeWidget* list = panel.list;
  list->setParent(box);
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setAllColumnsShowFocus(true);
  list->setMinimumSize(440, 150);
  layout->addWidget(list, 1);

  const QString n = panel.text_tag ? QStringLiteral("1") : QStringLiteral("2");
  auto* buttons = new QVBoxLayout;
  auto* translate =
      ToolButton(QStringLiteral("btnTranslate") + n, QStringLiteral("Translate"), box);
  auto* selectTable =
      ToolButton(QStringLiteral("btnSelectTable") + n, QStringLiteral("Select Table"), box);
  auto* addCol = ToolButton(QStringLiteral("btnAddCol") + n, QStringLiteral("Add A Col"), box);
  auto* deleteCol =
      ToolButton(QStringLiteral("btnDeleteCol") + n, QStringLiteral("Delete A Col"), box);
  for (QPushButton* button : {translate, selectTable, addCol, deleteCol})
    buttons->addWidget(button);
  auto* hint = new QLabel(QStringLiteral("Double click an item to modify.\n\nPress Ctrl + Up / "
                                         "Down direction key to move up / down."),
                          box);
  hint->setWordWrap(true);
  hint->setFixedWidth(120);
  buttons->addWidget(hint);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  connect(translate, &QPushButton::clicked, this, [this, &panel] { Translate(panel); });
  connect(selectTable, &QPushButton::clicked, this, &TfrmTemplet::SelectTable);
  connect(addCol, &QPushButton::clicked, this, [this, &panel] { AddColumn(panel); });
  connect(deleteCol, &QPushButton::clicked, this, [this, &panel] { DeleteColumn(panel); });
  connect(list, &QTreeWidget::itemDoubleClicked, this, [this, &panel] { EditColumn(panel); });
  return box;
}

void TfrmTemplet::SetTempletID(int id) {
  templet_id_ = id;
  const TempletModel model = ReadTemplet(store_, id,
                                         TempletParts::kHead | TempletParts::kSources |
                                             TempletParts::kExpression | TempletParts::kColumns);
  edtName_->setText(ScreenText(model.name));
  if (id > 0) {
    rbURL_->setChecked(model.is_url);
    rbFile_->setChecked(!model.is_url);
    rbTextTag_->setChecked(model.is_text_tag);
    rbRegExpr_->setChecked(!model.is_text_tag);
    stored_text_tag_ = model.is_text_tag;
  }
  tab_id_ = model.tab_id;
  const PageSettings page = id > 0 ? ReadPageSettings(store_, id) : kNewTempletPageSettings;
  cbEncoding_->setCurrentIndex(page.convert_to_utf8 ? 1 : 0);
  chkStopOnRepeat_->setChecked(page.stop_on_repeat);
  chkWarnEmpty_->setChecked(page.warn_empty_page);
  UpdateLoginButton();
  if (rbFile_->isChecked()) {
    QStringList lines;
    for (const std::string& path : model.sources)
      lines << ScreenText(path);
    mmFiles_->setPlainText(lines.join(QLatin1Char('\n')));
  } else if (!model.sources.empty()) {
    edtURL_->setText(ScreenText(model.sources.front()));
  }
  ColumnPanel& panel = rbTextTag_->isChecked() ? text_tag_ : reg_expr_;
  if (!panel.text_tag) edtRegExpr_->setText(ScreenText(model.expression));
  panel.entries = model.columns;
  ShowEntries(panel, -1);
}

void TfrmTemplet::InsertPageNo() {
  if (TagPresent(kPageNoTagPattern, "Only one AUTOINC tag can be inserted.")) return;
  TfrmAuto dialog(this);
  if (dialog.exec() == QDialog::Accepted) InsertIntoUrl(dialog.Txt());
}

void TfrmTemplet::InsertField() {
  if (TagPresent(kFieldTagPattern, "Only one field can be inserted.")) return;
  // The tables and fields designer in its selection mode.
  if (const std::optional<std::string> tag = PickFieldTag(this, store_)) InsertIntoUrl(*tag);
}

bool TfrmTemplet::TagPresent(std::string_view pattern, const char* message) {
  const std::string url = Bytes(edtURL_->text());
  bool found = false;
  RunCommand(this, [&] {
    re_.SetExpression(pattern);
    found = re_.Exec(url);
  });
  if (!found) return false;
  const int start = ScreenOffset(url, re_.MatchPos(0));
  const int end = ScreenOffset(url, re_.MatchPos(0) + re_.MatchLen(0));
  edtURL_->setSelection(start, end - start);
  MessageBox::Warning(this, QStringLiteral("Note"), QString::fromLatin1(message));
  return true;
}

void TfrmTemplet::InsertIntoUrl(const std::string& tag) {
  edtURL_->insert(ScreenText(tag));
  edtURL_->setFocus();
}

void TfrmTemplet::UpdateLoginButton() {
  // A templet never saved is told to save first; a stored one needs the login settings dialog.
  btnInputPwd_->setEnabled(templet_id_ == 0 || services_.edit_login);
}

void TfrmTemplet::EditLogin() {
  if (templet_id_ == 0) {
    MessageBox::Information(
        this, QStringLiteral("Note"),
        QStringLiteral("Before set login information,\nplease save this templet first."));
    return;
  }
  if (services_.edit_login) services_.edit_login(this, templet_id_);
}

bool TfrmTemplet::Preview(std::string& url) {
  const std::string typed = Bytes(edtURL_->text());
  return RunCommand(this, [&] { url = UrlPreview(store_, re_, typed); });
}

void TfrmTemplet::OpenUrl() {
  std::string url;
  if (!Preview(url)) return;
  QDesktopServices::openUrl(QUrl(ScreenText(url)));
}

void TfrmTemplet::ViewSource() {
  std::string url;
  if (!services_.view_source || !Preview(url) || url.empty()) return;
  services_.view_source(*this, templet_id_, url, rbTextTag_->isChecked());
}

PageSettings TfrmTemplet::CurrentPageSettings() const {
  PageSettings page;
  page.convert_to_utf8 = cbEncoding_->currentIndex() == 1;
  page.stop_on_repeat = chkStopOnRepeat_->isChecked();
  page.warn_empty_page = chkWarnEmpty_->isChecked();
  return page;
}

void TfrmTemplet::PreviewRecords() {
  PreviewSource source;
  source.is_url = rbURL_->isChecked();
  source.templet_id = templet_id_;
  if (source.is_url) {
    if (!Preview(source.address)) return;
  } else {
    std::vector<std::string> lines;
    for (QTextBlock line = mmFiles_->document()->begin(); line.isValid(); line = line.next())
      lines.push_back(Bytes(line.text()));
    const std::vector<std::string> files = StoredFileLines(lines);
    if (!files.empty()) source.address = files.front();
  }
  if (source.address.empty()) {
    MessageBox::Information(this, QStringLiteral("Note"),
                            source.is_url ? QStringLiteral("Please input the URL first.")
                                          : QStringLiteral("Please add a file first."));
    return;
  }
  // The templet as the form holds it; the rules are those stored for its stored columns.
  TempletModel model;
  if (!RunCommand(this, [&] {
        if (templet_id_ > 0) model = ReadTemplet(store_, templet_id_, TempletParts::kRules);
      })) {
    return;
  }
  model.is_text_tag = rbTextTag_->isChecked();
  model.expression = Bytes(edtRegExpr_->text());
  model.columns = (model.is_text_tag ? text_tag_ : reg_expr_).entries;
  RunDefinitions defs = DefinitionsOf(model);
  defs.Page = CurrentPageSettings();
  sorvane::PreviewRecords(this, store_, re_, services_.http, source, defs, model.RunRules());
}

void TfrmTemplet::AddFiles() {
  const std::optional<QStringList> chosen =
      FileDialog::OpenFiles(this, QStringLiteral("Open"), kSourceFileFilter);
  if (chosen) mmFiles_->setPlainText(chosen->join(QLatin1Char('\n')));
}

void TfrmTemplet::Confirm() {
  TempletForm form;
  form.name = Bytes(edtName_->text());
  form.is_url = rbURL_->isChecked();
  form.url = Bytes(edtURL_->text());
  form.is_text_tag = rbTextTag_->isChecked();
  form.expression = Bytes(edtRegExpr_->text());
  form.text_tag_columns = text_tag_.entries.size();
  form.regexpr_columns = reg_expr_.entries.size();
  std::vector<FormRefusal> refusals;
  if (!RunCommand(this, [&] { refusals = CheckTempletForm(re_, form); })) return;
  for (const FormRefusal& refusal : refusals) {
    MessageBox::Warning(this, QStringLiteral("Note"), ScreenText(refusal.message));
    if (refusal.focus == FormFocus::kName) edtName_->setFocus();
    if (refusal.focus == FormFocus::kUrl) edtURL_->setFocus();
  }
  if (!refusals.empty()) return;

  const bool method_changed = stored_text_tag_ && *stored_text_tag_ != form.is_text_tag;
  if (method_changed &&
      MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("The columns of the other method will be deleted, "
                                          "continue?")) != QMessageBox::Yes) {
    return;
  }

  ColumnPanel& current = form.is_text_tag ? text_tag_ : reg_expr_;
  ColumnPanel& former = form.is_text_tag ? reg_expr_ : text_tag_;
  TempletModel model;
  model.id = templet_id_;
  model.name = form.name;
  model.is_url = form.is_url;
  model.is_text_tag = form.is_text_tag;
  model.tab_id = tab_id_;
  if (form.is_url) {
    model.sources = {form.url};
  } else {
    std::vector<std::string> lines;
    for (QTextBlock line = mmFiles_->document()->begin(); line.isValid(); line = line.next())
      lines.push_back(Bytes(line.text()));
    model.sources = StoredFileLines(lines);
  }
  model.expression = form.expression;
  model.columns = current.entries;
  const PageSettings page = CurrentPageSettings();
  const bool saved = RunCommand(this, [&] {
    SaveEditedTemplet(store_, model, former.entries, method_changed);
    SavePageSettings(store_, model.id, page);
  });
  // Ids obtained before a failure stay, so that the next OK updates those rows.
  templet_id_ = model.id;
  UpdateLoginButton();
  for (std::size_t i = 0; i < current.entries.size(); ++i)
    current.entries[i].cid = model.columns[i].cid;
  if (method_changed) ShowEntries(former, -1);
  if (!saved) return;
  stored_text_tag_ = form.is_text_tag;
  accept();
}

void EditTemplet(QWidget* parent, Tdm& store, RegExpr& re, int templet_id,
                 const TempletEditorServices& services,
                 const std::function<void(const TTemplet&, const std::string&)>& saved) {
  TfrmTemplet editor(store, re, services, parent);
  if (!RunCommand(parent, [&] { editor.SetTempletID(templet_id); })) return;
  if (editor.exec() != QDialog::Accepted) return;
  TempletModel head;
  if (!RunCommand(parent,
                  [&] { head = ReadTemplet(store, editor.TempletID(), TempletParts::kHead); })) {
    return;
  }
  saved(head.Record(), head.name);
}

}  // namespace sorvane
