// The "&Import..." and "E&xport..." commands offscreen: the file questions, the import of either
// kind of file, the login question of the export, the error box, and the main window's rows.

#include "import/importcommand.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/templetmodel.h"
#include "import/exportcommand.h"
#include "import/templetfile.h"
#include "import/tplencoder.h"
#include "support/modal.h"
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
             QStringLiteral("Extraction Templet File (*.tpl)|*.tpl|Templet (*.json)|*.json"));
    QCOMPARE(done, imported);
    QCOMPARE(names.size(), imported ? 1u : 0u);
    QCOMPARE(MessageBox::lastShown().text, error);
    if (!error.isEmpty()) QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
  }

  void importsOpenTempletFile_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("valid") << QStringLiteral(
                                  R"({"format": "sorvane-templet", "version": 1, "table": null,
            "templet": {"name": "Shop", "source": "files", "method": "text tags",
                        "sources": [], "columns": [{"kind": "normal", "title": "A"}]}})")
                           << QString();
    QTest::newRow("unknown kind")
        << QStringLiteral(
               R"({"format": "sorvane-templet", "version": 1,
                   "templet": {"name": "Shop", "source": "files", "method": "text tags",
                               "sources": [], "columns": [{"kind": "macro"}]}})")
        << QStringLiteral(
               "Templet file: templet.columns[0].kind \"macro\" is none of \"normal\", "
               "\"record tags\", \"field value\", \"image\". Nothing was imported.");
  }

  void importsOpenTempletFile() {
    QFETCH(QString, text);
    QFETCH(QString, error);
    test::StoreFixture fixture;
    test::TestHost host;
    FileDialog::setNextAnswer(
        QString::fromStdString(fixture.Dir().Write("shop.json", text.toStdString())));
    if (!error.isEmpty()) MessageBox::setNextAnswer(QMessageBox::Ok);
    std::vector<std::string> names;
    const bool done = ImportTemplet(
        nullptr, fixture.Store(), host,
        [&names](const TTemplet&, const std::string& name) { names.push_back(name); });
    QCOMPARE(done, error.isEmpty());
    QCOMPARE(names,
             error.isEmpty() ? std::vector<std::string>{"Shop"} : std::vector<std::string>{});
    QCOMPARE(MessageBox::lastShown().text, error);
    QCOMPARE(fixture.Scalar("select count(*) from tmps"), error.isEmpty() ? 1 : 0);
    if (error.isEmpty())
      QCOMPARE(host.statuses.back(), std::string("Done! Templet loading completed!"));
  }

  void exportAsksForLoginValuesOnlyWhenThereAreSecrets_data() {
    QTest::addColumn<bool>("password");  // the templet's login holds one
    QTest::addColumn<int>("dialog");     // 0 none expected, 1 OK, 2 OK ticked, 3 Cancel
    QTest::addColumn<bool>("save");      // the file question is answered
    QTest::addColumn<bool>("written");
    QTest::newRow("no secret") << false << 0 << true << true;
    QTest::newRow("secret left out") << true << 1 << true << true;
    QTest::newRow("secret included") << true << 2 << true << true;
    QTest::newRow("login question cancelled") << true << 3 << true << false;
    QTest::newRow("file question cancelled") << false << 0 << false << false;
  }

  void exportAsksForLoginValuesOnlyWhenThereAreSecrets() {
    QFETCH(bool, password);
    QFETCH(int, dialog);
    QFETCH(bool, save);
    QFETCH(bool, written);
    test::StoreFixture fixture;
    const int id = fixture.AddTemplet("Shop/Books");
    SaveLoginRows(fixture.Store(), id,
                  {{"login", "anna", 3}, {password ? "password" : "remember", "zz-9", 3}});
    const std::string path = fixture.Dir().File("out.json");
    if (save) {
      FileDialog::setNextAnswer(QString::fromStdString(path));
    } else {
      FileDialog::setNextAnswer(std::nullopt);
    }
    bool asked = false;
    if (dialog != 0) {
      test::WhenModal<TfrmExport>([&asked, dialog](TfrmExport* d) {
        asked = true;
        if (dialog == 2)
          d->findChild<QCheckBox*>(QStringLiteral("chkLoginValues"))->setChecked(true);
        d->findChild<QPushButton*>(dialog == 3 ? QStringLiteral("btnCancel")
                                               : QStringLiteral("btnOK"))
            ->click();
      });
    }
    TTemplet templet;
    templet.ID = id;
    QCOMPARE(ExportTemplet(nullptr, fixture.Store(), &templet), written);
    QCOMPARE(asked, dialog != 0);
    QCOMPARE(std::filesystem::exists(path), written);
    if (dialog != 3) {
      QCOMPARE(FileDialog::lastAsked().filter, QStringLiteral("Templet (*.json)|*.json"));
      QCOMPARE(FileDialog::lastAsked().start, QStringLiteral("ShopBooks.json"));
    }
    if (!written) return;
    std::ifstream in(path);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QCOMPARE(file.find("zz-9") != std::string::npos, !password || dialog == 2);
    QVERIFY(file.find("anna") != std::string::npos);
  }

  void exportWithoutSelectionAsksForOne() {
    test::StoreFixture fixture;
    MessageBox::setNextAnswer(QMessageBox::Ok);
    QVERIFY(!ExportTemplet(nullptr, fixture.Store(), nullptr));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Please select a templet."));
    QCOMPARE(FileDialog::asked().size(), 0u);
  }

  // The window's rows: the selected templet exported, then imported back as a second entry.
  void menuRowsExportAndImportTheSelectedTemplet() {
    test::StoreFixture fixture;
    fixture.AddTemplet("Shop");
    TfrmMain window(fixture.Store());
    const QString path = QString::fromStdString(fixture.Dir().File("shop.json"));
    FileDialog::setNextAnswer(path);
    window.findChild<QAction*>(QStringLiteral("miExport"))->trigger();
    FileDialog::setNextAnswer(path);
    window.findChild<QAction*>(QStringLiteral("miImport"))->trigger();
    QCOMPARE(MessageBox::shown().size(), 0u);
    QCOMPARE(window.Navi()->topLevelItemCount(), 2);
    QCOMPARE(window.Navi()->currentItem()->text(0), QStringLiteral("Shop"));
    QCOMPARE(fixture.Scalar("select count(*) from tmps where tmn='Shop'"), 2);
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
