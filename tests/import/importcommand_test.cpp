// The "&Import..." command offscreen: the file question, the import, the error box, and the
// main window's menu row.

#include "import/importcommand.h"

#include <QAction>
#include <QTreeWidget>
#include <QtTest>

#include <string>
#include <vector>

#include "core/filedialog.h"
#include "core/messagebox.h"
#include "import/tplencoder.h"
#include "support/storefixture.h"
#include "support/testhost.h"
#include "window/mainwindow.h"

namespace sorvane {
namespace {

class ImportCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    FileDialog::clearRecord();
    MessageBox::clearRecord();
  }

  void importsChosenFileOrShowsWhyNot_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("second_record");
    QTest::addColumn<bool>("imported");
    QTest::addColumn<QString>("error");
    QTest::newRow("valid") << false
                           << QStringLiteral("3 insert into urls(tmid,url) values([TMID],'u')")
                           << true << QString();
    QTest::newRow("hostile") << false << QStringLiteral("3 drop table tabs") << false
                             << QStringLiteral(
                                    "Templet file line 2: the statement is not an "
                                    "insert into a templet table. Nothing was "
                                    "imported.");
    QTest::newRow("cancelled") << true << QString() << false << QString();
  }

  void importsChosenFileOrShowsWhyNot() {
    QFETCH(bool, cancel);
    QFETCH(QString, second_record);
    QFETCH(bool, imported);
    QFETCH(QString, error);
    test::StoreFixture fixture;
    test::TestHost host;
    const std::string path = fixture.Dir().Write(
        "a.tpl",
        test::EncodeTempletFile({"1 insert into tmps(tmn,typ,tag,taid) values('Shop',0,1,0)",
                                 second_record.toStdString()}));
    if (cancel) {
      FileDialog::setNextAnswer(std::nullopt);
    } else {
      FileDialog::setNextAnswer(QString::fromStdString(path));
    }
    if (!error.isEmpty()) MessageBox::setNextAnswer(QMessageBox::Ok);
    std::vector<std::string> names;
    std::string modulus = test::kTplTestKey.ModulusText();
    std::string exponent = test::kTplTestKey.ExponentText();
    const bool done = ImportTemplet(nullptr, fixture.Store(), host,
                                    [&names](const TTemplet& templet, const std::string& name) {
                                      QVERIFY(!templet.IsURL);
                                      names.push_back(name);
                                    },
                                    {modulus, exponent});
    QCOMPARE(FileDialog::lastAsked().filter,
             QStringLiteral("Extraction Templet File (*.tpl)|*.tpl"));
    QCOMPARE(done, imported);
    QCOMPARE(names.size(), imported ? 1u : 0u);
    QCOMPARE(MessageBox::lastShown().text, error);
    if (!error.isEmpty()) QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
  }

  // The menu row imports with the program's key: a file written for another key does not
  // decode, and the list stays as it was.
  void menuRowReportsUndecodableFile() {
    test::StoreFixture fixture;
    TfrmMain window(fixture.Store());
    const std::string path = fixture.Dir().Write(
        "b.tpl", test::EncodeTempletFile({"1 insert into tmps(tmn) values('x')"}));
    FileDialog::setNextAnswer(QString::fromStdString(path));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    auto* action = window.findChild<QAction*>(QStringLiteral("miImport"));
    QVERIFY(action && action->isEnabled());
    action->trigger();
    QVERIFY(MessageBox::lastShown().text.startsWith(QStringLiteral("Templet file")));
    QCOMPARE(window.Navi()->topLevelItemCount(), 0);
  }
};

}  // namespace
}  // namespace sorvane

QTEST_MAIN(sorvane::ImportCommandTest)
#include "importcommand_test.moc"
