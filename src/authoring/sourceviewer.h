#pragma once

// TfrmSource ("Find Tags In HTML Source Code"), the page source viewer: the HTML source of the
// page a templet's URL names, fetched with the templet's login through the program's one HTTP
// client, coloured, searchable, and a place to take a column's title, open tag and close tag
// from, adding the column to the templet editor's text-tag list without leaving the viewer.
//
// The page's text is decoded for the screen only (its declared charset, else the locale's);
// what the user takes from it is the page's own bytes (PageText), so a tag taken here matches
// the page byte for byte.
//
// Usage: ViewSource below does everything for the editor's "View Source". By hand: construct,
// SetCanAdd, SetAddColumn, SetTempID, SetURL (which loads), exec.
//
// Widgets (object names): the tool bar "tbSearch" with "edtWords" ("&Search: "), "btnPrev"
// ("&Previous"), "btnNext" ("&Next"), "edtTitle" (" Column &Title:"), "edtOpenTag" (" &Open
// Tag:"), "edtCloseTag" (" &Close Tag:") and "btnAdd" ("Add"); the source view "memSource"; its
// context menu "pmSource" with the actions "pmiTitle", "pmiOpenTag", "pmiCloseTag", "pmiCopy" and
// the check item "pmiNewline"; the status bar "sbMsg" with the labels "lblCaret", "lblHint" and
// "lblMsg"; the action "actFind" (Ctrl+F).

#include <QDialog>
#include <QString>

#include <functional>
#include <map>
#include <string>

#include "authoring/pagetext.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QsciScintilla;

namespace sorvane {

class HttpClient;
class Tdm;
struct SourcePage;

class TfrmSource : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Find Tags In HTML Source Code";
  static constexpr const char* kHint = " Right click on the selection to add tags.";
  static constexpr const char* kTitleEmpty = "Column title can not be empty.";
  static constexpr const char* kOpenTagEmpty = "Open tag can not be empty.";
  static constexpr const char* kCloseTagEmpty = "Close tag can not be empty.";

  // The editor's add-column service: a normal column with this title, open tag and close tag
  // (the page's bytes) appended to its text-tag list.
  using AddColumn = std::function<void(const std::string& title, const std::string& open_tag,
                                       const std::string& close_tag)>;

  // `store` and `http` (the window's one client) must outlive the viewer.
  TfrmSource(Tdm& store, HttpClient& http, QWidget* parent = nullptr);

  // Whether "Add" is enabled: the editor's method is "Text tag".
  void SetCanAdd(bool can_add);
  bool CanAdd() const { return can_add_; }
  void SetAddColumn(AddColumn add_column) { add_column_ = std::move(add_column); }
  // The templet whose stored login is used; 0: none.
  void SetTempID(int id) { temp_id_ = id; }
  // Whether the templet converts its pages to UTF-8 ("Convert to UTF-8"): the viewer then shows
  // the page converted as a run converts it, and what is taken from it is UTF-8, as the
  // converted page holds it. Set before SetURL.
  void SetConvertToUtf8(bool convert) { convert_ = convert; }
  // A window (the progress window) hidden while the viewer asks or tells the user something
  // during loading, and shown again afterwards.
  void SetProgressWindow(QWidget* window) { progress_ = window; }

  // Loads `url` (LoadSourcePage, a verification code asked with TfrmImgVal over the parent) and
  // shows it. A failed login post shows "Cann't login, please wait a moment and try again."
  // (caption "Error", warning icon), its cause in the message panel, and, like a cancelled
  // code, leaves the view empty. Throws
  // HttpError when the page cannot be fetched and StoreError when the login rows cannot be read;
  // the view is then left as it was.
  void SetURL(const std::string& url);
  const std::string& URL() const { return url_; }

  // The page shown.
  const PageText& Page() const { return page_; }
  // The page's bytes behind the view's selection.
  std::string SelectedBytes() const;
  QsciScintilla* View() const { return memSource_; }

 signals:
  // A search found nothing (the view beeps).
  void Beeped();

 private:
  struct Taken {
    QString shown;
    std::string bytes;
  };

  void ShowPage(const SourcePage& page);
  void ShowCaret();
  void ShowMenu(const QPoint& at);
  void Take(QLineEdit* edit);
  // The bytes an input holds: the page's own when its text is still what was taken from the
  // page, else the typed text in the page's charset.
  std::string InputBytes(QLineEdit* edit) const;
  void WordsChanged(const QString& words);
  void FindNext();
  void FindPrevious();
  // Selects the first match of the search text between `from` and `to` (backwards when `to` is
  // smaller); false when there is none.
  bool Find(long from, long to);
  void Beep();
  void Add();
  void SetMessage(const QString& text);

  Tdm& store_;
  HttpClient& http_;
  bool can_add_ = false;
  AddColumn add_column_;
  int temp_id_ = 0;
  bool convert_ = false;
  QWidget* progress_ = nullptr;
  std::string url_;
  PageText page_;
  std::map<const QLineEdit*, Taken> taken_;

  QLineEdit* edtWords_;
  QToolButton* btnPrev_;
  QToolButton* btnNext_;
  QLineEdit* edtTitle_;
  QLineEdit* edtOpenTag_;
  QLineEdit* edtCloseTag_;
  QToolButton* btnAdd_;
  QsciScintilla* memSource_;
  QMenu* pmSource_;
  QAction* pmiNewline_;
  QLabel* lblCaret_;
  QLabel* lblMsg_;
};

// "View Source" of the templet editor: shows the progress window TfrmLoading over `parent`,
// loads `url` for templet `templet_id` (0: without login) into a new viewer (converted to UTF-8
// when `convert_to_utf8`, the editor's page encoding), releases the
// progress window and shows the viewer modally. Adding is allowed when `allow_add` (the text-tag
// method) and `add_column` is given. When the page cannot be fetched the error's text is shown
// in the standard error box and the viewer is not shown.
void ViewSource(QWidget* parent, Tdm& store, HttpClient& http, int templet_id,
                const std::string& url, bool allow_add, const TfrmSource::AddColumn& add_column,
                bool convert_to_utf8 = false);

}  // namespace sorvane
