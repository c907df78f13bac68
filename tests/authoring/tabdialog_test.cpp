// The table and column picker in its column mode, on a real store, driven offscreen.

#include "authoring/tabdialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "support/storefixture.h"

namespace sorvane {

class TabDialogTest : public QObject {
  Q_OBJECT

 private:
  static QListWidget* List(TfrmTab& tab) {
    return tab.findChild<QListWidget*>(QStringLiteral("lbItems"));
  }
  static QString Note(TfrmTab& tab) {
    return tab.findChild<QLabel*>(QStringLiteral("lblNote"))->text();
  }

 private slots:
  void columnModeOffersTheTempletsNormalColumnsInStoreOrder() {
    test::StoreFixture f;
    const int id = f.AddTemplet("T");
    const int name = f.AddColumn(id, "Name", 0, 2);
    f.AddColumn(id, "From URL", 0, 0, 1);
    f.AddColumn(id, "Image", 0, 1, 2);
    const int price = f.AddColumn(id, "Pr\xE9is", 0, 3);
    f.AddColumn(f.AddTemplet("Other"), "Elsewhere", 0, 0);

    TfrmTab tab(f.Store());
    QCOMPARE(tab.windowTitle(), QStringLiteral("Please select..."));
    QCOMPARE(Note(tab), QStringLiteral("Click OK or double click to select:"));
    tab.LoadColumns(id);
    QCOMPARE(List(tab)->count(), 2);
    QCOMPARE(List(tab)->item(0)->text(), QStringLiteral("Name"));
    QCOMPARE(tab.SelectedID(), name);
    QCOMPARE(tab.SelectedTitle(), std::string("Name"));
    tab.PresetID(price);
    QCOMPARE(tab.SelectedTitle(), std::string("Pr\xE9is"));
    tab.PresetID(0);
    QCOMPARE(tab.SelectedID(), price);

    // A double click confirms the entry clicked.
    tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tab));
    QListWidget* list = List(tab);
    list->setCurrentRow(0);
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(tab.result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(tab.SelectedID(), price);
  }

  void confirmingWithoutAnEntryKeepsTheDialogOpen_data() {
    QTest::addColumn<bool>("hasColumns");
    QTest::newRow("no kind-0 columns") << false;
    QTest::newRow("selection cleared") << true;
  }
  void confirmingWithoutAnEntryKeepsTheDialogOpen() {
    QFETCH(bool, hasColumns);
    test::StoreFixture f;
    const int id = f.AddTemplet("T");
    f.AddColumn(id, "From URL", 0, 0, 1);
    if (hasColumns) f.AddColumn(id, "Name", 0, 1);
    TfrmTab tab(f.Store());
    tab.LoadColumns(id);
    if (hasColumns) List(tab)->clearSelection();
    tab.show();
    QCOMPARE(tab.SelectedID(), 0);
    QCOMPARE(tab.SelectedTitle(), std::string());
    tab.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    QVERIFY(tab.isVisible());
    QCOMPARE(Note(tab), QStringLiteral("No item being selected."));
    QTest::keyClick(&tab, Qt::Key_Escape);
    QVERIFY(!tab.isVisible());
    QCOMPARE(tab.result(), static_cast<int>(QDialog::Rejected));
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::TabDialogTest)
#include "tabdialog_test.moc"
