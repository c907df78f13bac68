// The main window on a real store, driven offscreen: start-up, menus, status bar, the templet
// list with its unsaved-results guard, deleting templets, paging, deleting rows, column widths,
// display options, help and the web commands.

#include "window/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/product.h"
#include "core/programfolder.h"
#include "designer/setuptabdialog.h"
#include "output/outputdialog.h"
#include "support/filesizelimit.h"
#include "support/httpserver.h"
#include "support/modal.h"
#include "support/storefixture.h"
#include "window/gridmodel.h"
#include "window/helpwindow.h"
#include "window/optiondialog.h"
#include "window/statuspanels.h"

namespace sorvane {
namespace {

const char kDiscard[] =
    "The Extraction result doesn't saved,\nare you sure to discard these records?";

// Receives the addresses handed to the system's default handler.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

using test::WhenModal;

// A store that the test fills first, then the main window on it.
struct Fixture {
  test::StoreFixture f;
  std::unique_ptr<TfrmMain> w;

  TfrmMain& Open() {
    w = std::make_unique<TfrmMain>(f.Store());
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get())) qFatal("window not exposed");
    return *w;
  }
  QAction* Action(const char* name) const { return test::Named<QAction>(w.get(), name); }
  QString Status(int panel) const { return w->Status()->Text(panel); }
  // The selected entry's index, -1 for none.
  int Selected() const {
    const QList<QTreeWidgetItem*> items = w->Navi()->selectedItems();
    return items.size() == 1 ? w->Navi()->indexOfTopLevelItem(items.first()) : -1;
  }
  void Click(int entry) {
    QTreeWidget* list = w->Navi();
    const QRect rect = list->visualItemRect(list->topLevelItem(entry));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }
  // Rows as a run leaves them: no stored-record ids, counted as extracted.
  void FakeRun(int rows) {
    ResultGrid& grid = w->Grid();
    grid.ClearRows();
    for (int i = 1; i <= rows; ++i)
      grid.AppendRow(0, {"run " + std::to_string(i)});
    w->Model()->Flush();
    w->SetExtractedCount(rows);
  }
  // A web text-tag templet with columns on the two fields of a new table of `records` records.
  int BrowseTemplet(const std::string& name, int records, std::vector<int>* fids_out = nullptr) {
    std::vector<int> fids;
    const int taid = f.AddTable(name + " table", 2, fids);
    f.AddRecords(taid, fids, records);
    const int id = f.AddTemplet(name, 1, 1, taid);
    f.AddColumn(id, "First", fids[0], 0, 0, 70);
    f.AddColumn(id, "Second", fids[1], 1, 0, 90);
    if (fids_out) *fids_out = fids;
    return id;
  }
  std::vector<long long> GridIds() const {
    std::vector<long long> ids;
    for (int r = 1; r <= w->Grid().DataRowCount(); ++r)
      ids.push_back(w->Grid().RecordId(r));
    return ids;
  }
  QStringList RowNumbers() const {
    QStringList numbers;
    for (int r = 0; r < w->Model()->rowCount(); ++r)
      numbers << w->Model()->headerData(r, Qt::Vertical).toString();
    return numbers;
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    MessageBox::clearRecord();
    unanswered_ = 0;
    // A box that no answer was queued for would wait for a user: close it and count it.
    watchdog_.setInterval(20);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++unanswered_;
        box->reject();
      }
    });
    watchdog_.start();
  }
  void cleanup() {
    watchdog_.stop();
    watchdog_.disconnect();
    QCOMPARE(unanswered_, 0);
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    MessageBox::clearRecord();
  }

  void startsEmptyOnAnEmptyStore() {
    Fixture x;
    TfrmMain& w = x.Open();
    QCOMPARE(w.windowTitle(),
             QStringLiteral("Sorvane - Extracts data record from web & local file."));
    QCOMPARE(w.size(), QSize(781, 544));
    QCOMPARE(w.font().family(), QStringLiteral("Arial"));
    QCOMPARE(w.font().pointSize(), 8);
    QCOMPARE(w.Navi()->topLevelItemCount(), 0);
    QCOMPARE(w.Model()->rowCount(), 0);
    QCOMPARE(w.Model()->columnCount(), 0);
    QCOMPARE(w.CurrentTemplet().ID, 0);
    QCOMPARE(w.CurrentTemplet().TabID, 0);
    QVERIFY(!x.Action("miStop")->isEnabled());
    QVERIFY(MessageBox::shown().empty());
  }

  void showsTheFirstTempletAtStartUp_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("typ");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("method");
    QTest::newRow("only templet, web, text tags") << 1 << 1 << 1 << "URL"
                                                  << "TextTag";
    QTest::newRow("first of three, local, expression") << 3 << 0 << 0 << "LOCAL"
                                                       << "RegExpr";
  }
  void showsTheFirstTempletAtStartUp() {
    QFETCH(int, count);
    QFETCH(int, typ);
    QFETCH(int, tag);
    QFETCH(QString, source);
    QFETCH(QString, method);
    Fixture x;
    const int first = x.f.AddTemplet("first", typ, tag);
    x.f.AddColumn(first, "Title", 0, 0);
    for (int i = 1; i < count; ++i)
      x.f.AddTemplet("other " + std::to_string(i));
    TfrmMain& w = x.Open();
    QCOMPARE(w.Navi()->topLevelItemCount(), count);
    QCOMPARE(w.Navi()->topLevelItem(0)->text(0), QStringLiteral("first"));
    QCOMPARE(x.Selected(), 0);
    QCOMPARE(w.CurrentTemplet().ID, first);
    QCOMPARE(w.CurrentTemplet().ImgDir, ProgramFolder() + "image/");
    QCOMPARE(w.Model()->columnCount(), 1);
    QCOMPARE(w.Model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Title"));
    QCOMPARE(x.Status(0), QStringLiteral("All 0 records, page 1/1"));
    QCOMPARE(x.Status(1), source);
    QCOMPARE(x.Status(2), method);
  }

  void laysOutListSplitterAndGrid() {
    Fixture x;
    TfrmMain& w = x.Open();
    auto* header = w.findChild<QLabel*>(QStringLiteral("pnlTempletList"));
    QVERIFY(header);
    QCOMPARE(header->text(), QStringLiteral("Templet Listing"));
    QCOMPARE(header->height(), 22);
    QVERIFY(header->font().bold());
    QCOMPARE(header->palette().color(QPalette::Window), QColor(0, 0, 128));
    QCOMPARE(header->palette().color(QPalette::WindowText), QColor(Qt::white));
    auto* left = w.findChild<QWidget*>(QStringLiteral("pnlLeft"));
    QVERIFY(left);
    QCOMPARE(left->width(), 209);
    QVERIFY(w.findChild<QSplitter*>(QStringLiteral("Splitter1")));
    QVERIFY(!w.Navi()->rootIsDecorated());
    QVERIFY(w.Navi()->isHeaderHidden());
    QCOMPARE(w.Navi()->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(w.Navi()->palette().color(QPalette::Base),
             w.Navi()->palette().color(QPalette::ToolTipBase));
    QCOMPARE(w.GridView()->objectName(), QStringLiteral("sgDisp"));
    QCOMPARE(w.GridView()->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(w.GridView()->horizontalHeader()->height(), 20);
    QCOMPARE(w.Status()->height(), 19);
  }

  void menuBarHasEveryItemWithItsKeys() {
    Fixture x;
    TfrmMain& w = x.Open();
    // caption|shortcut|enabled, "-" for a separator; menus in order, "&Stop!" at the top level.
    const QStringList expected = {
        "[File]",
        "Open...|Ctrl+O|on",
        "-",
        "E&xit||on",
        "[Templet]",
        "&New...|Ins|on",
        "&Extract Now|F5|on",
        "&Modify...|F2|on",
        "&Delete||on",
        "-",
        "&Import...||on",
        "E&xport...||on",
        "-",
        "&Option...||on",
        "[Data]",
        "Delete Selected|Del|on",
        "-",
        "Save To &Database||on",
        "Save As .&CSV File...||on",
        "Save As C&ustom Format...||on",
        "-",
        "D&atabase Management...||on",
        "[View]",
        "Previous Page|PgUp|on",
        "Next Page|PgDown|on",
        "&Save Column Width||on",
        "First Page|Ctrl+PgUp|on",
        "Last Page|Ctrl+PgDown|on",
        "[Help]",
        "Help|F1|on",
        "Learning By Sample||on",
        "-",
        "Homepage||on",
        "Sample Resource||on",
        "-",
        "About...||on",
        "&Stop!||off",
    };
    QStringList actual;
    const auto describe = [](const QAction* a) {
      if (a->isSeparator()) return QStringLiteral("-");
      return a->text() + "|" + a->shortcut().toString() + "|" + (a->isEnabled() ? "on" : "off");
    };
    for (QAction* top : w.menuBar()->actions()) {
      if (QMenu* menu = top->menu()) {
        actual << "[" + menu->title() + "]";
        for (QAction* item : menu->actions())
          actual << describe(item);
      } else {
        actual << describe(top);
      }
    }
    QCOMPARE(actual, expected);
    for (const char* name : {"miOpen",
                             "miExit",
                             "miNewTemplet",
                             "miExecute",
                             "miModifyTemplet",
                             "miDeleteTemplet",
                             "miImport",
                             "miExport",
                             "miOption",
                             "miDelete",
                             "miSaveToDB",
                             "miSaveAsCSV",
                             "miSaveCustom",
                             "miTableManage",
                             "miPrev",
                             "miNext",
                             "miSaveColumnWidth",
                             "miFirst",
                             "miLast",
                             "miHelpTopic",
                             "miLearningBySample",
                             "miWebsite",
                             "miSample",
                             "miAbout",
                             "miStop"}) {
      QVERIFY2(w.findChild<QAction*>(QString::fromLatin1(name)), name);
    }
  }

  void statusPanelsKeepTheirWidthsOnResize_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("initial") << 781;
    QTest::newRow("narrow") << 420;
    QTest::newRow("wide") << 1200;
  }
  void statusPanelsKeepTheirWidthsOnResize() {
    QFETCH(int, width);
    Fixture x;
    TfrmMain& w = x.Open();
    w.resize(width, 544);
    QTRY_COMPARE(w.Status()->width(), width);
    QCOMPARE(w.Status()->Panel(0)->width(), width - 100);
    QCOMPARE(w.Status()->Panel(1)->width(), 35);
    QCOMPARE(w.Status()->Panel(2)->width(), 65);
    QCOMPARE(w.Status()->Panel(1)->x(), width - 100);
    QCOMPARE(w.Status()->Panel(2)->x(), width - 65);
  }

  void statusPanelsFitTheirTexts_data() {
    QTest::addColumn<int>("typ");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("width");
    QTest::newRow("web, text tags") << 1 << 1 << 781;
    QTest::newRow("local, expression") << 0 << 0 << 781;
    QTest::newRow("local, narrow window") << 0 << 1 << 420;
  }
  void statusPanelsFitTheirTexts() {
    QFETCH(int, typ);
    QFETCH(int, tag);
    QFETCH(int, width);
    Fixture x;
    x.f.AddTemplet("shown", typ, tag);
    TfrmMain& w = x.Open();
    w.resize(width, 544);
    QTRY_COMPARE(w.Status()->width(), width);
    int right = 0;
    for (int i = 0; i < StatusPanels::kPanelCount; ++i) {
      const QLabel* panel = w.Status()->Panel(i);
      // Every text is whole inside its frame, and the panels still tile the bar.
      QVERIFY2(panel->contentsRect().width() >=
                   panel->indent() + panel->fontMetrics().horizontalAdvance(panel->text()),
               qPrintable(panel->text()));
      QCOMPARE(panel->x(), right);
      right += panel->width();
    }
    QCOMPARE(right, width);
    QVERIFY(w.Status()->Panel(1)->width() >= 35);
    QVERIFY(w.Status()->Panel(2)->width() >= 65);
    QCOMPARE(x.Status(1), QString::fromLatin1(typ == 1 ? "URL" : "LOCAL"));
  }

  void progressBarShowsBesideThePanelsOnlyWhileAsked() {
    Fixture x;
    TfrmMain& w = x.Open();
    StatusPanels* bar = w.Status();
    QProgressBar* progress = bar->Progress();
    const int width = bar->width();
    QVERIFY(progress->isHidden());
    struct Case {
      qint64 done, total;
      const char* label;
      int maximum, value;  // maximum 0: busy, no amount
      const char* text;
    };
    const Case cases[] = {
        {3, 10, "3 of 10 pages", 10, 3, "3 of 10 pages"},
        {12, 10, "12 of 10 rows", 10, 10, "12 of 10 rows"},  // never past the end
        {5'000'000'000, 10'000'000'000, "half", 1'000'000, 500'000, "half"},
        {7, 0, "7 pages", 0, 0, ""},
    };
    for (const Case& c : cases) {
      bar->ShowProgress(c.done, c.total, QString::fromLatin1(c.label));
      QVERIFY(!progress->isHidden());
      QCOMPARE(progress->maximum(), c.maximum);
      if (c.maximum > 0) QCOMPARE(progress->value(), c.value);
      QCOMPARE(progress->text(), QString::fromLatin1(c.text));
      // The bar takes its room from panel 0; panels 1 and 2 stay at the right end.
      QCOMPARE(bar->Panel(0)->width(), width - 100 - StatusPanels::kProgressWidth);
      QCOMPARE(progress->geometry(), QRect(width - 100 - StatusPanels::kProgressWidth, 0,
                                           StatusPanels::kProgressWidth, bar->height()));
      QCOMPARE(bar->Panel(1)->x(), width - 100);
    }
    bar->HideProgress();
    QVERIFY(progress->isHidden());
    QCOMPARE(bar->Panel(0)->width(), width - 100);
  }

  void progressBarFollowsARunAndGoesWithIt() {
    Fixture x;
    LocalTemplet(x, "big", 20000);
    TfrmMain& w = x.Open();
    QStringList seen;  // what the bar said while the run went on
    const QProgressBar* progress = w.Status()->Progress();
    connect(progress, &QProgressBar::valueChanged, &w, [&] {
      if (w.Running()) seen << progress->text();
    });
    x.Action("miExecute")->trigger();
    QVERIFY(!seen.isEmpty());
    for (const QString& text : seen)
      QVERIFY2(text.endsWith(QStringLiteral(" records")), qPrintable(text));
    QVERIFY(w.Status()->Progress()->isHidden());
    QCOMPARE(x.Status(0), QStringLiteral("Done! All 20000 records extracted."));
    // Its room is panel 0's again.
    const StatusPanels* bar = w.Status();
    QCOMPARE(bar->Panel(0)->width() + bar->Panel(1)->width() + bar->Panel(2)->width(),
             bar->width());
  }

  // Rows reach the view while a run goes on, and whenever they do the status panel beside them
  // says their count.
  void rowsAndTheirCountReachTheWindowWhileARunGoesOn() {
    Fixture x;
    LocalTemplet(x, "big", 500000);
    TfrmMain& w = x.Open();
    // The view's last batch is older than a batch interval when the run starts, and the page is
    // long enough for the run to outlast several pump intervals.
    QTest::qWait(GridModel::kFlushInterval);
    QStringList mismatches;
    int batches = 0;
    connect(w.Model(), &QAbstractItemModel::rowsInserted, &w, [&] {
      if (!w.Running()) return;
      ++batches;
      const QString expected =
          QString::number(w.Model()->rowCount()) + QStringLiteral(" records extrated.");
      if (x.Status(0) != expected) mismatches << x.Status(0) + QStringLiteral(" / ") + expected;
    });
    x.Action("miExecute")->trigger();
    QVERIFY(batches > 0);
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(u'\n')));
    QCOMPARE(w.Model()->rowCount(), 500000);
  }

  void guardDecidesWhetherTheSelectionMoves_data() {
    QTest::addColumn<int>("extracted");
    QTest::addColumn<int>("answer");  // 0: no question expected
    QTest::addColumn<bool>("moves");
    QTest::newRow("nothing unsaved") << 0 << 0 << true;
    QTest::newRow("unsaved, Cancel") << 4 << static_cast<int>(QMessageBox::Cancel) << false;
    QTest::newRow("unsaved, OK") << 4 << static_cast<int>(QMessageBox::Ok) << true;
  }
  void guardDecidesWhetherTheSelectionMoves() {
    QFETCH(int, extracted);
    QFETCH(int, answer);
    QFETCH(bool, moves);
    Fixture x;
    const int first = x.f.AddTemplet("first");
    const int second = x.f.AddTemplet("second");
    TfrmMain& w = x.Open();
    x.FakeRun(extracted);
    if (answer) MessageBox::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    x.Click(1);
    if (answer) {
      QCOMPARE(MessageBox::shown().size(), std::size_t{1});
      QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Confirm"));
      QCOMPARE(MessageBox::lastShown().text, QString::fromLatin1(kDiscard));
      QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
      QCOMPARE(MessageBox::lastShown().buttons, QMessageBox::Ok | QMessageBox::Cancel);
    } else {
      QVERIFY(MessageBox::shown().empty());
    }
    QCOMPARE(x.Selected(), moves ? 1 : 0);
    QCOMPARE(w.Navi()->currentItem(), w.Navi()->topLevelItem(moves ? 1 : 0));
    QCOMPARE(w.CurrentTemplet().ID, moves ? second : first);
    QCOMPARE(w.ExtractedCount(), moves ? 0 : extracted);
    // Refused: the run's rows stay in the grid.
    if (!moves) QCOMPARE(w.Grid().DataRowCount(), extracted);
  }

  void guardRunsWhenTheKeyboardOrAProgramMovesTheSelection() {
    Fixture x;
    x.f.AddTemplet("first");
    x.f.AddTemplet("second");
    TfrmMain& w = x.Open();
    x.FakeRun(2);
    w.Navi()->setFocus();
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    QTest::keyClick(w.Navi(), Qt::Key_Down);
    QCOMPARE(x.Selected(), 0);
    QCOMPARE(MessageBox::shown().size(), std::size_t{1});

    // A new entry is added at the end; Cancel leaves it unselected.
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    TTemplet added;
    added.ID = 77;
    added.IsURL = true;
    added.IsTextTag = true;
    w.AddTempletNode(added, "new one");
    QCOMPARE(w.Navi()->topLevelItemCount(), 3);
    QCOMPARE(w.Navi()->topLevelItem(2)->text(0), QStringLiteral("new one"));
    QCOMPARE(x.Selected(), 0);
    QCOMPARE(w.ExtractedCount(), 2);
  }

  void guardDecidesWhetherTheWindowCloses_data() {
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("close button, Cancel") << false << int(QMessageBox::Cancel) << false;
    QTest::newRow("close button, OK") << false << int(QMessageBox::Ok) << true;
    QTest::newRow("Exit, Cancel") << true << int(QMessageBox::Cancel) << false;
    QTest::newRow("Exit, OK") << true << int(QMessageBox::Ok) << true;
  }
  void guardDecidesWhetherTheWindowCloses() {
    QFETCH(bool, byMenu);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    Fixture x;
    x.f.AddTemplet("first");
    TfrmMain& w = x.Open();
    x.FakeRun(3);
    MessageBox::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    if (byMenu) {
      x.Action("miExit")->trigger();
    } else {
      w.close();
    }
    QCOMPARE(MessageBox::lastShown().text, QString::fromLatin1(kDiscard));
    QCOMPARE(w.isVisible(), !closes);
    QCOMPARE(w.ExtractedCount(), closes ? 0 : 3);
  }

  void closesWithoutQuestionWhenNothingIsUnsaved() {
    Fixture x;
    TfrmMain& w = x.Open();
    QVERIFY(w.close());
    QVERIFY(MessageBox::shown().empty());
  }

  void deletingATempletRemovesItsEntryAndRowsButNotItsTable() {
    Fixture x;
    const int first = x.BrowseTemplet("first", 3);
    const int second = x.BrowseTemplet("second", 5);
    x.f.AddOptions(first, 30, "Arial", 8, 20, "/tmp/");
    TfrmMain& w = x.Open();
    QCOMPARE(w.CurrentTemplet().ID, first);
    const int taid = w.CurrentTemplet().TabID;

    MessageBox::setNextAnswer(QMessageBox::No);
    x.Action("miDeleteTemplet")->trigger();
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Confirm"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Are you sure delete this templet?"));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Question);
    QCOMPARE(MessageBox::lastShown().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(w.Navi()->topLevelItemCount(), 2);
    QCOMPARE(x.f.Scalar("select count(*) from tmps"), 2);

    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Action("miDeleteTemplet")->trigger();
    QCOMPARE(w.Navi()->topLevelItemCount(), 1);
    QCOMPARE(x.f.Scalar("select count(*) from tmps where tmid=" + std::to_string(first)), 0);
    QCOMPARE(x.f.Scalar("select count(*) from cols where tmid=" + std::to_string(first)), 0);
    QCOMPARE(x.f.Scalar("select count(*) from opts where tmid=" + std::to_string(first)), 0);
    QCOMPARE(x.f.Scalar("select count(id) from t" + std::to_string(taid)), 3);
    // The neighbour takes the entry's place and is shown.
    QCOMPARE(x.Selected(), 0);
    QCOMPARE(w.CurrentTemplet().ID, second);
    QCOMPARE(w.Grid().DataRowCount(), 5);

    // Deleting the last entry leaves the current templet and the grid as they were.
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Action("miDeleteTemplet")->trigger();
    QCOMPARE(w.Navi()->topLevelItemCount(), 0);
    QCOMPARE(w.CurrentTemplet().ID, second);
    QCOMPARE(w.Grid().DataRowCount(), 5);

    // Without an entry, Delete asks nothing.
    x.Action("miDeleteTemplet")->trigger();
    QCOMPARE(MessageBox::shown().size(), std::size_t{3});
  }

  void pagesThroughStoredRecordsWithMenuAndKeys() {
    Fixture x;
    x.BrowseTemplet("paged", 45);
    TfrmMain& w = x.Open();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.GridView()->setFocus();
    struct Step {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      const char* status;
      long long first, rows;
    };
    const Step steps[] = {
        {Qt::Key_unknown, {}, "All 45 records, page 1/3", 1, 20},
        {Qt::Key_PageDown, {}, "All 45 records, page 2/3", 21, 20},
        {Qt::Key_PageDown, {}, "All 45 records, page 3/3", 41, 5},
        {Qt::Key_PageDown, {}, "All 45 records, page 3/3", 41, 5},
        {Qt::Key_PageUp, {}, "All 45 records, page 2/3", 21, 20},
        {Qt::Key_PageUp, {}, "All 45 records, page 1/3", 1, 20},
        {Qt::Key_PageUp, {}, "All 45 records, page 1/3", 1, 20},
        {Qt::Key_PageDown, Qt::ControlModifier, "All 45 records, page 3/3", 41, 5},
        {Qt::Key_PageUp, {}, "All 45 records, page 2/3", 21, 20},
        {Qt::Key_PageUp, Qt::ControlModifier, "All 45 records, page 1/3", 1, 20},
    };
    for (const Step& step : steps) {
      if (step.key != Qt::Key_unknown) QTest::keyClick(w.GridView(), step.key, step.modifiers);
      QCOMPARE(x.Status(0), QString::fromLatin1(step.status));
      QCOMPARE(w.Model()->rowCount(), static_cast<int>(step.rows));
      QCOMPARE(w.Grid().RecordId(1), step.first);
      QCOMPARE(x.RowNumbers().first(), QStringLiteral("1"));
    }
    x.Action("miNext")->trigger();
    QCOMPARE(x.Status(0), QStringLiteral("All 45 records, page 2/3"));
    QCOMPARE(w.Model()->data(w.Model()->index(0, 0)).toString(), QStringLiteral("a-21"));
  }

  void recordsPerPageZeroShowsEverythingAndPagingDoesNothing() {
    Fixture x;
    const int id = x.BrowseTemplet("all", 45);
    x.f.AddOptions(id, 20, "Arial", 8, 0, "/tmp/");
    TfrmMain& w = x.Open();
    QCOMPARE(x.Status(0), QStringLiteral("All 45 records, page 1/1"));
    QCOMPARE(w.Model()->rowCount(), 45);
    x.Action("miNext")->trigger();
    x.Action("miPrev")->trigger();
    QCOMPARE(x.Status(0), QStringLiteral("All 45 records, page 1/1"));
    QCOMPARE(w.Model()->rowCount(), 45);
    QCOMPARE(w.Grid().RecordId(1), 1);
  }

  void deletingSelectedRowsRemovesThemAndRenumbers() {
    Fixture x;
    x.BrowseTemplet("nine", 9);
    TfrmMain& w = x.Open();
    const int taid = w.CurrentTemplet().TabID;
    QTableView* view = w.GridView();
    const auto select_rows = [&](int top, int bottom) {
      view->clearSelection();
      view->selectionModel()->select(
          QItemSelection(w.Model()->index(top, 0), w.Model()->index(bottom, 1)),
          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };

    select_rows(2, 3);
    MessageBox::setNextAnswer(QMessageBox::No);
    x.Action("miDelete")->trigger();
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Are you sure to delete these record?"));
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Confirm"));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Question);
    QCOMPARE(w.Model()->rowCount(), 9);

    select_rows(2, 3);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.f.TraceStatements("delete");
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(x.f.Traced(), std::vector<std::string>(
                               {"delete from t" + std::to_string(taid) + " where id in (3,4)"}));
    QCOMPARE(x.GridIds(), (std::vector<long long>{1, 2, 5, 6, 7, 8, 9}));
    QCOMPARE(x.RowNumbers(), QStringList({"1", "2", "3", "4", "5", "6", "7"}));
    QCOMPARE(w.Model()->data(w.Model()->index(2, 0)).toString(), QStringLiteral("a-5"));
    QCOMPARE(x.f.Scalar("select count(id) from t" + std::to_string(taid)), 7);
    QCOMPARE(x.Status(0), QStringLiteral("All 9 records, page 1/1"));

    // Run results are only taken out of the grid.
    x.FakeRun(4);
    select_rows(0, 1);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.f.TraceStatements("delete");
    x.Action("miDelete")->trigger();
    QVERIFY(x.f.Traced().empty());
    QCOMPARE(w.Model()->rowCount(), 2);
    QCOMPARE(w.ExtractedCount(), 4);
    QCOMPARE(x.f.Scalar("select count(id) from t" + std::to_string(taid)), 7);
  }

  void savedColumnWidthsAreUsedWhenTheTempletIsShownAgain() {
    Fixture x;
    x.BrowseTemplet("widths", 2);
    x.f.AddTemplet("other");
    TfrmMain& w = x.Open();
    QHeaderView* header = w.GridView()->horizontalHeader();
    QCOMPARE(header->sectionSize(0), 70);
    QCOMPARE(header->sectionSize(1), 90);
    header->resizeSection(0, 150);
    x.Action("miSaveColumnWidth")->trigger();
    QCOMPARE(x.f.Scalar("select width from cols where tit='First'"), 150);
    QCOMPARE(x.f.Scalar("select width from cols where tit='Second'"), 90);
    x.Click(1);
    x.Click(0);
    QCOMPARE(w.GridView()->horizontalHeader()->sectionSize(0), 150);
    QCOMPARE(w.GridView()->horizontalHeader()->sectionSize(1), 90);
  }

  void storedRowHeightAppliesToEveryDataRowAndTheTitleRowStays() {
    Fixture x;
    const int id = x.BrowseTemplet("tall", 5);
    x.f.AddOptions(id, 35, "Courier New", 11, 20, "/tmp/");
    TfrmMain& w = x.Open();
    for (int r = 0; r < 5; ++r)
      QCOMPARE(w.GridView()->verticalHeader()->sectionSize(r), 35);
    QCOMPARE(w.GridView()->horizontalHeader()->height(), 20);
    QCOMPARE(w.GridView()->font().family(), QStringLiteral("Courier New"));
    QCOMPARE(w.GridView()->font().pointSize(), 11);
    QCOMPARE(w.CurrentTemplet().ImgDir, std::string("/tmp/"));
  }

  void bothHeadersTakeTheTempletsGridFont_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("size");
    QTest::newRow("no options: the default") << QString() << 8;
    QTest::newRow("stored font") << "DejaVu Serif" << 16;
  }
  void bothHeadersTakeTheTempletsGridFont() {
    QFETCH(QString, family);
    QFETCH(int, size);
    // A desktop's platform theme gives headers a font of their own, as this does.
    const QFont app_header_font = QApplication::font("QHeaderView");
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11), "QHeaderView");
    const auto restore =
        qScopeGuard([&] { QApplication::setFont(app_header_font, "QHeaderView"); });
    Fixture x;
    const int id = x.BrowseTemplet("fonts", 12);
    if (!family.isEmpty()) x.f.AddOptions(id, 30, family.toStdString(), size, 20, "/tmp/");
    TfrmMain& w = x.Open();
    const QFont grid = w.GridView()->font();
    QCOMPARE(grid.pointSize(), size);
    for (QHeaderView* header : {w.GridView()->horizontalHeader(), w.GridView()->verticalHeader()}) {
      QCOMPARE(header->font().family(), grid.family());
      QCOMPARE(header->font().pointSize(), size);
    }
    // The row-number column is wide enough for its numbers in that font.
    QVERIFY(w.GridView()->verticalHeader()->width() >=
            QFontMetrics(grid).horizontalAdvance(QStringLiteral("12")));
  }

  void optionWithoutACurrentTempletRefusesAndTouchesNoRow() {
    Fixture x;
    TfrmMain& w = x.Open();
    const long long rows = x.f.Scalar("select count(*) from opts");
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Action("miOption")->trigger();
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Note"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Please select a templet."));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
    QCOMPARE(x.f.Scalar("select count(*) from opts"), rows);
    QCOMPARE(x.f.Scalar("select count(*) from opts where tmid=0 and oid=1"), 1);
    QVERIFY(w.isVisible());
  }

  void optionsConfirmedInTheDialogApplyAtOnce() {
    Fixture x;
    const int id = x.BrowseTemplet("opts", 3);
    TfrmMain& w = x.Open();
    QCOMPARE(w.GridView()->verticalHeader()->sectionSize(0), 20);
    WhenModal<TfrmOption>([](TfrmOption* dialog) {
      auto* height = dialog->findChild<QLineEdit*>(QStringLiteral("edtRowH"));
      height->setText(QStringLiteral("35"));
      QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    x.Action("miOption")->trigger();
    QCOMPARE(x.f.Scalar("select val from opts where oid=1 and tmid=" + std::to_string(id)), 35);
    for (int r = 0; r < 3; ++r)
      QCOMPARE(w.GridView()->verticalHeader()->sectionSize(r), 35);
    QCOMPARE(w.GridView()->horizontalHeader()->height(), 20);
    // The page is not reloaded.
    QCOMPARE(w.Model()->rowCount(), 3);
  }

  void storeErrorWhileShowingKeepsTheTitlesAndTheWindow() {
    Fixture x;
    x.f.AddTemplet("first");
    const int broken = x.BrowseTemplet("broken", 4);
    x.f.Exec("update cols set fid=999 where tit='Second' and tmid=" + std::to_string(broken));
    TfrmMain& w = x.Open();
    QCOMPARE(x.Status(0), QStringLiteral("All 0 records, page 1/1"));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click(1);
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QVERIFY(MessageBox::lastShown().text.contains(QStringLiteral("f999")));
    QCOMPARE(w.CurrentTemplet().ID, broken);
    QCOMPARE(w.Model()->columnCount(), 2);
    QCOMPARE(w.Model()->rowCount(), 0);
    QCOMPARE(x.Status(0), QStringLiteral("All 0 records, page 1/1"));  // not updated
    QVERIFY(w.isVisible());
  }

  void hostsRunsThroughTheWindow() {
    Fixture x;
    x.f.AddTemplet("first");
    TfrmMain& w = x.Open();
    RunHost& host = w.Host();
    QVERIFY(!host.StopEnabled());
    host.SetStopEnabled(true);
    QVERIFY(x.Action("miStop")->isEnabled());
    x.Action("miStop")->trigger();
    QVERIFY(!host.StopEnabled());

    host.ShowStatus("Loading: http://127.0.0.1/p?a=1&b=2");
    QCOMPARE(x.Status(0), QStringLiteral("Loading: http://127.0.0.1/p?a=1&b=2"));

    struct Case {
      RunHost::Buttons buttons;
      QMessageBox::StandardButton pressed;
      RunHost::Answer answer;
    };
    const Case cases[] = {
        {RunHost::Buttons::kOk, QMessageBox::Ok, RunHost::Answer::kOk},
        {RunHost::Buttons::kOkCancel, QMessageBox::Cancel, RunHost::Answer::kCancel},
        {RunHost::Buttons::kOkCancel, QMessageBox::NoButton, RunHost::Answer::kCancel},
        {RunHost::Buttons::kYesNo, QMessageBox::Yes, RunHost::Answer::kYes},
        {RunHost::Buttons::kYesNo, QMessageBox::NoButton, RunHost::Answer::kNo},
    };
    for (const Case& c : cases) {
      MessageBox::setNextAnswer(c.pressed);
      QVERIFY(host.Message("Note", "text", RunHost::Icon::kWarning, c.buttons) == c.answer);
    }
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);

    // Rows a run appends reach the view in batches while the host pumps.
    ResultGrid& grid = host.Grid();
    QCOMPARE(&grid, &w.Grid());
    for (int i = 0; i < 500; ++i)
      grid.AppendRow(0, {"r"});
    QTRY_COMPARE(w.Model()->rowCount(), 500);
  }

  // A local text-tag templet over one stored file of `records` records "<b>n</b>".
  int LocalTemplet(Fixture& x, const std::string& name, int records) {
    std::string page;
    for (int i = 1; i <= records; ++i)
      page += "<b>" + std::to_string(i) + "</b>\n";
    const int id = x.f.AddTemplet(name, 0, 1, 0);
    x.f.AddColumn(id, "Value", 0, 0);
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + "," +
             QuotedStr(x.f.Dir().Write(name + ".txt", page)) + ")");
    return id;
  }

  void extractNowRunsTheSelectedTempletIntoTheGrid() {
    Fixture x;
    LocalTemplet(x, "local", 3);
    x.f.AddTemplet("other");
    TfrmMain& w = x.Open();
    x.Action("miExecute")->trigger();
    QCOMPARE(w.Grid().DataRowCount(), 3);
    QCOMPARE(w.Grid().Cell(1, 3), std::string("3"));
    QCOMPARE(w.Model()->rowCount(), 3);
    QCOMPARE(x.Status(0), QStringLiteral("Done! All 3 records extracted."));
    QCOMPARE(w.ExtractedCount(), 3);
    QVERIFY(!x.Action("miStop")->isEnabled());
    QVERIFY(x.Action("miExecute")->isEnabled());
    // The unsaved records are guarded: Cancel keeps the selection and the rows.
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    x.Click(1);
    QCOMPARE(x.Selected(), 0);
    QCOMPARE(w.Grid().DataRowCount(), 3);
  }

  void extractNowWithoutStoredPathsAsksForFilesAndOpenReadsChosenFiles() {
    Fixture x;
    const int id = x.f.AddTemplet("no paths", 0, 1, 0);
    x.f.AddColumn(id, "Value", 0, 0);
    const std::string file = x.f.Dir().Write("chosen.txt", "<b>a</b><b>b</b>");
    TfrmMain& w = x.Open();
    FileDialog::clearRecord();
    FileDialog::setNextAnswer(QString::fromStdString(file));
    x.Action("miExecute")->trigger();
    QCOMPARE(FileDialog::asked().size(), std::size_t{1});
    QCOMPARE(FileDialog::lastAsked().kind, FileDialog::Kind::kOpenFiles);
    QCOMPARE(FileDialog::lastAsked().filter,
             QStringLiteral("Text file (*.txt)|*.txt|HTML file (*.htm; *.html)|*.htm; "
                            "*.html|All files (*.*)|*.*"));
    QCOMPARE(w.Grid().DataRowCount(), 2);
    // Open reads the chosen files with the templet's method; a cancelled dialog runs nothing.
    w.SetExtractedCount(0);
    FileDialog::setNextAnswer(QString::fromStdString(file));
    x.Action("miOpen")->trigger();
    QCOMPARE(FileDialog::asked().size(), std::size_t{2});
    QCOMPARE(x.Status(0), QStringLiteral("Done! All 2 records extracted."));
    FileDialog::setNextAnswer(std::nullopt);
    w.Grid().ClearRows();
    x.Action("miOpen")->trigger();
    QCOMPARE(w.Grid().DataRowCount(), 0);
  }

  void webRunFetchesPagesAndReportsAFailedLoad() {
    // The server goes before the window, so that the window's client has let it go first.
    test::HttpServer server;
    server.On("/list", [](const test::ReceivedRequest&) {
      return test::Reply::Text("<b>one</b><b>two</b>");
    });
    Fixture x;
    const int id = x.f.AddTemplet("web", 1, 1, 0);
    x.f.AddColumn(id, "Value", 0, 0);
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + "," +
             QuotedStr(server.Url("/list")) + ")");
    const int missing = x.f.AddTemplet("missing", 1, 1, 0);
    x.f.AddColumn(missing, "Value", 0, 0);
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(missing) + "," +
             QuotedStr(server.Url("/gone")) + ")");
    TfrmMain& w = x.Open();
    x.Action("miExecute")->trigger();
    QCOMPARE(w.Grid().DataRowCount(), 2);
    QCOMPARE(x.Status(0), QStringLiteral("Done! All 2 records extracted."));

    MessageBox::setNextAnswer(QMessageBox::Ok);  // discard the two records
    x.Click(1);
    QCOMPARE(x.Selected(), 1);
    MessageBox::clearRecord();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Action("miExecute")->trigger();
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QCOMPARE(
        MessageBox::lastShown().text,
        QString::fromStdString("Fail loading or interrupted by youself:\n" + server.Url("/gone")));
    QCOMPARE(x.Status(0), QStringLiteral("Done! All 0 records extracted."));
    QVERIFY(x.Action("miExecute")->isEnabled());
    // The failure's cause is the status text's tool tip.
    QVERIFY(w.Status()->Panel(0)->toolTip().contains(QStringLiteral("404")));
  }

  void aRunWithoutRecordsSaysWhyInTheStatusToolTip() {
    Fixture x;
    const int id = x.f.AddTemplet("nothing", 0, 1, 0);
    x.f.AddColumn(id, "Value", 0, 0);  // <b>...</b>
    const std::string file = x.f.Dir().Write("page.txt", "<i>a</i>");
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + "," + QuotedStr(file) +
             ")");
    TfrmMain& w = x.Open();
    x.Action("miExecute")->trigger();
    QCOMPARE(x.Status(0), QStringLiteral("Done! All 0 records extracted."));
    QCOMPARE(w.Status()->Panel(0)->toolTip(),
             QString::fromStdString("No record on " + file +
                                    ":\n- Column \"Value\": its open tag \"<b>\" was never "
                                    "found on the page."));
    // The next run starts without it.
    x.f.Exec("update cols set begw='<i>',endw='</i>' where tmid=" + std::to_string(id));
    x.Action("miExecute")->trigger();
    QCOMPARE(x.Status(0), QStringLiteral("Done! All 1 records extracted."));
    QCOMPARE(w.Status()->Panel(0)->toolTip(), QString());
  }

  void saveToDatabaseWritesTheRowsWhileGridCommandsWait() {
    Fixture x;
    std::vector<int> fids;
    const int id = x.BrowseTemplet("prices", 2, &fids);
    TfrmMain& w = x.Open();
    ResultGrid& grid = w.Grid();
    grid.ClearRows();
    for (int i = 1; i <= 3000; ++i)
      grid.AppendRow(0, {"run " + std::to_string(i), "v"});
    w.Model()->Flush();
    w.SetExtractedCount(3000);
    bool blocked = false;
    int selected = -1;
    // The save's first status processes the window's events.
    QTest::qWait(40);
    QTimer::singleShot(0, &w, [&] {
      // While the save goes on, the grid and the templet stay as they are.
      blocked = w.Running() && !x.Action("miExecute")->isEnabled() &&
                !x.Action("miDelete")->isEnabled() && !x.Action("miSaveToDB")->isEnabled() &&
                x.Action("miStop")->isEnabled();
      x.f.AddTemplet("another");
      selected = x.Selected();
    });
    x.Action("miSaveToDB")->trigger();
    QVERIFY(blocked);
    QCOMPARE(selected, 0);
    QCOMPARE(x.Status(0), QStringLiteral("Done! 3000 saved, 0 updated of 3000"));
    QCOMPARE(
        x.f.Scalar("select count(*) from t1 where f" + std::to_string(fids[0]) + " like 'run %'"),
        3000LL);
    QCOMPARE(w.ExtractedCount(), 0);
    QVERIFY(!w.Running());
    QVERIFY(x.Action("miExecute")->isEnabled());
    QVERIFY(!x.Action("miStop")->isEnabled());
    QCOMPARE(w.CurrentTemplet().ID, id);
    QCOMPARE(w.Grid().DataRowCount(), 3000);
  }

  void databaseManagementOpensTheDesignerWithItsHelp() {
    Fixture x;
    std::vector<int> fids;
    x.f.AddTable("Towns", 1, fids);
    x.Open();
    QString title;
    bool editor = false;
    WhenModal<TfrmSetupTab>([&](TfrmSetupTab* designer) {
      title = designer->windowTitle();
      editor = designer->Swi();
      QTest::mouseClick(designer->findChild<QPushButton*>(QStringLiteral("btnHelp")),
                        Qt::LeftButton);
      QTest::mouseClick(designer->findChild<QPushButton*>(QStringLiteral("btnClose")),
                        Qt::LeftButton);
    });
    x.Action("miTableManage")->trigger();
    QCOMPARE(title, QStringLiteral("Table management"));
    QVERIFY(editor);
    QString page;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (auto* help = qobject_cast<HelpWindow*>(top)) page = help->PagePath();
    }
    QCOMPARE(page, QString::fromStdString(ProgramFolder() + "help/table.html"));
    CloseHelpWindow();
  }

  void closingDuringARunStopsItFirst() {
    Fixture x;
    LocalTemplet(x, "big", 20000);
    TfrmMain& w = x.Open();
    bool asked_to_close = false;
    // The run's first event processing asks the window to close, as a click would.
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    QTest::qWait(40);
    QTimer::singleShot(0, &w, [&] {
      asked_to_close = true;
      w.close();
    });
    x.Action("miExecute")->trigger();
    QVERIFY(asked_to_close);
    QVERIFY(!w.Running());
    QVERIFY(w.Grid().DataRowCount() < 20000);
    // After the run the window asks about the records it has, as any close does.
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("The Extraction result doesn't saved,\nare you sure to discard these "
                            "records?"));
  }

  void helpOpensTheLowerCasedPageOfTheHelpFolder() {
    Fixture x;
    TfrmMain& w = x.Open();
    w.ShowHelpTopic("Col_TextTag.HTML");
    HelpWindow* help = OpenHelpWindow("col_texttag.html");
    QCOMPARE(help->PagePath(), QString::fromStdString(ProgramFolder() + "help/col_texttag.html"));
    QVERIFY(help->isVisible());
    x.Action("miHelpTopic")->trigger();
    QCOMPARE(help->PagePath(), QString::fromStdString(ProgramFolder() + "help/introduce.html"));
    x.Action("miLearningBySample")->trigger();
    QCOMPARE(help->PagePath(), QString::fromStdString(ProgramFolder() + "help/sample.html"));
    // The help folder does not exist beside the test: the window says so.
    QVERIFY(help->Browser()->toPlainText().contains(QStringLiteral("sample.html")));
    CloseHelpWindow();
  }

  void saveAsCsvWritesTheGridAndKeepsTheRecordsOnlyWhenWhole() {
    test::TempDir dir;
    const std::string path = dir.Write("old.csv", "old");
    Fixture x;
    x.BrowseTemplet("T", 0);
    x.Open();
    x.FakeRun(2);
    const auto content = [&path] {
      std::ifstream in(path, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };

    // Cancelled: nothing written, the records still unsaved.
    FileDialog::clearRecord();
    FileDialog::setNextAnswer(std::nullopt);
    x.Action("miSaveAsCSV")->trigger();
    QCOMPARE(FileDialog::lastAsked().kind, FileDialog::Kind::kSaveFile);
    QCOMPARE(FileDialog::lastAsked().filter,
             QStringLiteral("Comma-separated values(*.csv)|*.csv|Plain text file(*.txt)|*.txt|"
                            "All(*.*)|*.*"));
    QCOMPARE(FileDialog::lastAsked().default_suffix, QStringLiteral("csv"));
    QCOMPARE(x.w->ExtractedCount(), 2);

    // The disk fills up while writing: the old file stays whole, the records unsaved.
    x.w->Grid().SetCell(1, 1, std::string(100000, 'x'));
    FileDialog::setNextAnswer(QString::fromStdString(path));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    {
      test::FileSizeLimit limit(10000);
      x.Action("miSaveAsCSV")->trigger();
    }
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QCOMPARE(content(), std::string("old"));
    QCOMPARE(x.w->ExtractedCount(), 2);

    x.w->Grid().SetCell(1, 1, "5\" disc");
    FileDialog::setNextAnswer(QString::fromStdString(path));
    x.Action("miSaveAsCSV")->trigger();
    QCOMPARE(content(), std::string("\"First\",\"Second\"\r\n\"5\"\" disc\",\"\"\r\n"
                                    "\"run 2\",\"\"\r\n"));
    QCOMPARE(x.w->ExtractedCount(), 0);
  }

  void customOutputShowsTheCurrentTempletsPatternAndKeepsTheRecords() {
    Fixture x;
    const int id = x.BrowseTemplet("T", 0);
    x.f.Exec("update tmps set ots='stored pattern' where tmid=" + std::to_string(id));
    x.Open();
    x.FakeRun(3);
    QString pattern;
    WhenModal<TfrmOutput>([&pattern](TfrmOutput* dialog) {
      pattern = dialog->findChild<QPlainTextEdit*>(QStringLiteral("mmTemplet"))->toPlainText();
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Custom output"));
      dialog->reject();
    });
    x.Action("miSaveCustom")->trigger();
    QCOMPARE(pattern, QStringLiteral("stored pattern"));
    // Closed without any output: the records count as kept all the same.
    QCOMPARE(x.w->ExtractedCount(), 0);
  }

  void webCommandsOpenTheProductPages() {
    Fixture x;
    x.Open();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    x.Action("miWebsite")->trigger();
    x.Action("miSample")->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(catcher.urls, QList<QUrl>({QUrl(QString::fromLatin1(kHomePageUrl)),
                                        QUrl(QString::fromLatin1(kSamplePageUrl))}));
  }

 private:
  QTimer watchdog_;
  int unanswered_ = 0;
};

}  // namespace sorvane

QTEST_MAIN(sorvane::MainWindowTest)
#include "mainwindow_test.moc"
