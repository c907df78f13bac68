// Opening the store at start-up.

#include "window/startup.h"

#include <QtTest>

#include <filesystem>
#include <memory>
#include <string>

#include "core/messagebox.h"
#include "core/store.h"
#include "support/tempdir.h"

namespace sorvane {

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { MessageBox::clearRecord(); }

  void storeThatCannotBeOpenedGivesTheConnectBoxAndNoStore_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << static_cast<int>(QMessageBox::Ok);
    QTest::newRow("Cancel") << static_cast<int>(QMessageBox::Cancel);
  }
  void storeThatCannotBeOpenedGivesTheConnectBoxAndNoStore() {
    QFETCH(int, answer);
    test::TempDir dir;
    const std::string path = dir.Write("data.mdb", std::string(4096, 'x'));
    MessageBox::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    QVERIFY(OpenStore(path) == nullptr);
    QCOMPARE(MessageBox::shown().size(), std::size_t{1});
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Can not connect to database."));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
    QCOMPARE(MessageBox::lastShown().buttons, QMessageBox::Ok | QMessageBox::Cancel);
  }

  void missingStoreFileIsCreatedWithoutAnyBox() {
    test::TempDir dir;
    const std::string path = dir.File("data.mdb");
    std::unique_ptr<Tdm> store = OpenStore(path);
    QVERIFY(store != nullptr);
    QVERIFY(std::filesystem::exists(path));
    QVERIFY(MessageBox::shown().empty());
    store->qryM.Open("select count(*) from tmps");
    QCOMPARE(store->qryM.AsInteger(0), 0);
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::StartupTest)
#include "startup_test.moc"
