// The shared input dialogs offscreen: the single text input and the folder picker.

#include "core/textinputdialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <optional>
#include <string>

#include "core/filedialog.h"
#include "core/selectfolder.h"
#include "support/modal.h"
#include "support/tempdir.h"

Q_DECLARE_METATYPE(std::optional<QString>)

namespace sorvane {
namespace {

using test::WhenModal;

QString Q(const std::string& path) {
  return QString::fromStdString(path);
}

}  // namespace

class SharedInputTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { FileDialog::clearRecord(); }

  void textInputStartsWithItsPrompt() {
    TfrmTextInput dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Please enter..."));
    QCOMPARE(dlg.Tit(), std::string("Some reminder text here:"));
    QCOMPARE(dlg.Txt(), std::string());
    QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("btnOK"))->isDefault());
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("btnOK"))->text(), QStringLiteral("OK"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("btnCancel"))->text(),
             QStringLiteral("Cancel"));
    dlg.SetTit("Table name:");
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("lblTit"))->text(),
             QStringLiteral("Table name:"));
  }

  void textInputOkNeedsSomeText_data() {
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << ""
                           << "" << false << "Cann't be empty!"
                           << "";
    QTest::newRow("blanks only") << ""
                                 << "   " << true << ""
                                 << "   ";
    QTest::newRow("typed") << ""
                           << " csv " << true << ""
                           << " csv ";
    QTest::newRow("preset kept") << "txt"
                                 << "" << true << ""
                                 << "txt";
    QTest::newRow("preset extended") << "tx"
                                     << "t" << true << ""
                                     << "txt";
  }
  void textInputOkNeedsSomeText() {
    QFETCH(QString, preset);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    QFETCH(QString, text);
    TfrmTextInput dlg;
    dlg.SetTxt(preset.toStdString());
    dlg.show();
    auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("edtTxt"));
    edit->end(false);
    QTest::keyClicks(edit, typed);
    // Return presses the default button.
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(dlg.result() == QDialog::Accepted, accepted);
    QCOMPARE(dlg.isVisible(), !accepted);
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("lblMsg"))->text(), message);
    QCOMPARE(dlg.Txt(), text.toStdString());
  }

  void textInputCarriesBytesUnchanged() {
    TfrmTextInput dlg;
    const std::string bytes =
        "Gr\xc3\xb6\xc3\x9f"
        "e 'x'";
    dlg.SetTxt(bytes);
    dlg.SetTit(bytes);
    QCOMPARE(dlg.Txt(), bytes);
    QCOMPARE(dlg.Tit(), bytes);
  }

  void selectFolder_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("preselected");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("result");
    const QString existing = QDir::tempPath();
    using Answer = std::optional<QString>;
    QTest::newRow("missing folder emptied, cancel leaves it empty")
        << "/no/such/folder" << Answer() << "" << false << "";
    QTest::newRow("existing folder preselected, cancel keeps it")
        << existing << Answer() << existing << false << existing;
    QTest::newRow("empty start") << "" << Answer("/tmp/data") << "" << true << "/tmp/data";
    QTest::newRow("trailing separator dropped")
        << "" << Answer("/tmp/data/") << "" << true << "/tmp/data";
    QTest::newRow("root keeps its separator") << "" << Answer("/") << "" << true << "/";
  }
  void selectFolder() {
    QFETCH(QString, start);
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, preselected);
    QFETCH(bool, chosen);
    QFETCH(QString, result);
    FileDialog::setNextAnswer(answer ? std::optional<QStringList>(QStringList{*answer})
                                     : std::nullopt);
    QString folder = start;
    QCOMPARE(SelectFolder(nullptr, QStringLiteral("Pick one:"), folder), chosen);
    QCOMPARE(FileDialog::lastAsked().kind, FileDialog::Kind::kFolder);
    QCOMPARE(FileDialog::lastAsked().caption, QStringLiteral("Pick one:"));
    QCOMPARE(FileDialog::lastAsked().start, preselected);
    QCOMPARE(folder, result);
  }

  void selectFolderEmptiesAFileName() {
    test::TempDir dir;
    QString folder = Q(dir.Write("file.txt", "x"));
    FileDialog::setNextAnswer(std::nullopt);
    QVERIFY(!SelectFolder(nullptr, QStringLiteral("c"), folder));
    QCOMPARE(folder, QString());
  }

  void selectFolderUsesTheRealBrowser() {
    test::TempDir dir;
    const QString start = Q(dir.Path().string());
    QVERIFY(QDir(start).mkdir(QStringLiteral("data")));
    const QString target = start + QStringLiteral("/data");
    QString title;
    QString directory;
    bool dirsOnly = false;
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      title = d->windowTitle();
      directory = d->directory().absolutePath();
      dirsOnly =
          d->fileMode() == QFileDialog::Directory && d->testOption(QFileDialog::ShowDirsOnly);
      d->setDirectory(target);
      static_cast<QDialog*>(d)->accept();  // QFileDialog hides its override
    });
    QString folder = start;
    QVERIFY(SelectFolder(nullptr, QStringLiteral("Choose the folder:"), folder));
    QCOMPARE(title, QStringLiteral("Choose the folder:"));
    QCOMPARE(directory, start);
    QVERIFY(dirsOnly);
    QCOMPARE(folder, target);
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::SharedInputTest)
#include "textinputdialog_test.moc"
