#include "authoring/sourceviewer.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <Qsci/qscilexerhtml.h>
#include <Qsci/qsciscintilla.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "authoring/loadingdialog.h"
#include "authoring/sourcepage.h"
#include "core/errorbox.h"
#include "core/messagebox.h"
#include "core/screentext.h"
#include "engine/imgvaldialog.h"
#include "engine/login.h"

namespace sorvane {
namespace {

// Hides a window for as long as it lives, and shows it again afterwards.
class Hidden {
 public:
  explicit Hidden(QWidget* window) : window_(window && window->isVisible() ? window : nullptr) {
    if (window_ != nullptr) window_->hide();
  }
  ~Hidden() {
    if (window_ != nullptr) window_->show();
  }
  Hidden(const Hidden&) = delete;
  Hidden& operator=(const Hidden&) = delete;

 private:
  QWidget* window_;
};

QLabel* ToolLabel(const QString& caption, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setBuddy(buddy);
  return label;
}

QLineEdit* ToolEdit(const QString& name, int width, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setFixedWidth(width);
  return edit;
}

QToolButton* ToolButton(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(caption);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return button;
}

QAction* MenuItem(QMenu* menu, const QString& name, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  return action;
}

// "Courier New", 8 points, or the system's fixed-pitch font where that one is missing.
QFont SourceFont() {
  QFont font(QStringLiteral("Courier New"), 8);
  font.setStyleHint(QFont::TypeWriter);
  if (!QFontInfo(font).fixedPitch()) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
  }
  return font;
}

}  // namespace

TfrmSource::TfrmSource(Tdm& store, HttpClient& http, QWidget* parent)
    : QDialog(parent), store_(store), http_(http) {
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(false);
  resize(800, 580);

  auto* tbSearch = new QToolBar(this);
  tbSearch->setObjectName(QStringLiteral("tbSearch"));
  edtWords_ = ToolEdit(QStringLiteral("edtWords"), 90, tbSearch);
  btnPrev_ = ToolButton(QStringLiteral("btnPrev"), QStringLiteral("&Previous"), tbSearch);
  btnNext_ = ToolButton(QStringLiteral("btnNext"), QStringLiteral("&Next"), tbSearch);
  edtTitle_ = ToolEdit(QStringLiteral("edtTitle"), 70, tbSearch);
  edtOpenTag_ = ToolEdit(QStringLiteral("edtOpenTag"), 90, tbSearch);
  edtCloseTag_ = ToolEdit(QStringLiteral("edtCloseTag"), 90, tbSearch);
  btnAdd_ = ToolButton(QStringLiteral("btnAdd"), QStringLiteral("Add"), tbSearch);
  tbSearch->addWidget(ToolLabel(QStringLiteral("&Search: "), edtWords_, tbSearch));
  tbSearch->addWidget(edtWords_);
  tbSearch->addWidget(btnPrev_);
  tbSearch->addWidget(btnNext_);
  tbSearch->addSeparator();
  tbSearch->addWidget(ToolLabel(QStringLiteral(" Column &Title:"), edtTitle_, tbSearch));
  tbSearch->addWidget(edtTitle_);
  tbSearch->addWidget(ToolLabel(QStringLiteral(" &Open Tag:"), edtOpenTag_, tbSearch));
  tbSearch->addWidget(edtOpenTag_);
  tbSearch->addWidget(ToolLabel(QStringLiteral(" &Close Tag:"), edtCloseTag_, tbSearch));
  tbSearch->addWidget(edtCloseTag_);
  tbSearch->addWidget(btnAdd_);
  btnPrev_->setEnabled(false);
  btnNext_->setEnabled(false);
  btnAdd_->setEnabled(false);

  memSource_ = new QsciScintilla(this);
  memSource_->setObjectName(QStringLiteral("memSource"));
  memSource_->setUtf8(true);
  const QFont font = SourceFont();
  memSource_->setFont(font);
  auto* lexer = new QsciLexerHTML(memSource_);
  lexer->setDefaultFont(font);
  lexer->setFont(font);
  memSource_->setLexer(lexer);
  for (int margin = 0; margin < 3; ++margin)
    memSource_->setMarginWidth(margin, 0);
  memSource_->setMarginLineNumbers(0, false);
  memSource_->setFolding(QsciScintilla::NoFoldStyle);
  memSource_->setWrapMode(QsciScintilla::WrapWord);
  memSource_->SendScintilla(QsciScintilla::SCI_SETUNDOCOLLECTION, 0L);
  memSource_->setReadOnly(true);
  memSource_->setContextMenuPolicy(Qt::CustomContextMenu);

  pmSource_ = new QMenu(this);
  pmSource_->setObjectName(QStringLiteral("pmSource"));
  QAction* pmiTitle =
      MenuItem(pmSource_, QStringLiteral("pmiTitle"), QStringLiteral("Set Column Title"));
  QAction* pmiOpenTag =
      MenuItem(pmSource_, QStringLiteral("pmiOpenTag"), QStringLiteral("Set Open Tag"));
  QAction* pmiCloseTag =
      MenuItem(pmSource_, QStringLiteral("pmiCloseTag"), QStringLiteral("Set Close Tag"));
  pmSource_->addSeparator();
  QAction* pmiCopy =
      MenuItem(pmSource_, QStringLiteral("pmiCopy"), QStringLiteral("Copy to Clipboard"));
  pmiNewline_ =
      MenuItem(pmSource_, QStringLiteral("pmiNewline"), QStringLiteral("Automatic Newline"));
  pmiNewline_->setCheckable(true);
  pmiNewline_->setChecked(true);

  auto* sbMsg = new QStatusBar(this);
  sbMsg->setObjectName(QStringLiteral("sbMsg"));
  lblCaret_ = new QLabel(sbMsg);
  lblCaret_->setObjectName(QStringLiteral("lblCaret"));
  lblCaret_->setFixedWidth(120);
  lblCaret_->setAlignment(Qt::AlignCenter);
  auto* lblHint = new QLabel(QString::fromLatin1(kHint), sbMsg);
  lblHint->setObjectName(QStringLiteral("lblHint"));
  lblHint->setFixedWidth(260);
  lblMsg_ = new QLabel(sbMsg);
  lblMsg_->setObjectName(QStringLiteral("lblMsg"));
  sbMsg->addWidget(lblCaret_);
  sbMsg->addWidget(lblHint);
  sbMsg->addWidget(lblMsg_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tbSearch);
  layout->addWidget(memSource_, 1);
  layout->addWidget(sbMsg);

  // The window opens about 800 pixels wide, wider only where the desktop's font would otherwise
  // push "Add" behind the tool bar's overflow button.
  resize(std::max(width(), tbSearch->sizeHint().width()), height());

  // Ctrl+F reaches the window whichever control has the focus.
  auto* actFind = new QAction(this);
  actFind->setObjectName(QStringLiteral("actFind"));
  actFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  actFind->setShortcutContext(Qt::WindowShortcut);
  addAction(actFind);
  connect(actFind, &QAction::triggered, this, [this] {
    edtWords_->setFocus(Qt::ShortcutFocusReason);
    edtWords_->selectAll();
  });

  connect(edtWords_, &QLineEdit::textChanged, this, &TfrmSource::WordsChanged);
  connect(edtWords_, &QLineEdit::returnPressed, this, [this] {
    if (!edtWords_->text().isEmpty()) FindNext();
  });
  connect(btnNext_, &QToolButton::clicked, this, &TfrmSource::FindNext);
  connect(btnPrev_, &QToolButton::clicked, this, &TfrmSource::FindPrevious);
  connect(btnAdd_, &QToolButton::clicked, this, &TfrmSource::Add);
  // The user's moves: Scintilla reports them once the view has updated. The viewer's own moves
  // (the search) show the caret at once.
  connect(memSource_, &QsciScintilla::SCN_UPDATEUI, this, [this](int) { ShowCaret(); });
  connect(memSource_, &QWidget::customContextMenuRequested, this, &TfrmSource::ShowMenu);
  connect(pmiTitle, &QAction::triggered, this, [this] { Take(edtTitle_); });
  connect(pmiOpenTag, &QAction::triggered, this, [this] { Take(edtOpenTag_); });
  connect(pmiCloseTag, &QAction::triggered, this, [this] { Take(edtCloseTag_); });
  connect(pmiCopy, &QAction::triggered, this, [this] {
    if (memSource_->hasSelectedText()) memSource_->copy();
  });
  connect(pmiNewline_, &QAction::toggled, this, [this](bool wrap) {
    memSource_->setWrapMode(wrap ? QsciScintilla::WrapWord : QsciScintilla::WrapNone);
  });

  ShowCaret();
}

void TfrmSource::SetCanAdd(bool can_add) {
  can_add_ = can_add;
  btnAdd_->setEnabled(can_add);
}

void TfrmSource::SetURL(const std::string& url) {
  url_ = url;
  QWidget* owner = parentWidget();
  const AskImageCode ask = [this, owner](const VerificationCodeRequest& request,
                                         std::string& code) {
    const Hidden hidden(progress_);
    return TfrmImgVal::Ask(request, owner, code);
  };
  SourcePage page;
  const SourceLoad loaded = LoadSourcePage(store_, http_, temp_id_, url, ask, page);
  ShowPage(loaded == SourceLoad::kLoaded ? page : SourcePage{});
  if (loaded == SourceLoad::kLoginFailed) {
    const Hidden hidden(progress_);
    MessageBox::Warning(owner, QStringLiteral("Error"), ScreenText(kLoginFailedText));
    SetMessage(ScreenText(page.cause));
  }
}

void TfrmSource::ShowPage(const SourcePage& page) {
  if (convert_) {
    page_ = PageText(ToUtf8(page.bytes, PageCharset(page.content_type, page.bytes)), "UTF-8",
                     kScreenCharset);
  } else {
    page_ = PageText(page.bytes, DeclaredCharset(page.content_type, page.bytes), kScreenCharset);
  }
  const std::string& text = page_.Display();
  memSource_->setReadOnly(false);
  memSource_->SendScintilla(QsciScintilla::SCI_CLEARALL);
  memSource_->SendScintilla(QsciScintilla::SCI_APPENDTEXT, static_cast<uintptr_t>(text.size()),
                            text.data());
  memSource_->setReadOnly(true);
  memSource_->SendScintilla(QsciScintilla::SCI_GOTOPOS, 0L);
  ShowCaret();
}

std::string TfrmSource::SelectedBytes() const {
  const long start = memSource_->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART);
  const long end = memSource_->SendScintilla(QsciScintilla::SCI_GETSELECTIONEND);
  return page_.Source(static_cast<std::size_t>(start), static_cast<std::size_t>(end));
}

void TfrmSource::ShowCaret() {
  const long pos = memSource_->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
  const long line = memSource_->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION,
                                              static_cast<unsigned long>(pos));
  const long line_start = memSource_->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE,
                                                    static_cast<unsigned long>(line));
  const long column = memSource_->SendScintilla(QsciScintilla::SCI_COUNTCHARACTERS,
                                                static_cast<unsigned long>(line_start), pos);
  lblCaret_->setText(QStringLiteral("Row: %1, Col: %2").arg(line + 1).arg(column + 1));
}

void TfrmSource::ShowMenu(const QPoint& at) {
  pmSource_->popup(memSource_->mapToGlobal(at));
}

void TfrmSource::Take(QLineEdit* edit) {
  if (!memSource_->hasSelectedText()) return;
  Taken taken{memSource_->selectedText(), SelectedBytes()};
  edit->setText(taken.shown);
  taken_[edit] = std::move(taken);
}

std::string TfrmSource::InputBytes(QLineEdit* edit) const {
  const auto taken = taken_.find(edit);
  if (taken != taken_.end() && taken->second.shown == edit->text()) return taken->second.bytes;
  const QByteArray typed = edit->text().toUtf8();
  return page_.Encode(std::string_view(typed.constData(), static_cast<std::size_t>(typed.size())));
}

void TfrmSource::WordsChanged(const QString& words) {
  const bool any = !words.isEmpty();
  btnPrev_->setEnabled(any);
  btnNext_->setEnabled(any);
  const long length = memSource_->SendScintilla(QsciScintilla::SCI_GETLENGTH);
  if (!any || !Find(0, length)) {
    const long pos = memSource_->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    memSource_->SendScintilla(QsciScintilla::SCI_SETEMPTYSELECTION,
                              static_cast<unsigned long>(pos));
    ShowCaret();
    Beep();
  }
}

void TfrmSource::FindNext() {
  const long from = memSource_->SendScintilla(QsciScintilla::SCI_GETSELECTIONEND);
  const long length = memSource_->SendScintilla(QsciScintilla::SCI_GETLENGTH);
  if (Find(from, length)) return;
  Beep();
  memSource_->SendScintilla(QsciScintilla::SCI_GOTOPOS, 0L);
  ShowCaret();
  Find(0, length);
}

void TfrmSource::FindPrevious() {
  const long from = memSource_->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART);
  const long length = memSource_->SendScintilla(QsciScintilla::SCI_GETLENGTH);
  if (Find(from, 0)) return;
  Beep();
  memSource_->SendScintilla(QsciScintilla::SCI_GOTOPOS, static_cast<unsigned long>(length));
  ShowCaret();
  Find(length, 0);
}

bool TfrmSource::Find(long from, long to) {
  const QByteArray words = edtWords_->text().toUtf8();
  if (words.isEmpty()) return false;
  // No flags: letter case is ignored and matches may start and end inside words.
  memSource_->SendScintilla(QsciScintilla::SCI_SETSEARCHFLAGS, 0L);
  memSource_->SendScintilla(QsciScintilla::SCI_SETTARGETSTART, from);
  memSource_->SendScintilla(QsciScintilla::SCI_SETTARGETEND, to);
  const long found = memSource_->SendScintilla(
      QsciScintilla::SCI_SEARCHINTARGET, static_cast<uintptr_t>(words.size()), words.constData());
  if (found < 0) return false;
  const long end = memSource_->SendScintilla(QsciScintilla::SCI_GETTARGETEND);
  memSource_->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(found), end);
  memSource_->SendScintilla(QsciScintilla::SCI_SCROLLCARET);
  ShowCaret();
  return true;
}

void TfrmSource::Beep() {
  QApplication::beep();
  emit Beeped();
}

void TfrmSource::Add() {
  struct Check {
    QLineEdit* edit;
    const char* message;
  };
  for (const Check& check : {Check{edtTitle_, kTitleEmpty}, Check{edtOpenTag_, kOpenTagEmpty},
                             Check{edtCloseTag_, kCloseTagEmpty}}) {
    if (check.edit->text().isEmpty()) {
      SetMessage(QString::fromLatin1(check.message));
      check.edit->setFocus();
      return;
    }
  }
  if (!add_column_) return;
  add_column_(InputBytes(edtTitle_), InputBytes(edtOpenTag_), InputBytes(edtCloseTag_));
  SetMessage(QStringLiteral(" Column Added. T:") + edtTitle_->text() + QStringLiteral(" O:") +
             edtOpenTag_->text() + QStringLiteral(" C:") + edtCloseTag_->text());
}

void TfrmSource::SetMessage(const QString& text) {
  lblMsg_->setText(text);
}

void ViewSource(QWidget* parent, Tdm& store, HttpClient& http, int templet_id,
                const std::string& url, bool allow_add, const TfrmSource::AddColumn& add_column,
                bool convert_to_utf8) {
  TfrmSource viewer(store, http, parent);
  viewer.SetCanAdd(allow_add && static_cast<bool>(add_column));
  viewer.SetAddColumn(add_column);
  viewer.SetTempID(templet_id);
  viewer.SetConvertToUtf8(convert_to_utf8);
  std::exception_ptr failure;
  {
    TfrmLoading loading(parent);
    viewer.SetProgressWindow(&loading);
    loading.ShowNow();
    try {
      viewer.SetURL(url);
    } catch (...) {
      failure = std::current_exception();
    }
    viewer.SetProgressWindow(nullptr);
  }
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& error) {
      ShowErrorBox(parent, error);
    }
    return;
  }
  viewer.exec();
}

}  // namespace sorvane
