// The field dialog and the field value editor, driven through their widgets offscreen; the value
// editor on a real store.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <string>
#include <vector>

#include "core/messagebox.h"
#include "designer/fielddialog.h"
#include "designer/fieldvaldialog.h"
#include "designer/usertables.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

// A value editor on field 1 of table 1 (a code-0 field) holding `values`.
struct ValueEditor {
  test::StoreFixture f;
  std::vector<int> fids;
  std::unique_ptr<TfrmFieldVal> dlg;

  explicit ValueEditor(const std::vector<std::string>& values) {
    f.AddTable("Towns", 1, fids);
    for (const std::string& value : values)
      InsertFieldValue(f.Store(), 1, fids[0], value);
    Reopen();
  }
  void Reopen() {
    dlg = std::make_unique<TfrmFieldVal>(f.Store());
    dlg->SetTabID(1);
    dlg->SetFldID(fids[0]);
    dlg->show();
  }
  QPlainTextEdit* Box() { return dlg->findChild<QPlainTextEdit*>(QStringLiteral("mmVals")); }
  void Click(const char* name) {
    QTest::mouseClick(dlg->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
  }
  std::vector<std::string> Stored() { return LoadFieldValues(f.Store(), 1, fids[0]); }
};

using Lines = std::vector<std::string>;

}  // namespace

class FieldDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { MessageBox::clearRecord(); }
  void cleanup() {
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    MessageBox::clearRecord();
  }

  void fieldDialogOffersTheThreeTypes() {
    TfrmField d;
    QCOMPARE(d.windowTitle(), QStringLiteral("Please enter..."));
    QCOMPARE(d.findChild<QLabel*>(QStringLiteral("lblNote"))->text(),
             QStringLiteral("Create/modify a field, enter the title & length:"));
    auto* types = d.findChild<QComboBox*>(QStringLiteral("cbTyp"));
    QStringList choices;
    for (int i = 0; i < types->count(); ++i)
      choices << types->itemText(i);
    QCOMPARE(choices, QStringList({"Short text (50)", "Text (250)", "Long text (>250)"}));
    QCOMPARE(d.Typ(), 0);
    QCOMPARE(d.Txt(), std::string("varchar(50)"));
    d.SetTyp(2);
    QCOMPARE(types->currentIndex(), 2);
    QCOMPARE(d.Txt(), std::string("memo"));
    types->setCurrentIndex(1);
    QCOMPARE(d.Typ(), 1);
    QCOMPARE(d.Txt(), std::string("varchar(255)"));
    // A code without a choice is kept until the user picks one.
    d.SetTyp(7);
    QCOMPARE(types->currentIndex(), -1);
    QCOMPARE(d.Typ(), 7);
    QCOMPARE(d.Txt(), std::string());
    QVERIFY(d.findChild<QPushButton*>(QStringLiteral("btnOK"))->isDefault());
  }

  void fieldDialogRefusesABlankTitle_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("three blanks") << "   " << false;
    QTest::newRow("control characters") << "\t \x01" << false;
    QTest::newRow("blanks around a word") << " word " << true;
  }
  void fieldDialogRefusesABlankTitle() {
    QFETCH(QString, title);
    QFETCH(bool, accepted);
    TfrmField d;
    d.show();
    d.findChild<QLineEdit*>(QStringLiteral("edtTit"))->setText(title);
    QTest::keyClick(d.findChild<QLineEdit*>(QStringLiteral("edtTit")), Qt::Key_Return);
    QCOMPARE(d.result() == QDialog::Accepted, accepted);
    QCOMPARE(d.isVisible(), !accepted);
    QCOMPARE(d.findChild<QLabel*>(QStringLiteral("lblNote"))->text(),
             accepted ? QStringLiteral("Create/modify a field, enter the title & length:")
                      : QStringLiteral("Field title can not be empty!"));
    QCOMPARE(d.Tit(), title.toStdString());
  }

  void valueEditorShowsEveryValueOnItsLine() {
    ValueEditor x({"Ayr", "", "it's"});
    QCOMPARE(x.dlg->windowTitle(), QStringLiteral("Field Value Editor"));
    QCOMPARE(x.dlg->Lines(), Lines({"Ayr", "", "it's"}));
    // Clear empties the box and leaves the store alone.
    x.Click("btnClear");
    QCOMPARE(x.Box()->toPlainText(), QString());
    QCOMPARE(x.Stored(), Lines({"Ayr", "", "it's"}));
  }

  void valueEditorSavesLineByLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("stored");
    const QString sixty(60, QLatin1Char('x'));
    QTest::newRow("no: nothing changes")
        << "a\nb" << int(QMessageBox::No) << false << QStringList() << QStringList({"old"});
    QTest::newRow("empty box empties the table and stays open")
        << "" << int(QMessageBox::Yes) << false << QStringList() << QStringList();
    QTest::newRow("a line too long is reported and skipped")
        << "Ayr\n" + sixty + "\nO'Hare\n"
        << int(QMessageBox::Yes) << true << QStringList({sixty + "\n\nis too long"})
        << QStringList({"Ayr", "O'Hare"});
    QTest::newRow("empty lines are values too")
        << "\n\nx" << int(QMessageBox::Yes) << true << QStringList() << QStringList({"", "", "x"});
    QTest::newRow("only lines too long: stays open")
        << sixty << int(QMessageBox::Yes) << false << QStringList({sixty + "\n\nis too long"})
        << QStringList();
  }
  void valueEditorSavesLineByLine() {
    QFETCH(QString, text);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, stored);
    ValueEditor x({"old"});
    x.Box()->setPlainText(text);
    MessageBox::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    for (int i = 0; i < messages.size(); ++i)
      MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnOK");
    const std::vector<MessageBox::Record>& shown = MessageBox::shown();
    QCOMPARE(shown.front().caption, QStringLiteral("Confirm"));
    QCOMPARE(shown.front().text,
             QStringLiteral("This operation will empty this table first,\nand then save the "
                            "values,do you understand\nand want to continue?"));
    QStringList reported;
    for (std::size_t i = 1; i < shown.size(); ++i) {
      QCOMPARE(shown[i].caption, QStringLiteral("Note"));
      QCOMPARE(shown[i].icon, QMessageBox::Warning);
      reported << shown[i].text;
    }
    QCOMPARE(reported, messages);
    QCOMPARE(x.dlg->isVisible(), !closes);
    QStringList values;
    for (const std::string& value : x.Stored())
      values << QString::fromStdString(value);
    QCOMPARE(values, stored);
    // Every saved value is available again to the field source, and opening the editor again
    // shows exactly the saved lines.
    QCOMPARE(x.f.Scalar("select count(*) from t1 where fx<>0"), 0LL);
    x.Reopen();
    QCOMPARE(x.dlg->Lines(), x.Stored());
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::FieldDialogsTest)
#include "fielddialogs_test.moc"
