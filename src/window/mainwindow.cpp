#include "window/mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "authoring/sourceviewer.h"
#include "authoring/templeteditor.h"
#include "core/errorbox.h"
#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/options.h"
#include "core/product.h"
#include "core/screentext.h"
#include "core/store.h"
#include "core/templetstore.h"
#include "designer/setuptabdialog.h"
#include "engine/logindialog.h"
#include "import/exportcommand.h"
#include "import/importcommand.h"
#include "output/csvcommand.h"
#include "output/outputdialog.h"
#include "output/savetable.h"
#include "window/aboutdialog.h"
#include "window/gridmodel.h"
#include "window/guardedselection.h"
#include "window/helpwindow.h"
#include "window/optiondialog.h"
#include "window/statuspanels.h"

namespace sorvane {
namespace {

constexpr int kWindowWidth = 781;
constexpr int kWindowHeight = 544;
constexpr int kLeftPanelWidth = 209;
constexpr int kListHeaderHeight = 22;
constexpr int kDefaultColumnWidth = 30;

const char kDiscardQuestion[] =
    "The Extraction result doesn't saved,\nare you sure to discard these records?";

// An entry of the templet list: its record lives as long as the entry.
class TempletItem : public QTreeWidgetItem {
 public:
  explicit TempletItem(const TTemplet& templet) : templet_(templet) {}
  const TTemplet& Templet() const { return templet_; }
  void SetTemplet(const TTemplet& templet) { templet_ = templet; }

 private:
  TTemplet templet_;
};

// The list's entry icons: a page (icon 0), and the page marked for the selected entry (icon 1).
QPixmap PageIcon(bool selected) {
  QPixmap icon(16, 16);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setPen(QColor(64, 64, 96));
  p.setBrush(selected ? QColor(255, 236, 140) : QColor(Qt::white));
  p.drawPolygon(
      QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)}));
  p.drawLine(10, 1, 10, 4);
  p.drawLine(10, 4, 13, 4);
  p.setPen(selected ? QColor(160, 80, 0) : QColor(0, 0, 128));
  for (int y = 6; y <= 12; y += 2)
    p.drawLine(5, y, 11, y);
  return icon;
}

QIcon EntryIcon() {
  QIcon icon;
  icon.addPixmap(PageIcon(false), QIcon::Normal);
  icon.addPixmap(PageIcon(true), QIcon::Selected);
  return icon;
}

}  // namespace

TfrmMain::TfrmMain(Tdm& store, QWidget* parent) : QMainWindow(parent), store_(store) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromLatin1(kMainCaption));
  setFont(QFont(QStringLiteral("Arial"), 8));
  resize(kWindowWidth, kWindowHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  CreateComponents();
  CreateMenus();
  host_.Attach(sbMsg_, model_, miStop_);
  // While a request waits, the window repaints and Stop can be clicked.
  http_.SetPump([this] { host_.ProcessEvents(); });
  LoadTemplets();
}

TfrmMain::~TfrmMain() {
  CloseHelpWindow();
  // Taking the list apart moves its selection: neither the guard nor the grid may follow.
  navi_handler_attached_ = false;
  run_state_.extracted = 0;
  delete tvNavi_;
  // The view goes before the model, and the model before the grid it listens to.
  delete sgDisp_;
  delete model_;
}

void TfrmMain::CreateComponents() {
  Splitter1_ = new QSplitter(Qt::Horizontal, this);
  Splitter1_->setObjectName(QStringLiteral("Splitter1"));
  Splitter1_->setChildrenCollapsible(false);

  pnlLeft_ = new QWidget(Splitter1_);
  pnlLeft_->setObjectName(QStringLiteral("pnlLeft"));
  auto* left = new QVBoxLayout(pnlLeft_);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  pnlTempletList_ = new QLabel(QStringLiteral("Templet Listing"), pnlLeft_);
  pnlTempletList_->setObjectName(QStringLiteral("pnlTempletList"));
  pnlTempletList_->setFixedHeight(kListHeaderHeight);
  pnlTempletList_->setAlignment(Qt::AlignCenter);
  pnlTempletList_->setAutoFillBackground(true);
  QFont header_font(QStringLiteral("Arial"), 8, QFont::Bold);
  pnlTempletList_->setFont(header_font);
  QPalette navy = pnlTempletList_->palette();
  navy.setColor(QPalette::Window, QColor(0, 0, 128));
  navy.setColor(QPalette::WindowText, Qt::white);
  pnlTempletList_->setPalette(navy);
  left->addWidget(pnlTempletList_);

  tvNavi_ = new QTreeWidget(pnlLeft_);
  tvNavi_->setObjectName(QStringLiteral("tvNavi"));
  tvNavi_->setHeaderHidden(true);
  tvNavi_->setColumnCount(1);
  tvNavi_->setRootIsDecorated(false);
  tvNavi_->setItemsExpandable(false);
  tvNavi_->setExpandsOnDoubleClick(false);
  tvNavi_->setUniformRowHeights(true);
  tvNavi_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvNavi_->setSelectionMode(QAbstractItemView::SingleSelection);
  tvNavi_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvNavi_->setAllColumnsShowFocus(true);
  tvNavi_->setMouseTracking(true);  // hot tracking
  tvNavi_->setAttribute(Qt::WA_Hover);
  QPalette list = tvNavi_->palette();
  list.setColor(QPalette::Base, list.color(QPalette::ToolTipBase));
  list.setColor(QPalette::Text, list.color(QPalette::ToolTipText));
  // The selection stays visible while the list does not have the focus.
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    list.setColor(QPalette::Inactive, role, list.color(QPalette::Active, role));
  }
  tvNavi_->setPalette(list);
  auto* guarded = new GuardedSelectionModel(
      tvNavi_->model(), [this] { return !Running() && ConfirmDiscard(); }, tvNavi_);
  QItemSelectionModel* plain = tvNavi_->selectionModel();
  tvNavi_->setSelectionModel(guarded);
  delete plain;
  connect(guarded, &QItemSelectionModel::selectionChanged, this, &TfrmMain::NaviSelectionChanged);
  left->addWidget(tvNavi_);

  auto* pnlGrid = new QWidget(Splitter1_);
  pnlGrid->setObjectName(QStringLiteral("pnlGrid"));
  auto* right = new QVBoxLayout(pnlGrid);
  right->setContentsMargins(0, 0, 0, 0);
  sgDisp_ = new QTableView(pnlGrid);
  sgDisp_->setObjectName(QStringLiteral("sgDisp"));
  model_ = new GridModel(host_.Grid());
  sgDisp_->setHorizontalHeader(new GridHeader(Qt::Horizontal, sgDisp_));
  sgDisp_->setVerticalHeader(new GridHeader(Qt::Vertical, sgDisp_));
  sgDisp_->setModel(model_);
  sgDisp_->setItemDelegate(new GridCellDelegate(sgDisp_));
  sgDisp_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  sgDisp_->setSelectionBehavior(QAbstractItemView::SelectRows);
  sgDisp_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  sgDisp_->setCornerButtonEnabled(false);
  sgDisp_->setShowGrid(true);
  sgDisp_->setWordWrap(true);
  sgDisp_->horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
  sgDisp_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  sgDisp_->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  sgDisp_->verticalHeader()->setDefaultSectionSize(kDefaultRowHeight);
  sgDisp_->setFont(QFont(QString::fromLatin1(kDefaultGridFontName), kDefaultFontSize));
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
          [this] { applying_widths_ = true; });
  connect(model_, &QAbstractItemModel::modelReset, this, &TfrmMain::ApplyColumnWidths);
  connect(sgDisp_->horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int section, int, int new_size) { ColumnResized(section, new_size); });
  right->addWidget(sgDisp_);

  Splitter1_->addWidget(pnlLeft_);
  Splitter1_->addWidget(pnlGrid);
  Splitter1_->setStretchFactor(0, 0);
  Splitter1_->setStretchFactor(1, 1);
  Splitter1_->setSizes({kLeftPanelWidth, kWindowWidth - kLeftPanelWidth});
  setCentralWidget(Splitter1_);

  sbMsg_ = new StatusPanels(this);
  sbMsg_->setObjectName(QStringLiteral("sbMsg"));
  setStatusBar(sbMsg_);
}

std::vector<Command> TfrmMain::Commands() {
  // One row per menu item, in menu order. Commands that come with later parts of the program
  // are listed with their captions and shortcuts but stay disabled until they exist.
  const auto help = [this](const char* topic) { return [this, topic] { ShowHelpTopic(topic); }; };
  const auto open = [](const char* url) {
    return [url] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(url))); };
  };
  constexpr bool kBlocked = true;  // disabled while a run goes on
  constexpr bool kSeparator = true;
  return {
      {"File", "miOpen", "Open...", QKeySequence(Qt::CTRL | Qt::Key_O), kSeparator, kBlocked,
       [this] { OpenAndExtract(); }},
      {"File", "miExit", "E&xit", {}, false, false, [this] { close(); }},
      {"Templet", "miNewTemplet", "&New...", QKeySequence(Qt::Key_Insert), false, kBlocked,
       [this] { EditTemplet(0); }},
      {"Templet", "miExecute", "&Extract Now", QKeySequence(Qt::Key_F5), false, kBlocked,
       [this] { ExtractNow(); }},
      {"Templet", "miModifyTemplet", "&Modify...", QKeySequence(Qt::Key_F2), false, kBlocked,
       [this] {
         if (const TTemplet* selected = SelectedTemplet()) EditTemplet(selected->ID);
       }},
      {"Templet",
       "miDeleteTemplet",
       "&Delete",
       {},
       kSeparator,
       kBlocked,
       [this] { DeleteTemplet(); }},
      {"Templet",
       "miImport",
       "&Import...",
       {},
       false,
       kBlocked,
       [this] {
         ImportTemplet(this, store_, host_,
                       [this](const TTemplet& templet, const std::string& name) {
                         AddTempletNode(templet, name);
                       });
       }},
      {"Templet",
       "miExport",
       "E&xport...",
       {},
       kSeparator,
       kBlocked,
       [this] { ExportTemplet(this, store_, SelectedTemplet()); }},
      {"Templet", "miOption", "&Option...", {}, false, kBlocked, [this] { EditOptions(); }},
      {"Data", "miDelete", "Delete Selected", QKeySequence(Qt::Key_Delete), kSeparator, kBlocked,
       [this] { DeleteSelectedRows(); }},
      {"Data",
       "miSaveToDB",
       "Save To &Database",
       {},
       false,
       kBlocked,
       [this] { RunWith(SaveToDatabase); }},
      {"Data",
       "miSaveAsCSV",
       "Save As .&CSV File...",
       {},
       false,
       kBlocked,
       [this] {
         if (SaveGridAsCsv(this, Grid(), &host_)) SetExtractedCount(0);
       }},
      {"Data",
       "miSaveCustom",
       "Save As C&ustom Format...",
       {},
       kSeparator,
       kBlocked,
       [this] {
         SaveCustomFormat(
             this, store_, Grid(), CurrentTemplet().ID,
             [this](const std::string& topic) { ShowHelpTopic(topic); }, &host_);
         SetExtractedCount(0);
       }},
      {"Data",
       "miTableManage",
       "D&atabase Management...",
       {},
       false,
       kBlocked,
       [this] { ManageTables(this, store_); }},
      {"View", "miPrev", "Previous Page", QKeySequence(Qt::Key_PageUp), false, kBlocked,
       [this] { TurnPage(&ResultPages::PreviousPage); }},
      {"View", "miNext", "Next Page", QKeySequence(Qt::Key_PageDown), false, kBlocked,
       [this] { TurnPage(&ResultPages::NextPage); }},
      {"View",
       "miSaveColumnWidth",
       "&Save Column Width",
       {},
       false,
       false,
       [this] { SaveColumnWidths(); }},
      {"View", "miFirst", "First Page", QKeySequence(Qt::CTRL | Qt::Key_PageUp), false, kBlocked,
       [this] { TurnPage(&ResultPages::FirstPage); }},
      {"View", "miLast", "Last Page", QKeySequence(Qt::CTRL | Qt::Key_PageDown), false, kBlocked,
       [this] { TurnPage(&ResultPages::LastPage); }},
      {"Help", "miHelpTopic", "Help", QKeySequence(Qt::Key_F1), false, false,
       help("introduce.html")},
      {"Help",
       "miLearningBySample",
       "Learning By Sample",
       {},
       kSeparator,
       false,
       help("sample.html")},
      {"Help", "miWebsite", "Homepage", {}, false, false, open(kHomePageUrl)},
      {"Help", "miSample", "Sample Resource", {}, kSeparator, false, open(kSamplePageUrl)},
      {"Help", "miAbout", "About...", {}, false, false, [this] { ShowAbout(); }},
  };
}

void TfrmMain::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  QMenu* menu = nullptr;
  for (Command& command : Commands()) {
    if (!menu || menu->title() != QLatin1String(command.menu)) {
      menu = bar->addMenu(QString::fromLatin1(command.menu));
      menu->setObjectName(QStringLiteral("menu") + QString::fromLatin1(command.menu));
    }
    auto* action = new QAction(QString::fromLatin1(command.caption), this);
    action->setObjectName(QString::fromLatin1(command.name));
    action->setShortcut(command.shortcut);
    const bool available = static_cast<bool>(command.run);
    action->setEnabled(available);
    if (available) connect(action, &QAction::triggered, this, std::move(command.run));
    if (command.blocked_while_running) blocked_.emplace_back(action, available);
    menu->addAction(action);
    if (command.separator_after) menu->addSeparator();
  }

  miStop_ = new QAction(QStringLiteral("&Stop!"), this);
  miStop_->setObjectName(QStringLiteral("miStop"));
  miStop_->setEnabled(false);
  // A click on Stop clears the stop flag; the run ends at its next check.
  // A transfer in progress is cut off at once.
  connect(miStop_, &QAction::triggered, this, [this] {
    host_.SetStopEnabled(false);
    http_.Stop();
  });
  bar->addAction(miStop_);

  // A double-click on an entry extracts it, like "&Extract Now"; during a run it starts nothing.
  connect(tvNavi_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (!Running()) ExtractNow();
  });
}

void TfrmMain::LoadTemplets() {
  navi_handler_attached_ = false;
  RunCommand([this] {
    for (const TempletEntry& entry : sorvane::LoadTemplets(store_))
      AddTempletNode(entry.templet, entry.name);
  });
  if (tvNavi_->topLevelItemCount() > 0) tvNavi_->setCurrentItem(tvNavi_->topLevelItem(0));
  navi_handler_attached_ = true;
  if (const TTemplet* first = SelectedTemplet()) ShowTempletData(*first);
}

void TfrmMain::AddTempletNode(const TTemplet& templet, const std::string& name) {
  auto* item = new TempletItem(templet);
  item->setText(0, ScreenText(name));
  item->setIcon(0, EntryIcon());
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  tvNavi_->addTopLevelItem(item);
  tvNavi_->setCurrentItem(item);
}

void TfrmMain::RefreshTemplet(const TTemplet& templet, const std::string& name) {
  auto* item = static_cast<TempletItem*>(SelectedItem());
  if (!item) return;
  item->setText(0, ScreenText(name));
  item->SetTemplet(templet);
  if (ConfirmDiscard()) ShowTempletData(item->Templet());
}

QTreeWidgetItem* TfrmMain::SelectedItem() const {
  const QList<QTreeWidgetItem*> selected = tvNavi_->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

const TTemplet* TfrmMain::SelectedTemplet() const {
  const auto* item = static_cast<const TempletItem*>(SelectedItem());
  return item ? &item->Templet() : nullptr;
}

void TfrmMain::NaviSelectionChanged() {
  if (!navi_handler_attached_) return;
  // Losing the selection (the last entry deleted) leaves the current templet and the grid.
  if (const TTemplet* selected = SelectedTemplet()) ShowTempletData(*selected);
}

void TfrmMain::ShowTempletData(const TTemplet& entry) {
  const bool shown = RunCommand([&] { pages_.Show(store_, entry); });
  // What was set up before a failure stays: the options and the titles.
  ApplyGridLook();
  model_->Flush();
  const TTemplet& current = pages_.Current();
  sbMsg_->SetText(1, current.IsURL ? QStringLiteral("URL") : QStringLiteral("LOCAL"));
  sbMsg_->SetText(2, current.IsTextTag ? QStringLiteral("TextTag") : QStringLiteral("RegExpr"));
  if (shown) ShowStatus(pages_.StatusText());
}

void TfrmMain::ApplyGridLook() {
  const GridLook& look = pages_.Look();
  const QFont font(QString::fromLocal8Bit(look.font_name), look.font_size);
  sgDisp_->setFont(font);
  // The style may give headers a font of their own, which the view's font does not reach.
  sgDisp_->horizontalHeader()->setFont(font);
  sgDisp_->verticalHeader()->setFont(font);
  // Every data row takes the default height; the title row keeps its own (GridHeader).
  sgDisp_->verticalHeader()->setDefaultSectionSize(look.row_height);
  sgDisp_->viewport()->update();
}

void TfrmMain::ApplyColumnWidths() {
  applying_widths_ = true;
  QHeaderView* header = sgDisp_->horizontalHeader();
  const std::vector<GridColumn>& columns = host_.Grid().Columns();
  for (int i = 0; i < static_cast<int>(columns.size()) && i < header->count(); ++i) {
    header->resizeSection(i, columns[i].width);
  }
  applying_widths_ = false;
}

void TfrmMain::ColumnResized(int section, int new_size) {
  // The grid keeps the widths the user gives the columns, for "&Save Column Width".
  if (!applying_widths_) host_.Grid().SetColumnWidth(section + 1, new_size);
}

bool TfrmMain::ConfirmDiscard() {
  if (run_state_.extracted == 0) return true;
  if (MessageBox::Warning(this, QStringLiteral("Confirm"), QString::fromLatin1(kDiscardQuestion),
                          QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
    return false;
  }
  run_state_.extracted = 0;
  return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (Running()) {
    // The run is still on the call stack: it stops first, and the window closes after it.
    close_after_run_ = true;
    host_.SetStopEnabled(false);
    event->ignore();
    return;
  }
  if (ConfirmDiscard()) {
    event->accept();
  } else {
    event->ignore();
  }
}

const TTemplet* TfrmMain::TempletToRun() {
  const TTemplet* selected = SelectedTemplet();
  if (!selected || selected->ID != pages_.Current().ID) return selected;
  // The entry's record is the newer one when the editor changed the templet while the grid kept
  // a run's records; the image folder comes with the current templet.
  run_templet_ = *selected;
  run_templet_.ImgDir = pages_.Current().ImgDir;
  return &run_templet_;
}

RunCommandHooks TfrmMain::MakeRunHooks() {
  RunCommandHooks hooks;
  hooks.choose_files = [this](std::vector<std::string>& files) {
    files.clear();
    const std::optional<QStringList> chosen =
        FileDialog::OpenFiles(this, QStringLiteral("Open"), kSourceFileFilter);
    if (!chosen) return false;
    for (const QString& path : *chosen)
      files.push_back(Bytes(path));
    return true;
  };
  hooks.running_changed = [this](bool running) { SetRunning(running); };
  return hooks;
}

void TfrmMain::SetRunning(bool running) {
  // The run needs the grid's columns and the selected templet as they were when it started.
  for (const auto& [action, available] : blocked_)
    action->setEnabled(available && !running);
  if (!running) model_->Flush();
}

void TfrmMain::ExtractNow() {
  RunWith(sorvane::ExtractNow);
}

void TfrmMain::OpenAndExtract() {
  RunWith(sorvane::OpenAndExtract);
}

void TfrmMain::RunWith(RunEntry entry) {
  if (Running()) return;
  RunCommand([this, entry] {
    RunContext ctx{.host = host_, .store = store_, .re = re_, .state = run_state_, .http = &http_};
    entry(ctx, TempletToRun(), MakeRunHooks());
  });
  if (close_after_run_) {
    close_after_run_ = false;
    close();
  }
}

bool TfrmMain::RunCommand(const std::function<void()>& command) {
  return sorvane::RunCommand(this, command);
}

void TfrmMain::EditTemplet(int id) {
  TempletEditorServices services;
  services.edit_login = [this](QWidget* parent, int templet_id) {
    EditLogin(parent, store_, http_, templet_id);
  };
  services.view_source = [this](TfrmTemplet& editor, int templet_id, const std::string& url,
                                bool can_add) {
    ViewSource(
        &editor, store_, http_, templet_id, url, can_add,
        [&editor](const std::string& title, const std::string& open_tag,
                  const std::string& close_tag) {
          editor.AddSourceColumn(title, open_tag, close_tag);
        },
        editor.CurrentPageSettings().convert_to_utf8);
  };
  services.http = &http_;
  sorvane::EditTemplet(this, store_, re_, id, services,
                       [this, id](const TTemplet& templet, const std::string& name) {
                         if (id == 0) {
                           AddTempletNode(templet, name);
                         } else {
                           RefreshTemplet(templet, name);
                         }
                       });
}

void TfrmMain::DeleteTemplet() {
  QTreeWidgetItem* item = SelectedItem();
  if (!item) return;
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure delete this templet?")) !=
      QMessageBox::Yes) {
    return;
  }
  const int id = static_cast<TempletItem*>(item)->Templet().ID;
  if (!RunCommand([this, id] { sorvane::DeleteTemplet(store_, id); })) return;
  // The list selects a neighbour in its place through the selection protocol (the guard may
  // refuse); the neighbour is shown once the entry is gone.
  navi_handler_attached_ = false;
  delete item;
  navi_handler_attached_ = true;
  if (const TTemplet* next = SelectedTemplet()) ShowTempletData(*next);
}

void TfrmMain::EditOptions() {
  const int id = pages_.Current().ID;
  // The current templet must still be in the list: a deleted templet has no options to edit.
  if (id < 1 || !SelectedTemplet() || SelectedTemplet()->ID != id) {
    MessageBox::Warning(this, QStringLiteral("Note"), QStringLiteral("Please select a templet."));
    return;
  }
  RunCommand([this, id] {
    TfrmOption dialog(store_, this);
    dialog.SetTempID(id);
    if (dialog.exec() != QDialog::Accepted) return;
    pages_.ApplyOptions(ReadOptions(store_, id));
  });
  ApplyGridLook();
}

void TfrmMain::DeleteSelectedRows() {
  if (!pages_.CanDeleteRows()) return;
  const QModelIndexList rows = sgDisp_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  int top = rows.first().row();
  int bottom = top;
  for (const QModelIndex& row : rows) {
    top = std::min(top, row.row());
    bottom = std::max(bottom, row.row());
  }
  if (MessageBox::Question(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure to delete these record?")) !=
      QMessageBox::Yes) {
    return;
  }
  RunCommand([&] { pages_.DeleteRows(store_, top + 1, bottom + 1); });
}

void TfrmMain::TurnPage(bool (ResultPages::*turn)(Tdm&)) {
  bool moved = false;
  RunCommand([&] { moved = (pages_.*turn)(store_); });
  model_->Flush();
  if (moved) ShowStatus(pages_.StatusText());
}

void TfrmMain::SaveColumnWidths() {
  RunCommand([this] { pages_.SaveColumnWidths(store_); });
}

void TfrmMain::ShowHelpTopic(const std::string& topic) {
  sorvane::ShowHelpTopic(topic);
}

void TfrmMain::ShowAbout() {
  TfrmAbout about(this);
  about.exec();
}

}  // namespace sorvane
