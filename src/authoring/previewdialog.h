#pragma once

// TfrmPreview ("Records Preview"): the records of a templet's first page as the templet stands
// in the editor, saved or not, in a small grid of its own (the first 200, with the count), or,
// when the page gives none, why. Neither the main window's grid nor the store is touched.
//
// Usage: PreviewRecords below does everything for the editor's "Preview".
//
// Widgets (object names): "lblPage" (the page), "lblCount" (the count, or what went wrong),
// "sgPreview" (the records), "memWhy" (why there is no record; hidden while there are records),
// "btnClose".

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "core/templetmodel.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace sorvane {

class HttpClient;
class RegExpr;
class Tdm;
struct PreviewResult;
struct RunDefinitions;

class TfrmPreview : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kShownLimit = 200;

  explicit TfrmPreview(QWidget* parent = nullptr);

  // While the page loads: "Loading: " + where; Close (or the window's close) calls `cancel`
  // instead of closing.
  void ShowLoading(const std::string& where, std::function<void()> cancel);
  // The records, or the reasons there are none.
  void ShowResult(const PreviewResult& result, const std::string& where);
  // The page could not be had: `text` says why.
  void ShowProblem(const std::string& where, const std::string& text);

  void reject() override;

 private:
  QLabel* lblPage_;
  QLabel* lblCount_;
  QTableWidget* sgPreview_;
  QPlainTextEdit* memWhy_;
  QPushButton* btnClose_;
  std::function<void()> cancel_;
};

// Where the preview takes its page from.
struct PreviewSource {
  bool is_url = true;
  std::string address;  // the URL preview, or the first file's path
  int templet_id = 0;   // whose stored login a web page is fetched with; 0: none
};

// "Preview" of the templet editor: shows the dialog over `parent`, loads the page (through
// `http`, which processes the window's events while it waits, so the window stays responsive
// and Close stops the transfer), cuts it with `defs` and `rules` and shows the result modally.
// A page that cannot be had is said in the dialog. `http` may be null for files.
void PreviewRecords(QWidget* parent, Tdm& store, RegExpr& re, HttpClient* http,
                    const PreviewSource& source, const RunDefinitions& defs,
                    const std::vector<TTrans>& rules);

}  // namespace sorvane
