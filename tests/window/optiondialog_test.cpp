// The display options dialog on a real store, driven through its widgets offscreen.

#include "window/optiondialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <sqlite3.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/options.h"
#include "core/programfolder.h"
#include "core/selectfolder.h"
#include "support/modal.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

using Rows = std::vector<OptionRow>;

using test::WhenModal;

// A real store in a fresh folder with an open options dialog on it.
struct Fixture {
  test::TempDir dir;
  Tdm store{dir.File("data.mdb")};
  TfrmOption dlg{store};

  explicit Fixture(int templet_id = 3) {
    dlg.SetTempID(templet_id);
    dlg.show();
  }
  template <typename W>
  W* Find(const char* name) {
    return test::Named<W>(&dlg, name);
  }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  QLabel* Label(const char* name) { return Find<QLabel>(name); }
  void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
};

}  // namespace

class OptionDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { FileDialog::clearRecord(); }

  void showsItsWidgetsUnderTheirTexts() {
    Fixture f;
    QCOMPARE(f.dlg.windowTitle(), QStringLiteral("Option"));
    QStringList texts;
    for (const QLabel* label : f.dlg.findChildren<QLabel*>())
      texts << label->text();
    for (const char* text :
         {"Extract result display grid:", "Default row height:", "Records per page:",
          "(0: list all)", "Display font:", "Image saving folder:"}) {
      QVERIFY2(texts.contains(QString::fromLatin1(text)), text);
    }
    QCOMPARE(f.Find<QPushButton>("btnFont")->text(), QStringLiteral("Grid Font"));
    QCOMPARE(f.Find<QPushButton>("btnFolder")->text(), QStringLiteral("Image Folder"));
    QCOMPARE(f.Find<QPushButton>("btnOK")->text(), QStringLiteral("OK"));
    QVERIFY(f.Find<QPushButton>("btnOK")->isDefault());
    QCOMPARE(f.Find<QPushButton>("Button3")->text(), QStringLiteral("Cancel"));
    QVERIFY(f.Edit("edtFolder")->isReadOnly());
  }

  void templetWithoutOptionsShowsTheDefaults() {
    Fixture f;
    QCOMPARE(f.Edit("edtRowH")->text(), QStringLiteral("20"));
    QCOMPARE(f.Edit("edtRpp")->text(), QStringLiteral("20"));
    QCOMPARE(f.Label("lblFont")->text(), QStringLiteral("Display font:"));
    QCOMPARE(f.Label("lblFont")->font().family(), QStringLiteral("Arial"));
    QCOMPARE(f.Label("lblFont")->font().pointSize(), 8);
    QCOMPARE(f.Edit("edtFolder")->text(), QString::fromStdString(ProgramFolder() + "image/"));
  }

  void okAtOnceStoresTheDefaultsAndReopeningNamesTheFont() {
    Fixture f;
    f.Click("btnOK");
    QCOMPARE(f.dlg.result(), int(QDialog::Accepted));
    QVERIFY(!f.dlg.isVisible());
    const std::string folder = ProgramFolder() + "image/";
    QVERIFY(ReadOptions(f.store, 3) ==
            (Rows{{1, "20"}, {2, "Arial"}, {3, "8"}, {4, "20"}, {5, folder}}));

    TfrmOption again(f.store);
    again.SetTempID(3);
    auto* font = again.findChild<QLabel*>(QStringLiteral("lblFont"));
    QCOMPARE(font->text(), QStringLiteral("Arial"));
    QCOMPARE(font->font().family(), QStringLiteral("Arial"));
    QCOMPARE(font->font().pointSize(), 8);
  }

  void storedOptionsAreLoaded() {
    Fixture f;
    f.store.qryM.Execute("insert into opts values(5, 1, 35)");
    f.store.qryM.Execute("insert into opts values(5, 2, 'DejaVu Serif')");
    f.store.qryM.Execute("insert into opts values(5, 3, 14)");
    f.store.qryM.Execute("insert into opts values(5, 4, 0)");
    f.store.qryM.Execute("insert into opts values(5, 5, '/srv/pics/')");
    f.dlg.SetTempID(5);
    QCOMPARE(f.Edit("edtRowH")->text(), QStringLiteral("35"));
    QCOMPARE(f.Edit("edtRpp")->text(), QStringLiteral("0"));
    QCOMPARE(f.Label("lblFont")->text(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(f.Label("lblFont")->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(f.Label("lblFont")->font().pointSize(), 14);
    QCOMPARE(f.Edit("edtFolder")->text(), QStringLiteral("/srv/pics/"));

    // A templet without rows afterwards starts from the defaults again.
    f.dlg.SetTempID(6);
    QCOMPARE(f.Edit("edtRowH")->text(), QStringLiteral("20"));
    QCOMPARE(f.Label("lblFont")->text(), QStringLiteral("Display font:"));
    QCOMPARE(f.Label("lblFont")->font().pointSize(), 8);
  }

  void digitBoxesTakeDigitsOnly_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("result");
    for (const char* box : {"edtRowH", "edtRpp"}) {
      const QString b = QString::fromLatin1(box);
      QTest::newRow(qPrintable(b + ": letters")) << b << "abc"
                                                 << ""
                                                 << "";
      QTest::newRow(qPrintable(b + ": mixed")) << b << "1a2-3.4 "
                                               << ""
                                               << "1234";
      QTest::newRow(qPrintable(b + ": pasted letters")) << b << "7"
                                                        << "x9"
                                                        << "7";
      QTest::newRow(qPrintable(b + ": pasted digits")) << b << "7"
                                                       << "05"
                                                       << "705";
      QTest::newRow(qPrintable(b + ": nine digits at most")) << b << "12345678901"
                                                             << ""
                                                             << "123456789";
    }
  }
  void digitBoxesTakeDigitsOnly() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, result);
    Fixture f;
    QLineEdit* edit = f.Edit(qPrintable(box));
    edit->clear();
    QTest::keyClicks(edit, typed);
    if (!pasted.isEmpty()) {
      QGuiApplication::clipboard()->setText(pasted);
      edit->end(false);
      edit->paste();
    }
    QCOMPARE(edit->text(), result);
  }

  void backspaceDeletesInDigitBoxes() {
    Fixture f;
    for (const char* box : {"edtRowH", "edtRpp"}) {
      QLineEdit* edit = f.Edit(box);
      edit->setFocus();
      edit->end(false);
      QTest::keyClick(edit, Qt::Key_Backspace);
      QCOMPARE(edit->text(), QStringLiteral("2"));
    }
  }

  void emptyBoxIsRefusedWithNoteAndFocus_data() {
    QTest::addColumn<QString>("rowH");
    QTest::addColumn<QString>("rpp");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("focus");
    QTest::newRow("row height") << ""
                                << "20"
                                << "Row height is empty."
                                << "edtRowH";
    QTest::newRow("records per page") << "20"
                                      << ""
                                      << "Records per page is empty."
                                      << "edtRpp";
    QTest::newRow("both") << ""
                          << ""
                          << "Row height is empty."
                          << "edtRowH";
  }
  void emptyBoxIsRefusedWithNoteAndFocus() {
    QFETCH(QString, rowH);
    QFETCH(QString, rpp);
    QFETCH(QString, note);
    QFETCH(QString, focus);
    Fixture f;
    f.Edit("edtRowH")->setText(rowH);
    f.Edit("edtRpp")->setText(rpp);
    f.Find<QPushButton>("btnFont")->setFocus();
    f.Click("btnOK");
    QCOMPARE(f.Label("lblNote")->text(), note);
    QCOMPARE(f.dlg.focusWidget(), f.Edit(qPrintable(focus)));
    QVERIFY(f.dlg.isVisible());
    QVERIFY(ReadOptions(f.store, 3).empty());
  }

  void chosenFolderGetsASeparatorAndIsStored_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("shown");
    QTest::newRow("folder") << "/tmp/data"
                            << "/tmp/data/";
    QTest::newRow("root") << "/"
                          << "/";
  }
  void chosenFolderGetsASeparatorAndIsStored() {
    QFETCH(QString, chosen);
    QFETCH(QString, shown);
    Fixture f;
    FileDialog::setNextAnswer(chosen);
    f.Click("btnFolder");
    QCOMPARE(FileDialog::lastAsked().caption,
             QStringLiteral("Please select the image output directory:"));
    QCOMPARE(FileDialog::lastAsked().start, QString());
    QCOMPARE(f.Edit("edtFolder")->text(), shown);
    f.Click("btnOK");
    const Rows rows = ReadOptions(f.store, 3);
    QCOMPARE(rows.size(), std::size_t{5});
    QCOMPARE(QString::fromStdString(rows[4].val), shown);
  }

  void cancelledFolderLeavesTheFolderShown() {
    Fixture f;
    const QString before = f.Edit("edtFolder")->text();
    FileDialog::setNextAnswer(std::nullopt);
    f.Click("btnFolder");
    QCOMPARE(f.Edit("edtFolder")->text(), before);
  }

  void gridFontTakesNameAndSizeOnly() {
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Serif"))) {
      QSKIP("font DejaVu Serif not installed");
    }
    Fixture f;
    QLabel* label = f.Label("lblFont");
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    QFont preset;
    WhenModal<QFontDialog>([&preset](QFontDialog* d) {
      preset = d->currentFont();
      d->setCurrentFont(QFont(QStringLiteral("DejaVu Serif"), 14));
      d->accept();
    });
    f.Click("btnFont");
    QCOMPARE(preset.pointSize(), 8);
    QCOMPARE(label->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(label->font().pointSize(), 14);
    QVERIFY(label->font().bold());
    QCOMPARE(label->text(), QStringLiteral("Display font:"));

    f.Click("btnOK");
    const Rows rows = ReadOptions(f.store, 3);
    QCOMPARE(rows.size(), std::size_t{5});
    QCOMPARE(rows[1].val, std::string("DejaVu Serif"));
    QCOMPARE(rows[2].val, std::string("14"));
  }

  void storeErrorIsShownAndTheDialogStaysOpen() {
    Fixture f;
    QVERIFY(sqlite3_exec(f.store.conn.Handle(),
                         "create trigger no_folder before insert on opts when new.oid=5 "
                         "begin select raise(abort, 'folder rejected'); end",
                         nullptr, nullptr, nullptr) == SQLITE_OK);
    MessageBox::clearRecord();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    f.Click("btnOK");
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    const MessageBox::Record box = MessageBox::lastShown();
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QVERIFY2(box.text.contains(QStringLiteral("folder rejected")), qPrintable(box.text));
    // The rows written before the failing statement stay.
    QCOMPARE(ReadOptions(f.store, 3).size(), std::size_t{4});
    QVERIFY(f.dlg.isVisible());
    QCOMPARE(f.dlg.result(), int(QDialog::Rejected));
  }

  void fetchOptionsAreShownSavedAndReadBack() {
    Fixture f;
    QCOMPARE(f.Find<QSpinBox>("spnInFlight")->value(), 1);
    QCOMPARE(f.Find<QSpinBox>("spnDelay")->value(), 0);
    QCOMPARE(f.Find<QSpinBox>("spnRetries")->value(), 0);
    f.Find<QSpinBox>("spnInFlight")->setValue(40);  // held at 16
    f.Find<QSpinBox>("spnDelay")->setValue(250);
    f.Click("btnOK");
    QCOMPARE(FetchOptionsOf(ReadOptions(f.store, 3)), (FetchOptions{16, 250, 0}));
    QCOMPARE(ReadOptions(f.store, 3).size(), std::size_t{7});

    TfrmOption again(f.store);
    again.SetTempID(3);
    QCOMPARE(again.findChild<QSpinBox*>(QStringLiteral("spnInFlight"))->value(), 16);
    QCOMPARE(again.findChild<QSpinBox*>(QStringLiteral("spnDelay"))->value(), 250);
    QCOMPARE(again.findChild<QSpinBox*>(QStringLiteral("spnRetries"))->value(), 0);
  }

  void cancelWritesNothing() {
    Fixture f;
    f.Edit("edtRowH")->setText(QStringLiteral("44"));
    f.Click("Button3");
    QCOMPARE(f.dlg.result(), int(QDialog::Rejected));
    QVERIFY(ReadOptions(f.store, 3).empty());
  }

  void noTempletLeavesTheImageCounterAlone() {
    Fixture f(0);
    // The counter row (0, 1, '0') is not shown as a row height.
    QCOMPARE(f.Edit("edtRowH")->text(), QStringLiteral("20"));
    QVERIFY(!f.Find<QPushButton>("btnOK")->isEnabled());
    f.Click("btnOK");
    QTest::keyClick(f.Edit("edtRowH"), Qt::Key_Return);
    QVERIFY(f.dlg.isVisible());
    f.store.qryM.Open("select tmid,oid,val from opts");
    QVERIFY(!f.store.qryM.Eof());
    QCOMPARE(f.store.qryM.AsString(2), std::string("0"));
    f.store.qryM.Next();
    QVERIFY(f.store.qryM.Eof());
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::OptionDialogTest)
#include "optiondialog_test.moc"
