// The column dialogs, the page-number tag dialog, the translation rules dialog and the table and
// column picker on a real store, driven through their widgets offscreen.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include <string>
#include <vector>

#include "authoring/autodialog.h"
#include "authoring/regexprcoldialog.h"
#include "authoring/tabdialog.h"
#include "authoring/texttagcoldialog.h"
#include "authoring/transdialog.h"
#include "authoring/translationrules.h"
#include "core/messagebox.h"
#include "core/templetmodel.h"
#include "engine/translate.h"
#include "support/modal.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

using test::Named;

QString Text(QWidget* dialog, const char* label) {
  return Named<QLabel>(dialog, label)->text();
}

void Click(QWidget* dialog, const char* button) {
  QTest::mouseClick(Named<QPushButton>(dialog, button), Qt::LeftButton);
}

// True when `widget` (or the edit inside it) has the dialog's focus.
bool Focused(QWidget* dialog, const char* name) {
  QWidget* widget = Named<QWidget>(dialog, name);
  QWidget* focus = dialog->focusWidget();
  return focus == widget || widget->isAncestorOf(focus);
}

void Show(QDialog& dialog) {
  dialog.show();
  if (!QTest::qWaitForWindowActive(&dialog)) qFatal("dialog not active");
}

QStringList Row(QTreeWidget* list, int row) {
  QStringList cells;
  for (int c = 0; c < list->columnCount(); ++c)
    cells << list->topLevelItem(row)->text(c);
  return cells;
}

}  // namespace

class AuthoringDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { MessageBox::clearRecord(); }

  void textTagColumnTakesTagsAndFields() {
    test::StoreFixture f;
    std::vector<int> fids;
    const int taid = f.AddTable("Books", 2, fids);
    TfrmTextTagCol dlg(f.Store());
    Show(dlg);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Please enter..."));
    QCOMPARE(Text(&dlg, "lblNote"), QStringLiteral("Add/modify a column:"));
    QVERIFY(Named<QPushButton>(&dlg, "btnOK")->isDefault());
    QCOMPARE(Named<QComboBox>(&dlg, "cbField")->count(), 1);
    QCOMPARE(dlg.FieldID(), 0);

    dlg.SetTabID(taid);
    dlg.SetFieldID(fids[1]);
    QCOMPARE(dlg.FieldNam(), std::string("F2"));
    dlg.SetFieldID(999);  // not in the list: the choice stays
    QCOMPARE(dlg.FieldID(), fids[1]);

    // The special entries hand back their tags; typed text comes back as typed.
    Named<QComboBox>(&dlg, "edtStartTag")->setCurrentIndex(0);
    Named<QComboBox>(&dlg, "edtEndTag")->setCurrentIndex(0);
    QCOMPARE(dlg.StartTag(), std::string("[..]"));
    QCOMPARE(dlg.EndTag(), std::string("[CRLF]"));
    dlg.SetEndTag(" </b> ");
    QCOMPARE(dlg.EndTag(), std::string(" </b> "));

    dlg.SetColTag(kColStartRecordTag);
    QCOMPARE(Text(&dlg, "lblTitle"), QStringLiteral("Start tag:"));
    QCOMPARE(Text(&dlg, "lblStartTag"), QStringLiteral("Record open tag:"));
    QCOMPARE(Text(&dlg, "lblEndTag"), QStringLiteral("Record close tag:"));
    dlg.SetColTag(kColFieldValue);
    QCOMPARE(Text(&dlg, "lblTitle"), QStringLiteral("Column title:"));
    QVERIFY(!Named<QComboBox>(&dlg, "edtStartTag")->isEnabled());
    QVERIFY(Named<QComboBox>(&dlg, "cbField")->isEnabled());

    // Checks on OK: the message goes to the note line, the focus to the input.
    dlg.SetColTag(kColNormal);
    dlg.SetStartTag("");
    Click(&dlg, "btnOK");
    QCOMPARE(Text(&dlg, "lblNote"), QStringLiteral("Column title cann't be empty."));
    QVERIFY(Focused(&dlg, "edtTitle"));
    dlg.SetColTit("Price");
    Click(&dlg, "btnOK");
    QCOMPARE(Text(&dlg, "lblNote"), QStringLiteral("Open tag cann't be empty."));
    QVERIFY(Focused(&dlg, "edtStartTag"));
    QVERIFY(dlg.isVisible());
    dlg.SetStartTag("<b>");
    Click(&dlg, "btnOK");
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
  }

  void regExprColumnChoosesAndHighlightsSubExpressions() {
    test::StoreFixture f;
    std::vector<int> fids;
    const int taid = f.AddTable("Books", 1, fids);
    TfrmRegExprCol dlg(f.Store());
    std::vector<int> highlighted;
    dlg.SetHighlighter([&](int n) { highlighted.push_back(n); });
    dlg.SetTabID(taid);
    dlg.SetRegExprNum(0);
    QCOMPARE(dlg.RegExprNum(), 1);
    QCOMPARE(dlg.RegExprNo(), -1);
    dlg.SetRegExprNum(-1);
    QCOMPARE(dlg.RegExprNum(), 1);
    dlg.SetRegExprNum(1);  // appends: "$0" "$0" "$1"
    QCOMPARE(Named<QComboBox>(&dlg, "cbRegExpr")->itemText(2), QStringLiteral("$1"));
    Show(dlg);
    QVERIFY(!Named<QLineEdit>(&dlg, "edtStartTag")->isVisible());
    QVERIFY(!Named<QLineEdit>(&dlg, "edtEndTag")->isEnabled());

    dlg.SetRegExprNo(2);
    dlg.SetRegExprNo(7);  // no such entry: none chosen
    QCOMPARE(dlg.RegExprNo(), -1);
    QComboBox* choice = Named<QComboBox>(&dlg, "cbRegExpr");
    choice->setFocus();
    QTest::keyClick(choice, Qt::Key_Down);  // the user's choice is highlighted too
    QCOMPARE(highlighted, (std::vector<int>{2, -1, 0}));

    // Kind 1 clears and disables the field choice and shows the start tag in place of the choice.
    dlg.SetFieldID(fids[0]);
    dlg.SetColTag(kColStartRecordTag);
    QCOMPARE(Text(&dlg, "lblRegExpr"), QStringLiteral("Record open tag:"));
    QVERIFY(Named<QLineEdit>(&dlg, "edtStartTag")->isVisible());
    QVERIFY(!choice->isVisible());
    QVERIFY(!Named<QComboBox>(&dlg, "cbField")->isEnabled());
    QCOMPARE(dlg.FieldID(), 0);
    Named<QLineEdit>(&dlg, "edtStartTag")->setText(QStringLiteral("<tr>"));
    Click(&dlg, "btnOK");
    QCOMPARE(Text(&dlg, "lblNote"),
             QStringLiteral("Open/close tag is a pair, should be both empty or not empty."));
    QVERIFY(Focused(&dlg, "edtEndTag"));

    dlg.SetColTag(kColNormal);
    QCOMPARE(dlg.FieldID(), 0);
    choice->setCurrentIndex(-1);
    dlg.SetColTit("t");
    Click(&dlg, "btnOK");
    QCOMPARE(Text(&dlg, "lblNote"), QStringLiteral("The column need a expression as data source."));
    QVERIFY(Focused(&dlg, "cbRegExpr"));
    dlg.SetColTag(kColFieldValue);
    QVERIFY(!choice->isEnabled());
    Click(&dlg, "btnOK");
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.RegExprNo(), -1);
  }

  void pageNumberTagIsComposedFromTheInputs() {
    TfrmAuto dlg;
    Show(dlg);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Auto increment field"));
    QCOMPARE(Text(&dlg, "lblNote"), QStringLiteral("Specify end condition:"));
    auto* from = Named<QLineEdit>(&dlg, "edtFrom");
    auto* to = Named<QLineEdit>(&dlg, "edtTo");
    QCOMPARE(from->text(), QStringLiteral("1"));
    from->clear();
    Click(&dlg, "btnOK");
    QCOMPARE(Text(&dlg, "lblNote"), QStringLiteral("Filling is not completed."));
    QVERIFY(Focused(&dlg, "edtTo"));  // both empty: the focus ends on To
    QTest::keyClicks(from, QStringLiteral("0a5"));
    QTest::keyClicks(to, QStringLiteral("x1,0"));
    QCOMPARE(dlg.Txt(), std::string("<AUTOINC:05,10/>"));
    Click(&dlg, "btnOK");
    QCOMPARE(dlg.result(), int(QDialog::Accepted));

    TfrmAuto tag;
    Show(tag);
    Named<QRadioButton>(&tag, "rbTag")->setChecked(true);
    Click(&tag, "btnOK");
    QVERIFY(Focused(&tag, "edtTag"));
    // The tag would end inside the text: refused.
    QTest::keyClicks(Named<QLineEdit>(&tag, "edtTag"), QStringLiteral("<br/>"));
    Click(&tag, "btnOK");
    QCOMPARE(Text(&tag, "lblNote"), QStringLiteral("The end tag cannot contain \"/>\"."));
    QVERIFY(tag.isVisible());
    Named<QLineEdit>(&tag, "edtTag")->setText(QStringLiteral("Next page, more"));
    QCOMPARE(tag.Txt(), std::string("<AUTOINC:Next page, more/>"));
    Click(&tag, "btnOK");
    QCOMPARE(tag.result(), int(QDialog::Accepted));
  }

  void translationRulesAreEditedInTheListAndStoredOnOk() {
    test::StoreFixture f;
    const int tmid = f.AddTemplet("t");
    const int cid = f.AddColumn(tmid, "c", 0, 0);
    SaveRules(f.Store(), cid, {{cid, kRelInclude, "old", "new"}});
    TfrmTrans dlg(f.Store());
    dlg.SetColID(cid);
    Show(dlg);
    auto* list = Named<QTreeWidget>(&dlg, "lvList");
    auto* rel = Named<QComboBox>(&dlg, "cbRel");
    auto* a = Named<QLineEdit>(&dlg, "edtA");
    auto* b = Named<QLineEdit>(&dlg, "edtB");
    auto* add = Named<QPushButton>(&dlg, "btnAdd");
    QVERIFY(add->isDefault());
    QCOMPARE(Row(list, 0), (QStringList{"@ Include", "old", "->", "new"}));

    Click(&dlg, "btnAdd");  // both parameters empty: refused
    QCOMPARE(list->topLevelItemCount(), 1);
    QVERIFY(Focused(&dlg, "edtA"));
    b->setText(QStringLiteral("x"));
    Click(&dlg, "btnAdd");
    QCOMPARE(Row(list, 1), (QStringList{"@ Equal", "", "->", "x"}));

    rel->setCurrentIndex(kRelSubstr);
    QCOMPARE(Text(&dlg, "lblA"), QStringLiteral("I:"));
    QCOMPARE(b->text(), QString());
    QTest::keyClicks(a, QStringLiteral("a2"));
    Click(&dlg, "btnAdd");
    QVERIFY(Focused(&dlg, "edtB"));
    QTest::keyClicks(b, QStringLiteral("3"));
    Click(&dlg, "btnAdd");
    QCOMPARE(Row(list, 2), (QStringList{"Substr(@, I, L)", "2", "", "3"}));

    // A double click loads the rule; "Save" changes it in place.
    const QRect first = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(add->text(), QStringLiteral("Save"));
    QCOMPARE(a->text(), QStringLiteral("old"));
    rel->setCurrentIndex(kRelConcat);
    a->setText(QStringLiteral("["));
    Click(&dlg, "btnAdd");
    QCOMPARE(add->text(), QStringLiteral("Add"));
    QCOMPARE(Row(list, 0), (QStringList{"Concat(S1, @, S2)", "[", "", ""}));

    MessageBox::setNextAnswer(QMessageBox::Yes);
    Click(&dlg, "btnDelete");
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Are you sure to delete?"));
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(LoadRules(f.Store(), cid).size(), 1u);  // nothing is stored before OK
    Click(&dlg, "btnOK");
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    const std::vector<TTrans> stored = LoadRules(f.Store(), cid);
    QCOMPARE(stored.size(), 2u);
    QCOMPARE(stored[0].DstVal, std::string("x"));
    QCOMPARE(stored[1].Rel, int(kRelSubstr));
  }

  void cleanUpRulesFollowTheEightAndAreStoredWithTheirCodes() {
    test::StoreFixture f;
    const int tmid = f.AddTemplet("t");
    const int cid = f.AddColumn(tmid, "c", 0, 0);
    TfrmTrans dlg(f.Store());
    dlg.SetColID(cid);
    Show(dlg);
    auto* list = Named<QTreeWidget>(&dlg, "lvList");
    auto* rel = Named<QComboBox>(&dlg, "cbRel");
    auto* a = Named<QLineEdit>(&dlg, "edtA");
    auto* b = Named<QLineEdit>(&dlg, "edtB");
    QCOMPARE(rel->count(), 12);
    QCOMPARE(rel->itemText(kRelConcat), QStringLiteral("Concat(S1, @, S2)"));
    struct Case {
      int rel;
      const char* text;
      bool inputs;
    };
    for (const Case& c : {Case{kRelStripTags, "Strip Tags(@)", false},
                          Case{kRelDecodeEntities, "Decode Entities(@)", false},
                          Case{kRelTrim, "Trim(@)", false}}) {
      rel->setCurrentIndex(c.rel);
      QCOMPARE(rel->currentText(), QString::fromLatin1(c.text));
      QCOMPARE(a->isEnabled(), c.inputs);
      QCOMPARE(b->isEnabled(), c.inputs);
      Click(&dlg, "btnAdd");  // no parameter to ask for
      QCOMPARE(Row(list, list->topLevelItemCount() - 1),
               (QStringList{QString::fromLatin1(c.text), "", "", ""}));
    }

    rel->setCurrentIndex(kRelRegReplace);
    QVERIFY(a->isEnabled());
    QCOMPARE(Text(&dlg, "lblA"), QStringLiteral("P:"));
    QCOMPARE(Text(&dlg, "lblB"), QStringLiteral("S:"));
    Click(&dlg, "btnAdd");  // the expression is needed
    QCOMPARE(list->topLevelItemCount(), 3);
    QVERIFY(Focused(&dlg, "edtA"));
    a->setText(QStringLiteral("(\\d+"));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    Click(&dlg, "btnAdd");  // it does not compile: said, with the engine's reason
    QCOMPARE(list->topLevelItemCount(), 3);
    QVERIFY(MessageBox::lastShown().text.contains(QStringLiteral("offset")));
    a->setText(QStringLiteral("(\\d+)-(\\d+)"));
    b->setText(QStringLiteral("$2/$1"));
    Click(&dlg, "btnAdd");
    QCOMPARE(Row(list, 3), (QStringList{"RegReplace(@, P, S)", "(\\d+)-(\\d+)", "", "$2/$1"}));

    Click(&dlg, "btnOK");
    const std::vector<TTrans> stored = LoadRules(f.Store(), cid);
    QCOMPARE(stored.size(), 4u);
    QCOMPARE(stored[0].Rel, int(kRelStripTags));
    QCOMPARE(stored[3].Rel, int(kRelRegReplace));
    QCOMPARE(TranslateValue(stored, cid, " <b>12-2026</b>\r\n&amp; "), std::string("2026/12 &"));
  }

  void pickerInTableModeOffersTheUserTables() {
    test::StoreFixture f;
    std::vector<int> fids;
    const int first = f.AddTable("First", 1, fids);
    const int second = f.AddTable("Second", 1, fids);
    TfrmTab tables(f.Store());
    tables.LoadTables();
    tables.PresetID(0);
    QCOMPARE(tables.SelectedID(), first);
    tables.PresetID(second);
    QCOMPARE(tables.SelectedTitle(), std::string("Second"));
    Show(tables);
    auto* list = Named<QListWidget>(&tables, "lbItems");
    const QRect row = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(tables.result(), int(QDialog::Accepted));
    QCOMPARE(tables.SelectedID(), first);
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::AuthoringDialogsTest)
#include "authoringdialogs_test.moc"
