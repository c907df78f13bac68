#include "output/outputdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>

#include <exception>
#include <optional>

#include "authoring/tabdialog.h"
#include "core/errorbox.h"
#include "core/messagebox.h"
#include "core/programfolder.h"
#include "core/progressbar.h"
#include "core/resultgrid.h"
#include "core/screentext.h"
#include "core/selectfolder.h"
#include "core/textinputdialog.h"
#include "output/customoutput.h"

namespace sorvane {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 460;
// While files are written, the window repaints at least this often.
constexpr int kRepaintInterval = 100;  // milliseconds

QString FolderWithoutSeparator(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return ScreenText(folder);
}

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TfrmOutput::TfrmOutput(Tdm& store, const ResultGrid& grid, QWidget* parent)
    : QDialog(parent), store_(store), grid_(grid), folder_(FolderWithoutSeparator(DataFolder())) {
  setObjectName(QStringLiteral("frmOutput"));
  setWindowTitle(QStringLiteral("Custom output"));
  setSizeGripEnabled(true);
  resize(kWidth, kHeight);

  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->setObjectName(QStringLiteral("Splitter1"));
  splitter->setChildrenCollapsible(false);

  auto* top = new QWidget(splitter);
  auto* top_layout = new QVBoxLayout(top);
  top_layout->setContentsMargins(0, 0, 0, 0);
  auto* pattern_label = new QLabel(QStringLiteral("Output templet text:"), top);
  pattern_label->setObjectName(QStringLiteral("Label1"));
  mmTemplet_ = new QPlainTextEdit(top);
  mmTemplet_->setObjectName(QStringLiteral("mmTemplet"));
  mmTemplet_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  top_layout->addWidget(pattern_label);
  top_layout->addWidget(mmTemplet_, 1);

  auto* bottom = new QWidget(splitter);
  auto* bottom_layout = new QVBoxLayout(bottom);
  bottom_layout->setContentsMargins(0, 0, 0, 0);
  lblOutput_ = new QLabel(QStringLiteral("Output result:"), bottom);
  lblOutput_->setObjectName(QStringLiteral("lblOutput"));
  mmOutput_ = new QPlainTextEdit(bottom);
  mmOutput_->setObjectName(QStringLiteral("mmOutput"));
  mmOutput_->setReadOnly(true);
  // The box is only ever filled whole; an undo history of it would double its memory.
  mmOutput_->setUndoRedoEnabled(false);
  mmOutput_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The selection stays visible while the box does not have the focus.
  QPalette output = mmOutput_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    output.setColor(QPalette::Inactive, role, output.color(QPalette::Active, role));
  mmOutput_->setPalette(output);
  bottom_layout->addWidget(lblOutput_);
  bottom_layout->addWidget(mmOutput_, 1);
  splitter->addWidget(top);
  splitter->addWidget(bottom);

  auto* insert = Button("btnInsertCol", "Insert Column", this);
  auto* save = Button("btnSaveTemplet", "Save Templet", this);
  auto* start = Button("btnGetResult", "Output Start", this);
  cbFile_ = new QCheckBox(QStringLiteral("Output files"), this);
  cbFile_->setObjectName(QStringLiteral("cbFile"));
  btnFileName_ = Button("btnFileName", "Set Filename", this);
  btnExtName_ = Button("btnExtName", "Set .ext Name", this);
  btnDir_ = Button("btnDir", "Out Directory", this);
  for (QPushButton* button : {btnFileName_, btnExtName_, btnDir_})
    button->setEnabled(false);
  auto* select_all = Button("btnSelAll", "Select All", this);
  auto* copy = Button("btnCopy", "Copy", this);
  auto* close = Button("Button1", "Close", this);
  auto* help = Button("btnHelp", "Help", this);
  cbSQL_ = new QCheckBox(QStringLiteral("For SQL ('->'')"), this);
  cbSQL_->setObjectName(QStringLiteral("cbSQL"));

  auto* controls = new QVBoxLayout;
  for (QWidget* control : std::initializer_list<QWidget*>{insert, save, start})
    controls->addWidget(control);
  controls->addSpacing(8);
  for (QWidget* control :
       std::initializer_list<QWidget*>{cbFile_, btnFileName_, btnExtName_, btnDir_})
    controls->addWidget(control);
  controls->addSpacing(8);
  for (QWidget* control : std::initializer_list<QWidget*>{select_all, copy, close, help})
    controls->addWidget(control);
  controls->addSpacing(8);
  controls->addWidget(cbSQL_);
  controls->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(splitter, 1);
  layout->addLayout(controls);

  connect(insert, &QPushButton::clicked, this, &TfrmOutput::InsertColumn);
  connect(save, &QPushButton::clicked, this, &TfrmOutput::SaveTemplet);
  connect(start, &QPushButton::clicked, this, &TfrmOutput::OutputStart);
  connect(cbFile_, &QCheckBox::clicked, this, &TfrmOutput::OutputFilesClicked);
  connect(btnFileName_, &QPushButton::clicked, this, &TfrmOutput::ChooseNameColumn);
  connect(btnExtName_, &QPushButton::clicked, this, &TfrmOutput::ChooseExtension);
  connect(btnDir_, &QPushButton::clicked, this, &TfrmOutput::ChooseFolder);
  connect(select_all, &QPushButton::clicked, this, &TfrmOutput::SelectAll);
  connect(copy, &QPushButton::clicked, this, &TfrmOutput::Copy);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] {
    if (show_help_) show_help_("customoutput.html");
  });
}

void TfrmOutput::SetTempletID(int id) {
  templet_id_ = id;
  if (const std::optional<std::string> pattern = LoadOutputPattern(store_, id)) {
    mmTemplet_->setPlainText(ScreenText(*pattern));
  }
}

void TfrmOutput::InsertColumn() {
  RunCommand(this, [this] {
    TfrmTab tab(store_, this);
    tab.LoadColumns(templet_id_);
    if (tab.exec() != QDialog::Accepted) return;
    mmTemplet_->insertPlainText(QStringLiteral("<CID:%1/>").arg(tab.SelectedID()));
  });
}

void TfrmOutput::SaveTemplet() {
  if (!RunCommand(this, [this] {
        SaveOutputPattern(store_, templet_id_, Bytes(mmTemplet_->toPlainText()));
      })) {
    return;
  }
  MessageBox::Information(this, QStringLiteral("Information"),
                          QStringLiteral("OK! Templet saved."));
}

void TfrmOutput::OutputFilesClicked() {
  const bool files = cbFile_->isChecked();
  for (QPushButton* button : {btnFileName_, btnExtName_, btnDir_})
    button->setEnabled(files);
  RefreshOutputLabel();
}

void TfrmOutput::ChooseFolder() {
  // A folder that no longer exists is forgotten only when another one is chosen.
  QString folder = folder_;
  if (!SelectFolder(this, QStringLiteral("Please select the output directory:"), folder)) return;
  folder_ = folder;
  RefreshOutputLabel();
}

void TfrmOutput::ChooseNameColumn() {
  RunCommand(this, [this] {
    TfrmTab tab(store_, this);
    tab.LoadColumns(templet_id_);
    if (tab.exec() != QDialog::Accepted) return;
    name_column_ = tab.SelectedID();
    name_title_ = tab.SelectedTitle();
    RefreshOutputLabel();
  });
}

void TfrmOutput::ChooseExtension() {
  TfrmTextInput input(this);
  input.SetTit("Please input extended file name:");
  if (input.exec() != QDialog::Accepted) return;
  std::string extension = input.Txt();
  if (!extension.starts_with('.')) extension.insert(0, 1, '.');
  extension_ = extension;
  RefreshOutputLabel();
}

void TfrmOutput::RefreshOutputLabel() {
  QStringList parts;
  if (name_column_ != 0) parts << QStringLiteral("Naming: ") + ScreenText(name_title_);
  if (!extension_.empty()) parts << QStringLiteral("Ext: ") + ScreenText(extension_);
  if (!folder_.isEmpty()) parts << QStringLiteral("OutDir: ") + folder_;
  QString text = QStringLiteral("Output result:");
  if (!parts.isEmpty())
    text += QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
  lblOutput_->setText(text);
}

void TfrmOutput::SelectAll() {
  mmOutput_->selectAll();
}

void TfrmOutput::Copy() {
  QApplication::clipboard()->setText(mmOutput_->toPlainText());
  MessageBox::Information(this, QStringLiteral("Note"),
                          QStringLiteral("Output result copied to clipboard."));
}

void TfrmOutput::OutputStart() {
  mmOutput_->clear();
  if (extension_.empty()) extension_ = ".txt";
  CustomOutputRequest request;
  request.pattern = Bytes(mmTemplet_->toPlainText());
  request.for_sql = cbSQL_->isChecked();
  request.name_column = name_column_;
  request.extension = extension_;
  if (cbFile_->isChecked()) {
    WriteFiles(request);
    return;
  }
  std::string text;
  std::optional<ProgressBarScope> bar;
  if (progress_ != nullptr) bar.emplace(*progress_);
  const int rows = grid_.DataRowCount();
  try {
    // Records expand fast: the bar hears of every 256th and the last.
    ExpandToText(grid_, request, text, [&bar, rows](int row) {
      if (bar && (row % 256 == 0 || row == rows)) bar->Show(row, rows, "records");
    });
  } catch (const std::exception& error) {
    mmOutput_->setPlainText(ScreenText(text));
    ShowErrorBox(this, error);
    return;
  }
  mmOutput_->setPlainText(ScreenText(text));
}

void TfrmOutput::WriteFiles(const CustomOutputRequest& request) {
  // Many files take a while: the window repaints meanwhile, while clicks and keys wait.
  QElapsedTimer since_repaint;
  since_repaint.start();
  std::optional<ProgressBarScope> bar;
  if (progress_ != nullptr) bar.emplace(*progress_);
  const int rows = grid_.DataRowCount();
  const bool written = RunCommand(this, [&] {
    WriteOutputFiles(grid_, request, Bytes(folder_), [&](int row) {
      if (bar) bar->Show(row, rows, "files");
      if (since_repaint.elapsed() < kRepaintInterval) return;
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      since_repaint.restart();
    });
  });
  if (written) QDesktopServices::openUrl(QUrl::fromLocalFile(folder_));
}

void SaveCustomFormat(QWidget* parent, Tdm& store, const ResultGrid& grid, int templet_id,
                      const ShowHelpFunction& show_help, RunHost* progress) {
  TfrmOutput dialog(store, grid, parent);
  dialog.SetShowHelp(show_help);
  dialog.SetProgressHost(progress);
  if (!RunCommand(parent, [&] { dialog.SetTempletID(templet_id); })) return;
  dialog.exec();
}

}  // namespace sorvane
