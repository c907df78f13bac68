// The table model over the result grid, its batching of appended rows, and the cell drawing.

#include "window/gridmodel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <chrono>
#include <string>
#include <thread>

#include "core/resultpages.h"

namespace sorvane {
namespace {

void AddColumns(ResultGrid& grid) {
  grid.SetColumns({{"Name & Co", {1, 1}, 80}, {"Z\xC3\xBCrich", {2, 0}, 60}});
}

void AppendRows(ResultGrid& grid, int count) {
  const int first = grid.DataRowCount() + 1;
  for (int r = first; r < first + count; ++r) {
    grid.AppendRow(r, {"a" + std::to_string(r), "b" + std::to_string(r)});
  }
}

int DarkPixels(const QImage& image, const QRect& area) {
  int dark = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (qGray(image.pixel(x, y)) < 100) ++dark;
    }
  }
  return dark;
}

}  // namespace

class GridModelTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheGridsCellsTitlesAndRowNumbers() {
    ResultGrid grid;
    GridModel model(grid);
    AddColumns(grid);
    AppendRows(grid, 3);
    model.Flush();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("a2"));
    QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("b3"));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name & Co"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Z\u00fcrich"));
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
  }

  void emptyGridHasNoCells() {
    ResultGrid grid;
    GridModel model(grid);
    grid.Reset();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 0);
  }

  void appendedRowsReachTheViewInOneBatch() {
    ResultGrid grid;
    GridModel model(grid);
    AddColumns(grid);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    AppendRows(grid, 1000);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.PendingRows(), 1000);
    QCOMPARE(inserted.count(), 0);
    model.Flush();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 0);
    QCOMPARE(inserted[0][2].toInt(), 999);
    model.Flush();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.rowCount(), 1000);
  }

  void pendingRowsAreFlushedWhenDueOrOnceTheEventLoopRuns() {
    ResultGrid grid;
    GridModel model(grid);
    AddColumns(grid);
    AppendRows(grid, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(GridModel::kFlushInterval + 10));
    model.FlushIfDue();
    QCOMPARE(model.rowCount(), 5);
    AppendRows(grid, 2);
    QTRY_COMPARE(model.rowCount(), 7);
  }

  void removalsWithPendingRowsKeepTheModelConsistent_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("announced rows") << 1 << 2;
    QTest::newRow("across the boundary") << 4 << 6;
    QTest::newRow("pending rows only") << 6 << 8;
    QTest::newRow("nearly all") << 2 << 7;
  }
  void removalsWithPendingRowsKeepTheModelConsistent() {
    QFETCH(int, first);
    QFETCH(int, last);
    ResultGrid grid;
    GridModel model(grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    AddColumns(grid);
    AppendRows(grid, 5);
    model.Flush();
    AppendRows(grid, 3);  // rows 6..8 still pending
    grid.RemoveRows(first, last);
    QVERIFY(model.rowCount() <= grid.DataRowCount());
    model.Flush();
    QCOMPARE(model.rowCount(), 8 - (last - first + 1));
    for (int r = 0; r < model.rowCount(); ++r) {
      QCOMPARE(model.data(model.index(r, 0)).toString().toStdString(), grid.Cell(1, r + 1));
    }
  }

  void cellChangesOfAnnouncedRowsReachTheView() {
    ResultGrid grid;
    GridModel model(grid);
    AddColumns(grid);
    AppendRows(grid, 2);
    model.Flush();
    AppendRows(grid, 1);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    grid.SetCell(2, 2, "new");
    grid.SetCell(1, 3, "pending");  // not announced yet: nothing to tell
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), model.index(1, 1));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("new"));
  }

  void drawsSelectedCellsTitlesAndAmpersands() {
    ResultGrid grid;
    GridModel model(grid);
    grid.SetColumns({{"Title", {1, 0}, 80}, {"&", {2, 0}, 40}});
    grid.AppendRow(1, {"one", "&"});
    grid.AppendRow(2, {"two", ""});
    grid.AppendRow(3, {"", ""});
    model.Flush();
    QTableView view;
    view.setHorizontalHeader(new GridHeader(Qt::Horizontal, &view));
    view.setVerticalHeader(new GridHeader(Qt::Vertical, &view));
    view.setItemDelegate(new GridCellDelegate(&view));
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setModel(&model);
    view.horizontalHeader()->resizeSection(0, 80);
    view.horizontalHeader()->resizeSection(1, 40);
    view.verticalHeader()->setDefaultSectionSize(20);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.selectRow(1);
    QCOMPARE(view.horizontalHeader()->height(), kTitleRowHeight);
    QVERIFY(view.verticalHeader()->width() >= 30);

    const QImage image = view.grab().toImage();
    const auto cell = [&](int row, int column) {
      const QRect r = view.visualRect(model.index(row, column));
      return r.translated(view.viewport()->pos());
    };
    const auto inside = [](const QRect& r) { return QPoint(r.right() - 3, r.bottom() - 3); };
    QCOMPARE(QColor(image.pixel(inside(cell(1, 0)))), SelectedCellColor());
    QCOMPARE(QColor(image.pixel(inside(cell(0, 0)))), QColor(Qt::white));
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
    const QRect title(view.verticalHeader()->width(), 0, 80, kTitleRowHeight);
    QCOMPARE(QColor(image.pixel(title.right() - 3, title.bottom() - 3)), face);
    const QRect number(0, view.horizontalHeader()->height(), view.verticalHeader()->width(), 20);
    QCOMPARE(QColor(image.pixel(number.left() + 1, number.bottom() - 2)), face);

    // An ampersand is drawn as itself, in the cells and in the title row.
    QVERIFY(DarkPixels(image, cell(0, 1)) > 0);
    QCOMPARE(DarkPixels(image, cell(2, 1)), 0);
    const QRect amp_title(title.right() + 2, 1, 36, kTitleRowHeight - 3);
    QVERIFY(DarkPixels(image, amp_title) > 0);
  }

  void longTextsWrapInsideTheCell() {
    QImage one_line(120, 60, QImage::Format_RGB32);
    QImage wrapped(120, 60, QImage::Format_RGB32);
    const QFont font(QStringLiteral("Arial"), 8);
    const QString text = QStringLiteral("several words that cannot fit on one line");
    {
      QPainter p(&one_line);
      PaintGridCell(&p, QRect(0, 0, 120, 60), QStringLiteral("several"), Qt::white, font, false);
    }
    {
      QPainter p(&wrapped);
      PaintGridCell(&p, QRect(0, 0, 120, 60), text, Qt::white, font, false);
    }
    const QFontMetrics metrics(font);
    const QRect second_line(0, 2 + metrics.height(), 120, metrics.height());
    QCOMPARE(DarkPixels(one_line, second_line), 0);
    QVERIFY(DarkPixels(wrapped, second_line) > 0);
    // Nothing is drawn left of or above the text origin.
    QCOMPARE(DarkPixels(wrapped, QRect(0, 0, 2, 60)), 0);
    QCOMPARE(DarkPixels(wrapped, QRect(0, 0, 120, 2)), 0);
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::GridModelTest)
#include "gridmodel_test.moc"
