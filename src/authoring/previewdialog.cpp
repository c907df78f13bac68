#include "authoring/previewdialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

#include "authoring/sourcepage.h"
#include "core/screentext.h"
#include "engine/httpclient.h"
#include "engine/imgvaldialog.h"
#include "engine/pagefile.h"
#include "engine/preview.h"

namespace sorvane {

TfrmPreview::TfrmPreview(QWidget* parent)
    : QDialog(parent),
      lblPage_(new QLabel(this)),
      lblCount_(new QLabel(this)),
      sgPreview_(new QTableWidget(this)),
      memWhy_(new QPlainTextEdit(this)),
      btnClose_(new QPushButton(QStringLiteral("Close"), this)) {
  setWindowTitle(QStringLiteral("Records Preview"));
  lblPage_->setObjectName(QStringLiteral("lblPage"));
  lblPage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblCount_->setObjectName(QStringLiteral("lblCount"));
  lblCount_->setWordWrap(true);
  QFont bold = lblCount_->font();
  bold.setBold(true);
  lblCount_->setFont(bold);
  sgPreview_->setObjectName(QStringLiteral("sgPreview"));
  sgPreview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  sgPreview_->setSelectionBehavior(QAbstractItemView::SelectRows);
  sgPreview_->verticalHeader()->setDefaultSectionSize(20);
  sgPreview_->horizontalHeader()->setStretchLastSection(true);
  memWhy_->setObjectName(QStringLiteral("memWhy"));
  memWhy_->setReadOnly(true);
  memWhy_->hide();
  btnClose_->setObjectName(QStringLiteral("btnClose"));
  btnClose_->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnClose_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblPage_);
  layout->addWidget(lblCount_);
  layout->addWidget(sgPreview_, 1);
  layout->addWidget(memWhy_, 1);
  layout->addLayout(buttons);
  resize(640, 400);
  connect(btnClose_, &QPushButton::clicked, this, &TfrmPreview::reject);
}

void TfrmPreview::reject() {
  if (cancel_) {
    cancel_();
    return;
  }
  QDialog::reject();
}

void TfrmPreview::ShowLoading(const std::string& where, std::function<void()> cancel) {
  cancel_ = std::move(cancel);
  lblPage_->setText(QStringLiteral("Page: ") + ScreenText(where));
  lblCount_->setText(QStringLiteral("Loading: ") + ScreenText(where));
  sgPreview_->hide();
  memWhy_->hide();
}

void TfrmPreview::ShowResult(const PreviewResult& result, const std::string& where) {
  cancel_ = nullptr;
  lblPage_->setText(QStringLiteral("Page: ") + ScreenText(where));
  const ResultGrid& grid = result.grid;
  if (result.count == 0) {
    lblCount_->setText(QStringLiteral("No record on this page, because:"));
    sgPreview_->hide();
    std::string why;
    for (const std::string& reason : result.reasons)
      why += (why.empty() ? "- " : "\n- ") + reason;
    for (const std::string& error : result.errors)
      why += "\n- " + error;
    memWhy_->setPlainText(ScreenText(why));
    memWhy_->show();
    return;
  }
  const int shown = std::min(grid.DataRowCount(), kShownLimit);
  lblCount_->setText(
      result.count > kShownLimit
          ? QStringLiteral("%1 records on this page; the first %2 are shown.")
                .arg(result.count)
                .arg(kShownLimit)
          : QStringLiteral("%1 %2 on this page.")
                .arg(result.count)
                .arg(result.count == 1 ? QStringLiteral("record") : QStringLiteral("records")));
  sgPreview_->setColumnCount(grid.ShownColumnCount());
  QStringList titles;
  for (int c = 1; c <= grid.ShownColumnCount(); ++c)
    titles << ScreenText(grid.Columns()[static_cast<std::size_t>(c - 1)].title);
  sgPreview_->setHorizontalHeaderLabels(titles);
  sgPreview_->setRowCount(shown);
  for (int r = 1; r <= shown; ++r) {
    for (int c = 1; c <= grid.ShownColumnCount(); ++c) {
      auto* item = new QTableWidgetItem(ScreenText(grid.Cell(c, r)));
      item->setToolTip(item->text());
      sgPreview_->setItem(r - 1, c - 1, item);
    }
  }
  sgPreview_->show();
  if (!result.errors.empty()) {
    std::string errors;
    for (const std::string& error : result.errors)
      errors += (errors.empty() ? "" : "\n") + error;
    memWhy_->setPlainText(ScreenText(errors));
    memWhy_->setMaximumHeight(60);
    memWhy_->show();
  }
}

void TfrmPreview::ShowProblem(const std::string& where, const std::string& text) {
  cancel_ = nullptr;
  lblPage_->setText(QStringLiteral("Page: ") + ScreenText(where));
  lblCount_->setText(QStringLiteral("The page could not be read."));
  sgPreview_->hide();
  memWhy_->setPlainText(ScreenText(text));
  memWhy_->show();
}

void PreviewRecords(QWidget* parent, Tdm& store, RegExpr& re, HttpClient* http,
                    const PreviewSource& source, const RunDefinitions& defs,
                    const std::vector<TTrans>& rules) {
  TfrmPreview dialog(parent);
  bool cancelled = false;
  dialog.ShowLoading(source.address, [&cancelled, http] {
    cancelled = true;
    if (http != nullptr) http->Stop();
  });
  // Modal from the start: while the page loads, the window's events are processed, and nothing
  // behind the dialog may start another preview or close the editor.
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
  std::string page;
  std::string content_type;
  try {
    if (!source.is_url) {
      if (!PageFileExists(source.address)) {
        dialog.ShowProblem(source.address, "No file exists at this path.");
        dialog.exec();
        return;
      }
      page = ReadPageFile(source.address);
    } else if (http == nullptr) {
      dialog.ShowProblem(source.address, "Web pages cannot be fetched here.");
      dialog.exec();
      return;
    } else {
      const AskImageCode ask = [&dialog](const VerificationCodeRequest& request,
                                         std::string& code) {
        return TfrmImgVal::Ask(request, &dialog, code);
      };
      SourcePage fetched;
      switch (LoadSourcePage(store, *http, source.templet_id, source.address, ask, fetched)) {
        case SourceLoad::kLoaded:
          break;
        case SourceLoad::kCancelled:
          dialog.ShowProblem(source.address,
                             "No verification code was given, so the login and the page were "
                             "not requested.");
          dialog.exec();
          return;
        case SourceLoad::kLoginFailed:
          dialog.ShowProblem(source.address, "The login failed: " + fetched.cause);
          dialog.exec();
          return;
      }
      page = std::move(fetched.bytes);
      content_type = std::move(fetched.content_type);
    }
    if (cancelled) return;
    const PreviewResult result = PreviewPage(store, re, defs, rules, std::move(page), content_type);
    dialog.ShowResult(result, source.address);
  } catch (const std::exception& e) {
    if (cancelled) return;
    dialog.ShowProblem(source.address, e.what());
  }
  dialog.exec();
}

}  // namespace sorvane
