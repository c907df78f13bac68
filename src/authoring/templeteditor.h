#pragma once

// TfrmTemplet, the templet editor ("Templet Editor"): the modal dialog in which a templet is
// created or changed, in three steps: its name; where its source text comes from (one URL with
// its tools, or a list of local files); and how records are cut (text tags, or one regular
// expression), each method with its own list of columns.
//
// Usage: TfrmTemplet editor(store, re, services, parent); editor.SetTempletID(id) (0 for a new
// templet); editor.exec(); after Accepted, TempletID() is the stored templet's id. EditTemplet
// below does all of this for the main window's "&New..." and "&Modify...".
//
// OK checks the form (templetform.h), shows each refusal in a "Note" box, and saves through the
// templet model; a store error is shown, the save stops there and the dialog stays open (an id
// or column id obtained stays, so a second OK updates instead of inserting again). When a stored
// templet changes its method, OK asks first and then removes the columns of the former method
// (with their rules) and, for a switch to text tags, its expression. Written at once, whatever
// OK or Cancel: deleting a stored column (with its rules), translation rules, login settings.
//
// Widgets (object names): "edtName"; "rbURL", "rbFile" with the panels "pnlURL" ("edtURL",
// "btnAutoInc", "btnInsertField", "btnInputPwd", "btnOpen", "btnViewSource") and "pnlFile"
// ("mmFiles", "btnAddFile", "btnClearAll"); "rbTextTag", "rbRegExpr", the note "lblNote", the
// panels "pnlTextTag" ("lvTextTag") and "pnlRegExpr" ("edtRegExpr", "cbMeta", "cbIterator",
// "edtN", "edtM", "lvRegExpr"); after the source panels the page settings "cbEncoding"
// ("Page encoding:"), "chkStopOnRepeat" and "chkWarnEmpty"; beside the step-3 note "btnPreview"
// (Ctrl+P, the records preview, previewdialog.h); per panel the buttons "btnTranslate",
// "btnSelectTable", "btnAddCol" and "btnDeleteCol" followed by 1 (text tags) or 2 (expression); the
// actions "pmiUp" (Ctrl+Up) and "pmiDown" (Ctrl+Down); "btnOK" (default), "btnCancel" (Escape),
// "btnHelp".

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "authoring/columnentries.h"
#include "core/options.h"
#include "core/store.h"
#include "core/templet.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;

namespace sorvane {

class HttpClient;
class RegExpr;
class TfrmTemplet;

// What the editor's URL tools use from parts of the program above it. A service left empty keeps
// its button disabled ("Authorize/Login" stays enabled for a templet never saved, to tell the user
// to save it first).
struct TempletEditorServices {
  // "Authorize/Login" for stored templet `templet_id`: its login settings, stored by that dialog.
  std::function<void(QWidget* parent, int templet_id)> edit_login;
  // "View Source": shows the page at `url` (the URL preview) for `editor`; when `can_add` (the
  // text-tag method) the viewer adds columns through editor.AddSourceColumn.
  std::function<void(TfrmTemplet& editor, int templet_id, const std::string& url, bool can_add)>
      view_source;
  // The process's one HTTP client, for the records preview of a web templet; null: only local
  // files can be previewed.
  HttpClient* http = nullptr;
};

class TfrmTemplet : public QDialog {
  Q_OBJECT

 public:
  // `store` and `re` (the window's expression engine) must outlive the dialog.
  TfrmTemplet(Tdm& store, RegExpr& re, TempletEditorServices services = {},
              QWidget* parent = nullptr);

  // Loads templet `id` into the form; 0 prepares an empty new templet (from URL, text tags).
  // Called once, before the dialog is shown. Throws StoreError.
  void SetTempletID(int id);
  // The templet's id: 0 until it is first stored.
  int TempletID() const { return templet_id_; }

  // The page settings as the form holds them (new templets: kNewTempletPageSettings).
  PageSettings CurrentPageSettings() const;

  // The target table (tabs.taid, 0 = none).
  int TargetTable() const { return tab_id_; }
  // The number of unescaped opening round brackets of the expression.
  int GroupCount() const { return group_count_; }
  const std::vector<TColEntry>& TextTagEntries() const { return text_tag_.entries; }
  const std::vector<TColEntry>& RegExprEntries() const { return reg_expr_.entries; }

  // The page source viewer's service: appends a normal column without field to the text-tag
  // list, with `title`, open tag `open_tag` and close tag `close_tag` (bytes), selected and
  // scrolled into view. Nothing is stored before OK.
  void AddSourceColumn(const std::string& title, const std::string& open_tag,
                       const std::string& close_tag);
  // Selects sub-expression `n` in the expression edit (0: the whole expression; nothing for a
  // negative n or one that does not exist). The expression column dialog calls it.
  void HighlightSubExpression(int n);

 private:
  // One method's column list with its entries.
  struct ColumnPanel {
    QTreeWidget* list = nullptr;
    std::vector<TColEntry> entries;
    bool text_tag = true;
  };

  // The position in an edit's text of byte offset `offset` of its bytes `bytes`.
  static int ScreenOffset(const std::string& bytes, std::size_t offset);

  QWidget* CreateStep1();
  QWidget* CreateStep2();
  QWidget* CreateStep3();
  QWidget* CreateColumnPanel(ColumnPanel& panel, QWidget* top);

  // Step 2.
  void InsertPageNo();
  void InsertField();
  // True (after a "Note") when `pattern` already matches in the URL; the match gets selected.
  bool TagPresent(std::string_view pattern, const char* message);
  void InsertIntoUrl(const std::string& tag);
  void UpdateLoginButton();
  void EditLogin();
  // The URL preview; false when its store query failed (shown in the error box).
  bool Preview(std::string& url);
  void OpenUrl();
  void ViewSource();
  void AddFiles();
  // "Preview": the templet as the form holds it, on its first page.
  void PreviewRecords();

  // Step 3 (columnlists.cpp).
  void ShowEntries(ColumnPanel& panel, int select);
  int SelectedEntry(const ColumnPanel& panel) const;
  void AddColumn(ColumnPanel& panel);
  void EditColumn(ColumnPanel& panel);
  void DeleteColumn(ColumnPanel& panel);
  void MoveColumn(int step);
  void Translate(ColumnPanel& panel);
  void SelectTable();
  void ExpressionChanged();
  void InsertMetacharacter(int index);
  void InsertIterator(int index);
  void InsertIntoExpression(const std::string& text);

  // OK.
  void Confirm();

  Tdm& store_;
  RegExpr& re_;
  TempletEditorServices services_;
  int templet_id_ = 0;
  int tab_id_ = 0;
  int group_count_ = 0;
  // The method the templet is stored with; nothing for a templet never stored.
  std::optional<bool> stored_text_tag_;
  ColumnPanel text_tag_;
  ColumnPanel reg_expr_{nullptr, {}, false};

  QLineEdit* edtName_ = nullptr;
  QRadioButton* rbURL_ = nullptr;
  QRadioButton* rbFile_ = nullptr;
  QStackedWidget* sources_ = nullptr;
  QComboBox* cbEncoding_ = nullptr;
  QCheckBox* chkStopOnRepeat_ = nullptr;
  QCheckBox* chkWarnEmpty_ = nullptr;
  QLineEdit* edtURL_ = nullptr;
  QPushButton* btnInputPwd_ = nullptr;
  QPlainTextEdit* mmFiles_ = nullptr;
  QRadioButton* rbTextTag_ = nullptr;
  QRadioButton* rbRegExpr_ = nullptr;
  QLabel* lblNote_ = nullptr;
  QStackedWidget* methods_ = nullptr;
  QLineEdit* edtRegExpr_ = nullptr;
  QComboBox* cbMeta_ = nullptr;
  QComboBox* cbIterator_ = nullptr;
  QLineEdit* edtN_ = nullptr;
  QLineEdit* edtM_ = nullptr;
};

// "&New..." (templet_id 0) and "&Modify..." of the main window: runs the editor on templet
// `templet_id`; after OK reads the saved templet's head and hands its record and name to `saved`
// (the window adds or refreshes its list entry). Nothing happens after Cancel. Store errors are
// shown in the standard error box.
void EditTemplet(QWidget* parent, Tdm& store, RegExpr& re, int templet_id,
                 const TempletEditorServices& services,
                 const std::function<void(const TTemplet&, const std::string&)>& saved);

}  // namespace sorvane
