// The tables and fields designer on a real store, driven through its widgets offscreen: both
// modes, every button, the statements' effects in the store and the messages.

#include "designer/setuptabdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

#include "core/messagebox.h"
#include "core/textinputdialog.h"
#include "designer/fielddialog.h"
#include "designer/fieldvaldialog.h"
#include "support/modal.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

using test::WhenModal;

struct Fixture {
  test::StoreFixture f;
  std::unique_ptr<TfrmSetupTab> dlg;

  TfrmSetupTab& Open(bool editor = true) {
    dlg = std::make_unique<TfrmSetupTab>(f.Store());
    if (!editor) dlg->SetSwi(false);
    dlg->show();
    return *dlg;
  }
  template <typename W = QPushButton>
  W* Find(const char* name) const {
    return test::Named<W>(dlg.get(), name);
  }
  void Click(const char* button) { QTest::mouseClick(Find(button), Qt::LeftButton); }
  QListWidget* Tables() const { return Find<QListWidget>("lbTab"); }
  QTreeWidget* Fields() const { return Find<QTreeWidget>("lvFld"); }
  void ClickTable(int row) {
    QListWidget* list = Tables();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  }
  void ClickField(int row) {
    QTreeWidget* list = Fields();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(row)).center());
  }
  QStringList TableTexts() const {
    QStringList texts;
    for (int i = 0; i < Tables()->count(); ++i)
      texts << Tables()->item(i)->text();
    return texts;
  }
  // "title|length|uni" per field entry.
  QStringList FieldTexts() const {
    QStringList texts;
    for (int i = 0; i < Fields()->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* e = Fields()->topLevelItem(i);
      texts << e->text(0) + "|" + e->text(1) + "|" + e->text(2);
    }
    return texts;
  }
  long long Scalar(const std::string& sql) { return f.Scalar(sql); }
  bool HasIndex(const std::string& name) {
    return Scalar("select count(*) from sqlite_master where type='index' and name='" + name +
                  "'") == 1;
  }
  bool HasColumn(int taid, int fid) {
    return Scalar("select count(*) from pragma_table_info('t" + std::to_string(taid) +
                  "') where name='f" + std::to_string(fid) + "'") == 1;
  }
  // Answers the field dialog that comes up next.
  static void AnswerField(const QString& title, int typ, bool ok = true) {
    WhenModal<TfrmField>([title, typ, ok](TfrmField* d) {
      auto* edit = d->findChild<QLineEdit*>(QStringLiteral("edtTit"));
      edit->setText(title);
      d->findChild<QComboBox*>(QStringLiteral("cbTyp"))->setCurrentIndex(typ);
      QTest::mouseClick(
          d->findChild<QPushButton*>(ok ? QStringLiteral("btnOK") : QStringLiteral("btnCancel")),
          Qt::LeftButton);
    });
  }
  static void AnswerText(const QString& text) {
    WhenModal<TfrmTextInput>([text](TfrmTextInput* d) {
      d->findChild<QLineEdit*>(QStringLiteral("edtTxt"))->setText(text);
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
  }
};

}  // namespace

class SetupTabTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    MessageBox::clearRecord();
    unanswered_ = 0;
    seen_ = nullptr;
    // A box or dialog that nobody answers would wait for a user: close it and count it.
    watchdog_.setInterval(200);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
      auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (modal != nullptr && modal == seen_) {
        ++unanswered_;
        modal->reject();
      }
      seen_ = modal;
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

  void editorModeShowsItsButtonsAndTheFirstTable() {
    Fixture x;
    std::vector<int> fids;
    x.f.AddTable("First", 2, fids);
    x.f.Exec("update flds set typ=2,uni=1 where fid=" + std::to_string(fids[1]));
    x.f.AddTable("Second", 1, fids);
    TfrmSetupTab& d = x.Open();
    QCOMPARE(d.windowTitle(), QStringLiteral("Table management"));
    QVERIFY(d.Swi());
    QVERIFY(x.Find<QWidget>("pnlEditor")->isVisible());
    QVERIFY(!x.Find<QWidget>("pnlSelector")->isVisible());
    QStringList captions;
    for (const char* name :
         {"btnAddFld", "btnEditFld", "btnDelFld", "btnUnique", "btnNewTab", "btnRename",
          "btnDropTab", "btnDelData", "btnResetTag", "btnFldVal", "btnHelp", "btnClose"}) {
      captions << x.Find(name)->text();
    }
    QCOMPARE(captions, QStringList({"Add field", "Edit Field", "Delete field", "Unique",
                                    "New table", "Rename", "Drop table", "Delete data", "Reset tag",
                                    "Field value", "Help", "Close"}));
    QCOMPARE(x.TableTexts(), QStringList({"First", "Second"}));
    QCOMPARE(x.Tables()->currentRow(), 0);
    QCOMPARE(d.CurrentTable(), 1);
    QCOMPARE(x.FieldTexts(), QStringList({"F1|Short Text (50)|", "F2|Long Text (>250)|Y"}));
    QCOMPARE(x.Fields()->headerItem()->text(2), QStringLiteral("Uni"));
    QCOMPARE(x.Fields()->columnWidth(0), 130);
    x.ClickField(1);
    QCOMPARE(x.Find("btnUnique")->text(), QStringLiteral("Dis-Unique"));
    x.ClickField(0);
    QCOMPARE(x.Find("btnUnique")->text(), QStringLiteral("Unique"));
    x.ClickTable(1);
    QCOMPARE(d.CurrentTable(), 2);
    QCOMPARE(x.FieldTexts(), QStringList({"F1|Short Text (50)|"}));
    // Close is the Escape button and gives Cancel.
    QTest::keyClick(&d, Qt::Key_Escape);
    QCOMPARE(d.result(), int(QDialog::Rejected));
  }

  void withoutTablesOnlyAddFieldSaysSomething() {
    Fixture x;
    TfrmSetupTab& d = x.Open();
    QCOMPARE(x.Tables()->count(), 0);
    QCOMPARE(d.CurrentTable(), 0);
    for (const char* name : {"btnRename", "btnDropTab", "btnDelData", "btnResetTag", "btnEditFld",
                             "btnDelFld", "btnUnique", "btnFldVal"}) {
      x.Click(name);
    }
    QVERIFY(MessageBox::shown().empty());
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnAddFld");
    QCOMPARE(MessageBox::shown().size(), std::size_t(1));
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Note"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Select a table first, please!"));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
  }

  void newTableRenameAndFieldsKeepQuotesAndBlanks() {
    Fixture x;
    TfrmSetupTab& d = x.Open();
    Fixture::AnswerText(QStringLiteral("Bob's table"));
    x.Click("btnNewTab");
    QCOMPARE(x.TableTexts(), QStringList({"Bob's table"}));
    const int taid = d.CurrentTable();
    QVERIFY(taid > 0);
    QCOMPARE(x.Scalar("select count(*) from tabs where tan='Bob''s table' and taid=" +
                      std::to_string(taid)),
             1LL);
    QCOMPARE(x.Scalar("select count(*) from pragma_table_info('t" + std::to_string(taid) + "')"),
             2LL);

    WhenModal<TfrmTextInput>([](TfrmTextInput* input) {
      // The rename starts from the entry's name.
      QCOMPARE(input->Tit(), std::string("Please enter the table name:"));
      QCOMPARE(input->Txt(), std::string("Bob's table"));
      input->findChild<QLineEdit*>(QStringLiteral("edtTxt"))->setText(QStringLiteral("it's"));
      QTest::mouseClick(input->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    x.Click("btnRename");
    QCOMPARE(x.TableTexts(), QStringList({"it's"}));
    QCOMPARE(x.Scalar("select count(*) from tabs where tan='it''s'"), 1LL);

    Fixture::AnswerField(QStringLiteral(" O'Neil "), 1);
    x.Click("btnAddFld");
    QCOMPARE(x.FieldTexts(), QStringList({" O'Neil |Text (250)|"}));
    QVERIFY(x.Fields()->topLevelItem(0)->isSelected());
    const int fid = static_cast<int>(x.Scalar("select max(fid) from flds"));
    QCOMPARE(x.Scalar("select count(*) from flds where fti=' O''Neil ' and typ=1 and taid=" +
                      std::to_string(taid)),
             1LL);
    QVERIFY(x.HasColumn(taid, fid));
    // A cancelled field dialog adds nothing.
    Fixture::AnswerField(QStringLiteral("Other"), 0, false);
    x.Click("btnAddFld");
    QCOMPARE(x.Fields()->topLevelItemCount(), 1);
    QVERIFY(MessageBox::shown().empty());
  }

  void editFieldAsksOnlyWhenTheFieldGetsSmaller_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("answer");  // to the question, when one is asked
    QTest::addColumn<bool>("asks");
    QTest::addColumn<int>("stored");  // flds.typ afterwards
    QTest::addColumn<bool>("altered");
    QTest::newRow("narrowing, yes") << 2 << 0 << "F1" << int(QMessageBox::Yes) << true << 0 << true;
    QTest::newRow("narrowing, no") << 2 << 0 << "F1" << int(QMessageBox::No) << true << 2 << false;
    QTest::newRow("widening") << 0 << 2 << "F1" << 0 << false << 2 << true;
    QTest::newRow("same type, new title") << 1 << 1 << "Price" << 0 << false << 1 << false;
  }
  void editFieldAsksOnlyWhenTheFieldGetsSmaller() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, title);
    QFETCH(int, answer);
    QFETCH(bool, asks);
    QFETCH(int, stored);
    QFETCH(bool, altered);
    Fixture x;
    std::vector<int> fids;
    const int taid = x.f.AddTable("T", 1, fids);
    const std::string fid = std::to_string(fids[0]);
    x.f.Exec("update flds set typ=" + std::to_string(from) + " where fid=" + fid);
    x.Open();
    x.ClickField(0);
    if (asks) MessageBox::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    x.f.TraceStatements("");
    Fixture::AnswerField(title, to);
    x.Click("btnEditFld");
    if (asks) {
      QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Warning"));
      QCOMPARE(MessageBox::lastShown().text,
               QStringLiteral("You make this field smaller, this perhaps would\nlost some data! "
                              "Do you want to continue anyway?"));
      QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Question);
    } else {
      QVERIFY(MessageBox::shown().empty());
    }
    QCOMPARE(x.Scalar("select typ from flds where fid=" + fid), static_cast<long long>(stored));
    bool rebuilt = false, retitled = false;
    for (const std::string& sql : x.f.Traced()) {
      rebuilt = rebuilt || sql.find("sorvane_rebuild") != std::string::npos;
      retitled = retitled || sql.rfind("update flds set fti=", 0) == 0;
    }
    QCOMPARE(rebuilt, altered);
    QCOMPARE(retitled, title != "F1");
    QVERIFY(x.HasColumn(taid, fids[0]));
    QCOMPARE(x.Fields()->topLevelItem(0)->text(0), title);
    QCOMPARE(x.Fields()->topLevelItem(0)->text(1),
             QString::fromLatin1(stored == 0   ? "Short Text (50)"
                                 : stored == 1 ? "Text (250)"
                                               : "Long Text (>250)"));
  }

  void oneUniqueFieldPerTableAndNoneOverRepeatedValues() {
    Fixture x;
    std::vector<int> fids;
    const int taid = x.f.AddTable("T", 3, fids);
    x.f.Exec("insert into t1(f1,f2,f3) values('a','x','same')");
    x.f.Exec("insert into t1(f1,f2,f3) values('b','y','same')");
    const auto index = [&](int fid) {
      return "idx_" + std::to_string(taid) + "_" + std::to_string(fid);
    };
    x.Open();

    // Over repeated values the index cannot be made; nothing changes.
    x.ClickField(2);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnUnique");
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Sorry, this field including repeated values, can not\ncreate unique "
                            "index, please delete the repeated record\nthen try again."));
    QCOMPARE(x.FieldTexts()[2], QStringLiteral("F3|Short Text (50)|"));
    QCOMPARE(x.Scalar("select uni from flds where fid=3"), 0LL);
    QVERIFY(!x.HasIndex(index(3)));

    x.ClickField(0);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnUnique");
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Are you sure to create unique index for this field?"));
    QCOMPARE(x.FieldTexts()[0], QStringLiteral("F1|Short Text (50)|Y"));
    QCOMPARE(x.Find("btnUnique")->text(), QStringLiteral("Dis-Unique"));
    QCOMPARE(x.Scalar("select uni from flds where fid=1"), 1LL);
    QVERIFY(x.HasIndex(index(1)));

    // A second unique field is refused before the question.
    x.ClickField(1);
    QCOMPARE(x.Find("btnUnique")->text(), QStringLiteral("Unique"));
    MessageBox::clearRecord();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnUnique");
    QCOMPARE(MessageBox::shown().size(), std::size_t(1));
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Note"));
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("One table can have only one unique field."));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Information);
    QVERIFY(!x.HasIndex(index(2)));

    // After Dis-Unique on the first, the second can be made unique.
    x.ClickField(0);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnUnique");
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Are you sure to drop the unique index?"));
    QCOMPARE(x.FieldTexts()[0], QStringLiteral("F1|Short Text (50)|"));
    QCOMPARE(x.Find("btnUnique")->text(), QStringLiteral("Unique"));
    QVERIFY(!x.HasIndex(index(1)));
    x.ClickField(1);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnUnique");
    QVERIFY(x.HasIndex(index(2)));
    QCOMPARE(x.Scalar("select sum(uni) from flds"), 1LL);

    // Deleting the unique field takes its index with its column.
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnDelFld");
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Are you sure to delete this field and all its data?"));
    QCOMPARE(x.FieldTexts(), QStringList({"F1|Short Text (50)|", "F3|Short Text (50)|"}));
    QVERIFY(!x.HasIndex(index(2)));
    QVERIFY(!x.HasColumn(taid, 2));
    QCOMPARE(x.Scalar("select count(*) from flds where fid=2"), 0LL);
    QCOMPARE(x.Scalar("select count(*) from t1"), 2LL);
  }

  void droppingATableResetsWhatPointedAtIt() {
    Fixture x;
    std::vector<int> kept, dropped;
    x.f.AddTable("Kept", 1, kept);
    const int taid = x.f.AddTable("Dropped", 2, dropped);
    const int saving = x.f.AddTemplet("saving", 1, 1, taid);
    const int other = x.f.AddTemplet("other", 1, 1, 1);
    x.f.AddColumn(saving, "a", dropped[0], 0);
    x.f.AddColumn(saving, "b", dropped[1], 1);
    x.f.AddColumn(other, "c", kept[0], 0);
    TfrmSetupTab& d = x.Open();
    x.ClickTable(1);
    MessageBox::setNextAnswer(QMessageBox::No);
    x.Click("btnDropTab");
    QCOMPARE(x.Scalar("select count(*) from tabs"), 2LL);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnDropTab");
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Are you sure delete this table and all its data?"));
    QCOMPARE(x.Scalar("select taid from tmps where tmid=" + std::to_string(saving)), 0LL);
    QCOMPARE(x.Scalar("select taid from tmps where tmid=" + std::to_string(other)), 1LL);
    QCOMPARE(x.Scalar("select count(*) from cols where fid<>0"), 1LL);
    QCOMPARE(x.Scalar("select count(*) from flds where taid=" + std::to_string(taid)), 0LL);
    QCOMPARE(x.Scalar("select count(*) from tabs where taid=" + std::to_string(taid)), 0LL);
    QCOMPARE(
        x.Scalar("select count(*) from sqlite_master where name='t" + std::to_string(taid) + "'"),
        0LL);
    QCOMPARE(x.TableTexts(), QStringList({"Kept"}));
    QVERIFY(x.Tables()->selectedItems().isEmpty());
    QCOMPARE(x.Fields()->topLevelItemCount(), 0);
    QCOMPARE(d.CurrentTable(), 0);
    MessageBox::clearRecord();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnAddFld");
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Select a table first, please!"));
  }

  void deleteDataAndResetTagAskFirst_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("check");
    QTest::addColumn<long long>("expected");
    QTest::newRow("delete data, yes") << "btnDelData"
                                      << "Are you sure to delete all\nrecords of this table?"
                                      << int(QMessageBox::Yes) << "select count(*) from t1" << 0LL;
    QTest::newRow("delete data, no") << "btnDelData"
                                     << "Are you sure to delete all\nrecords of this table?"
                                     << int(QMessageBox::No) << "select count(*) from t1" << 3LL;
    QTest::newRow("reset tag, yes") << "btnResetTag"
                                    << "Are you sure to reset extract flag?"
                                    << int(QMessageBox::Yes) << "select sum(fx) from t1" << 0LL;
    QTest::newRow("reset tag, no") << "btnResetTag"
                                   << "Are you sure to reset extract flag?" << int(QMessageBox::No)
                                   << "select sum(fx) from t1" << 3LL;
  }
  void deleteDataAndResetTagAskFirst() {
    QFETCH(QString, button);
    QFETCH(QString, question);
    QFETCH(int, answer);
    QFETCH(QString, check);
    QFETCH(long long, expected);
    Fixture x;
    std::vector<int> fids;
    x.f.AddTable("T", 1, fids);
    x.f.AddRecords(1, fids, 3);
    x.f.Exec("update t1 set fx=1");
    x.Open();
    MessageBox::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    x.Click(button.toLatin1().constData());
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Confirm"));
    QCOMPARE(MessageBox::lastShown().text, question);
    QCOMPARE(x.Scalar(check.toStdString()), expected);
  }

  void fieldValueOpensTheEditorOnTheSelectedField() {
    Fixture x;
    std::vector<int> fids;
    x.f.AddTable("Towns", 2, fids);
    x.f.Exec("insert into t1(f2) values('Ayr')");
    x.f.Exec("insert into t1(f2) values('')");
    x.f.Exec("insert into t1(f2) values('O''Hare')");
    x.Open();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnFldVal");
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Note"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("No field selected."));
    x.ClickField(1);
    QString shown;
    WhenModal<TfrmFieldVal>([&](TfrmFieldVal* editor) {
      shown = editor->findChild<QPlainTextEdit*>(QStringLiteral("mmVals"))->toPlainText();
      editor->reject();
    });
    x.Click("btnFldVal");
    QCOMPARE(shown, QStringLiteral("Ayr\n\nO'Hare\n"));
  }

  void selectionModeHandsBackTheFieldTag() {
    Fixture x;
    std::vector<int> fids;
    x.f.AddTable("A", 2, fids);
    x.f.AddTable("B", 2, fids);
    x.f.AddTable("C", 3, fids);  // table 3 with fields 5, 6, 7
    TfrmSetupTab& d = x.Open(false);
    QVERIFY(!d.Swi());
    QVERIFY(!x.Find<QWidget>("pnlEditor")->isVisible());
    QVERIFY(x.Find<QWidget>("pnlSelector")->isVisible());
    QVERIFY(x.Find("btnOK")->isDefault());
    QCOMPARE(x.Find<QLabel>("lblMsg")->text(), QString());
    x.ClickTable(2);
    QCOMPARE(d.FldTxt(), std::string());
    x.Click("btnOK");
    QCOMPARE(x.Find<QLabel>("lblMsg")->text(), QStringLiteral("No field selected!"));
    QVERIFY(d.isVisible());
    x.ClickField(2);
    QCOMPARE(d.FldTxt(), std::string("<FIELD:T3,F7/>"));
    x.Click("btnOK");
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(!d.isVisible());

    // The same through the function the templet editor calls, and its Cancel.
    WhenModal<TfrmSetupTab>([](TfrmSetupTab* picker) {
      picker->findChild<QTreeWidget*>(QStringLiteral("lvFld"))->topLevelItem(1)->setSelected(true);
      QTest::mouseClick(picker->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    QCOMPARE(PickFieldTag(nullptr, x.f.Store()), std::optional<std::string>("<FIELD:T1,F2/>"));
    WhenModal<TfrmSetupTab>([](TfrmSetupTab* picker) { QTest::keyClick(picker, Qt::Key_Escape); });
    QCOMPARE(PickFieldTag(nullptr, x.f.Store()), std::nullopt);
  }

 private:
  QTimer watchdog_;
  QDialog* seen_ = nullptr;
  int unanswered_ = 0;
};

}  // namespace sorvane

QTEST_MAIN(sorvane::SetupTabTest)
#include "setuptabdialog_test.moc"
