// The templet editor on a real store, driven offscreen through its widgets: loading, the checks on
// OK in their order, the statements the store receives, the method switch, the column lists with
// their dialogs, and the expression aids.

#include "authoring/templeteditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

#include "authoring/autodialog.h"
#include "authoring/previewdialog.h"
#include "authoring/regexprcoldialog.h"
#include "authoring/tabdialog.h"
#include "authoring/texttagcoldialog.h"
#include "authoring/transdialog.h"
#include "core/dialect.h"
#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/options.h"
#include "core/sqliteexec.h"
#include "designer/setuptabdialog.h"
#include "engine/httpclient.h"
#include "engine/regexpr.h"
#include "support/httpserver.h"
#include "support/modal.h"
#include "support/storefixture.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

using test::WhenModal;

class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

// A store, an expression engine and an editor on templet `id`.
struct Fixture {
  test::StoreFixture f;
  RegExpr re;
  std::unique_ptr<TfrmTemplet> editor;

  TfrmTemplet& Open(int id = 0, TempletEditorServices services = {}) {
    editor = std::make_unique<TfrmTemplet>(f.Store(), re, std::move(services));
    editor->SetTempletID(id);
    editor->show();
    if (!QTest::qWaitForWindowActive(editor.get())) qFatal("editor not active");
    return *editor;
  }
  template <typename W>
  W* Find(const char* name) {
    return test::Named<W>(editor.get(), name);
  }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  QTreeWidget* List(const char* name) { return Find<QTreeWidget>(name); }
  void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
  void Select(QTreeWidget* list, int row) {
    // A dialog closed before may have left no window active.
    editor->activateWindow();
    if (!QTest::qWaitForWindowActive(editor.get())) qFatal("editor not active");
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(row));
  }
  // Adds a column through the text-tag column dialog.
  void AddTextTag(int kind, const char* title, const char* open, const char* close) {
    WhenModal<TfrmTextTagCol>([=](TfrmTextTagCol* d) {
      d->SetColTag(kind);
      d->SetColTit(title);
      d->SetStartTag(open);
      d->SetEndTag(close);
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    Click("btnAddCol1");
  }
  // Adds a column through the expression column dialog.
  void AddRegExpr(int kind, const char* title, int sub_expression) {
    WhenModal<TfrmRegExprCol>([=](TfrmRegExprCol* d) {
      d->SetColTit(title);
      d->SetRegExprNo(sub_expression);
      d->SetColTag(kind);
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    Click("btnAddCol2");
  }
  QStringList Messages() const {
    QStringList texts;
    for (const MessageBox::Record& box : MessageBox::shown())
      texts << box.text;
    return texts;
  }
  QStringList Cells(QTreeWidget* list, int column) const {
    QStringList cells;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      cells << list->topLevelItem(i)->text(column);
    return cells;
  }
};

}  // namespace

class TempletEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // Notes are answered by closing them; what they said is in MessageBox::shown().
    watchdog_.setInterval(20);
    connect(&watchdog_, &QTimer::timeout, this, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    });
    watchdog_.start();
  }
  void cleanup() {
    watchdog_.stop();
    watchdog_.disconnect();
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    MessageBox::clearRecord();
    FileDialog::clearRecord();
  }

  void newWebTempletIsSavedWithTheStatementsAsWritten() {
    Fixture x;
    TfrmTemplet& e = x.Open();
    QCOMPARE(e.windowTitle(), QStringLiteral("Templet Editor"));
    QVERIFY(x.Find<QRadioButton>("rbURL")->isChecked());
    QVERIFY(x.Find<QRadioButton>("rbTextTag")->isChecked());
    QVERIFY(x.Find<QPushButton>("btnOK")->isDefault());
    QCOMPARE(x.Find<QLabel>("lblNote")->text(), QString());
    QVERIFY(!x.Find<QPushButton>("btnViewSource")->isEnabled());
    QVERIFY(x.Find<QPushButton>("btnInsertField")->isEnabled());
    QVERIFY(x.Find<QPushButton>("btnInputPwd")->isEnabled());

    x.Edit("edtName")->setText(QStringLiteral("Shop's list"));
    x.Edit("edtURL")->setText(QStringLiteral("http://h/list?p="));
    WhenModal<TfrmAuto>([](TfrmAuto* d) {
      d->findChild<QLineEdit*>(QStringLiteral("edtTo"))->setText(QStringLiteral("3"));
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    x.Click("btnAutoInc");
    QCOMPARE(x.Edit("edtURL")->text(), QStringLiteral("http://h/list?p=<AUTOINC:1,3/>"));
    x.AddTextTag(kColStartRecordTag, "<table>", "<tr>", "</tr>");
    x.AddTextTag(kColNormal, "Name", "<td>", "</td>");
    QCOMPARE(x.Cells(x.List("lvTextTag"), 3), (QStringList{"[Start/Record Tag]", ""}));

    x.f.TraceStatements("");
    x.Click("btnOK");
    QCOMPARE(e.result(), int(QDialog::Accepted));
    const int id = e.TempletID();
    QVERIFY(id > 0);
    const std::string t = std::to_string(id);
    const std::vector<std::string> expected = {
        "insert into tmps(tmn,typ,tag,taid) values('Shop''s list',1,1,0)",
        "select @@identity",
        "delete from urls where tmid=" + t,
        "insert into urls(tmid,url) values(" + t + ",'http://h/list?p=<AUTOINC:1,3/>')",
        "insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(" + t +
            ",'<table>','<tr>','</tr>',0,0,1)",
        "select @@identity",
        "insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(" + t +
            ",'Name','<td>','</td>',0,1,0)",
        "select @@identity",
    };
    // The store receives each statement through the dialect adapter (texts as bound values);
    // the values are read back below.
    std::vector<std::string> adapted;
    for (const std::string& sql : expected)
      adapted.push_back(dialect::Adapt(sql).sql);
    // The page settings follow the described statements.
    for (const std::string& sql : SavePageSettingsStatements(id, kNewTempletPageSettings))
      adapted.push_back(dialect::Adapt(sql).sql);
    QCOMPARE(x.f.Traced(), adapted);
    const TempletModel stored = ReadTemplet(x.f.Store(), id);
    QCOMPARE(stored.name, std::string("Shop's list"));
    QCOMPARE(stored.sources, std::vector<std::string>{"http://h/list?p=<AUTOINC:1,3/>"});
    QCOMPARE(stored.columns.size(), 2u);
    QCOMPARE(stored.columns[0].kind, int(kColStartRecordTag));
    QCOMPARE(stored.columns[1].close_tag, std::string("</td>"));
    QCOMPARE(x.f.Scalar("select count(*) from exps"), 0LL);
  }

  void checksOnOkComeInOrder() {
    Fixture x;
    x.Open();
    x.Click("btnOK");
    QCOMPARE(x.Messages(), QStringList{"Please input the templet name."});
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Note"));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
    QCOMPARE(x.editor->focusWidget(), x.Edit("edtName"));

    MessageBox::clearRecord();
    x.Edit("edtName")->setText(QStringLiteral("  "));
    x.Edit("edtURL")->setText(QStringLiteral("ftp://h/<FIELD:T1,F2/><field:t1,f2/>"));
    x.Click("btnOK");
    QCOMPARE(x.Messages(), (QStringList{"The URL should start with http:// or https://",
                                        "Only one FIELD tag allowed."}));
    QCOMPARE(x.editor->focusWidget(), x.Edit("edtURL"));

    // File mode still examines the hidden URL, then wants columns.
    MessageBox::clearRecord();
    x.Find<QRadioButton>("rbFile")->setChecked(true);
    x.Edit("edtURL")->setText(QStringLiteral("x"));
    x.Click("btnOK");
    QCOMPARE(x.Messages(), QStringList{"Column undefined."});
    MessageBox::clearRecord();
    x.Find<QRadioButton>("rbRegExpr")->setChecked(true);
    x.Click("btnOK");
    QCOMPARE(x.Messages(), QStringList{"Regular expression is empty or column undefined."});
    QVERIFY(x.editor->isVisible());
    QCOMPARE(x.f.Scalar("select count(*) from tmps"), 0LL);
  }

  void loadsAStoredExpressionTempletAndItsFiles() {
    Fixture x;
    std::vector<int> fids;
    const int taid = x.f.AddTable("Books", 1, fids);
    const int id = x.f.AddTemplet("local", 0, 0, taid);
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + ",' /a.html')");
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + ",'/b.txt')");
    x.f.Exec("insert into exps(tmid,expr) values(" + std::to_string(id) + ",'(a)(b')");
    x.f.Exec("insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(" + std::to_string(id) +
             ",'B','$2','',0,1,0)");
    x.f.Exec("insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(" + std::to_string(id) +
             ",'A','$1',''," + std::to_string(fids[0]) + ",0,0)");
    TfrmTemplet& e = x.Open(id);
    QVERIFY(x.Find<QRadioButton>("rbFile")->isChecked());
    QVERIFY(x.Find<QRadioButton>("rbRegExpr")->isChecked());
    QVERIFY(x.Find<QWidget>("pnlRegExpr")->isVisible());
    QVERIFY(!x.Find<QWidget>("pnlURL")->isVisible());
    QCOMPARE(x.Find<QPlainTextEdit>("mmFiles")->toPlainText(), QStringLiteral(" /a.html\n/b.txt"));
    QCOMPARE(x.Edit("edtRegExpr")->text(), QStringLiteral("(a)(b"));
    QCOMPARE(e.GroupCount(), 2);
    QCOMPARE(x.Find<QLabel>("lblNote")->text(), QStringLiteral("Round brackets are not matched!"));
    QCOMPARE(x.Cells(x.List("lvRegExpr"), 0), (QStringList{"A", "B"}));
    QCOMPARE(x.Cells(x.List("lvRegExpr"), 3), (QStringList{"F1", ""}));
    QCOMPARE(x.List("lvTextTag")->topLevelItemCount(), 0);
    QCOMPARE(e.TargetTable(), taid);
    // No login settings dialog was given: a stored templet cannot reach one.
    QVERIFY(!x.Find<QPushButton>("btnInputPwd")->isEnabled());

    // "Add" replaces the list; empty lines are not stored, blanks are kept.
    FileDialog::setNextAnswer(QStringList{"/x/one.html", "/x/two.txt"});
    x.Click("btnAddFile");
    QCOMPARE(FileDialog::lastAsked().kind, FileDialog::Kind::kOpenFiles);
    x.Find<QPlainTextEdit>("mmFiles")->appendPlainText(QStringLiteral("  \n /x/three.txt "));
    x.Edit("edtRegExpr")->setText(QStringLiteral("(a)(b)"));
    x.Click("btnOK");
    QCOMPARE(e.result(), int(QDialog::Accepted));
    QCOMPARE(ReadSources(x.f.Store(), id),
             (std::vector<std::string>{"/x/one.html", "/x/two.txt", " /x/three.txt "}));
    QCOMPARE(x.f.Scalar("select count(*) from exps"), 1LL);
  }

  void switchingTheMethodAsksAndRemovesTheFormerColumns() {
    Fixture x;
    const int id = x.f.AddTemplet("web", 1, 1);
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + ",'http://h/')");
    const int cid = x.f.AddColumn(id, "Old", 0, 0);
    x.f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(cid) + ",0,'a','b')");
    TfrmTemplet& e = x.Open(id);
    x.Find<QRadioButton>("rbRegExpr")->setChecked(true);
    x.Edit("edtRegExpr")->setText(QStringLiteral("<b>(.*?)</b>"));
    x.AddRegExpr(kColNormal, "New", 1);
    QCOMPARE(x.Cells(x.List("lvRegExpr"), 1), QStringList{"$1"});

    MessageBox::setNextAnswer(QMessageBox::No);
    x.Click("btnOK");
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("The columns of the other method will be deleted, continue?"));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Question);
    QVERIFY(e.isVisible());
    QCOMPARE(x.f.Scalar("select tag from tmps"), 1LL);

    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnOK");
    QCOMPARE(e.result(), int(QDialog::Accepted));
    QCOMPARE(x.f.Scalar("select tag from tmps"), 0LL);
    QCOMPARE(x.f.Scalar("select count(*) from cols"), 1LL);
    QCOMPARE(x.f.Scalar("select count(*) from cols where tit='New' and begw='$1'"), 1LL);
    QCOMPARE(x.f.Scalar("select count(*) from vtrs"), 0LL);
  }

  void aFailedSaveKeepsTheIdsObtained() {
    Fixture x;
    // A failure at the sources, after the templet row was inserted.
    ExecSqlite(x.f.Store().conn.Handle(),
               "create trigger refuse before insert on urls begin "
               "select raise(abort, 'disk full'); end");
    TfrmTemplet& e = x.Open();
    x.Edit("edtName")->setText(QStringLiteral("retry"));
    x.Edit("edtURL")->setText(QStringLiteral("http://h/"));
    x.AddTextTag(kColNormal, "A", "<a>", "</a>");
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnOK");
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QVERIFY(e.isVisible());
    const int id = e.TempletID();
    QVERIFY(id > 0);
    ExecSqlite(x.f.Store().conn.Handle(), "drop trigger refuse");
    x.Click("btnOK");
    QCOMPARE(e.result(), int(QDialog::Accepted));
    QCOMPARE(e.TempletID(), id);
    QCOMPARE(x.f.Scalar("select count(*) from tmps"), 1LL);
    QCOMPARE(x.f.Scalar("select count(*) from cols"), 1LL);
  }

  void columnListsAddEditDeleteAndMove() {
    Fixture x;
    const int id = x.f.AddTemplet("t", 1, 1);
    const int stored = x.f.AddColumn(id, "Stored", 0, 0);
    x.f.Exec("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(stored) + ",0,'a','b')");
    TfrmTemplet& e = x.Open(id);
    QTreeWidget* list = x.List("lvTextTag");
    x.AddTextTag(kColStartRecordTag, "start", "", "");
    x.AddTextTag(kColStartRecordTag, "again", "", "");
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Start/Record tag exists already,\nonly one permitted to a templet."));
    x.AddTextTag(kColNormal, "Third", "<i>", "</i>");
    QCOMPARE(x.Cells(list, 0), (QStringList{"Stored", "start", "Third"}));
    QCOMPARE(list->currentItem(), list->topLevelItem(2));

    // Editing may make a second kind-1 entry: the limit applies to adding only.
    x.Select(list, 2);
    WhenModal<TfrmTextTagCol>([](TfrmTextTagCol* d) {
      QCOMPARE(d->ColTit(), std::string("Third"));
      QCOMPARE(d->StartTag(), std::string("<i>"));
      d->SetColTag(kColStartRecordTag);
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    const QRect third = list->visualItemRect(list->topLevelItem(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(e.TextTagEntries()[2].kind, int(kColStartRecordTag));

    // Ctrl+Up on the focused list moves the selected entry; at the top nothing changes.
    x.Select(list, 1);
    QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(x.Cells(list, 0), (QStringList{"start", "Stored", "Third"}));
    QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(x.Cells(list, 0), (QStringList{"start", "Stored", "Third"}));
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(x.Cells(list, 0), (QStringList{"Stored", "start", "Third"}));

    // Translate needs a stored column.
    x.Select(list, 1);
    x.Click("btnTranslate1");
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Please save this templet first."));
    list->clearSelection();
    x.Click("btnTranslate1");
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Please select a column first."));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Information);
    x.Select(list, 0);
    WhenModal<TfrmTrans>([](TfrmTrans* d) {
      QCOMPARE(d->Rules().size(), 1u);
      d->reject();
    });
    x.Click("btnTranslate1");

    // A stored column goes at once with its rules, even if the editor is cancelled; the entry
    // below takes the selection.
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnDeleteCol1");
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Are you sure to delete this column?"));
    QCOMPARE(x.f.Scalar("select count(*) from cols"), 0LL);
    QCOMPARE(x.f.Scalar("select count(*) from vtrs"), 0LL);
    QCOMPARE(x.Cells(list, 0), (QStringList{"start", "Third"}));
    QCOMPARE(list->currentItem(), list->topLevelItem(0));
    x.f.TraceStatements("delete");
    MessageBox::setNextAnswer(QMessageBox::Yes);
    x.Click("btnDeleteCol1");
    QVERIFY(x.f.Traced().empty());
    e.reject();
    QCOMPARE(x.f.Scalar("select count(*) from cols"), 0LL);
  }

  void expressionAidsInsertAndHighlight() {
    Fixture x;
    TfrmTemplet& e = x.Open();
    x.Find<QRadioButton>("rbRegExpr")->setChecked(true);
    QLineEdit* expression = x.Edit("edtRegExpr");
    QTest::keyClicks(expression, QStringLiteral("a{2"));
    QCOMPARE(x.Find<QLabel>("lblNote")->text(), QStringLiteral("Curly brackets are not matched!"));
    expression->setText(QStringLiteral("a(b)\\(c\\)(d)"));
    QCOMPARE(x.Find<QLabel>("lblNote")->text(), QString());
    QCOMPARE(e.GroupCount(), 2);
    e.HighlightSubExpression(2);
    QCOMPARE(expression->selectedText(), QStringLiteral("d"));
    e.HighlightSubExpression(3);  // no such group: the selection stays
    QCOMPARE(expression->selectedText(), QStringLiteral("d"));

    // The iterator wants its numbers; the metacharacter replaces the selection.
    auto* iterator = x.Find<QComboBox>("cbIterator");
    expression->setText(QStringLiteral("x"));
    iterator->setCurrentIndex(6);
    emit iterator->activated(6);
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Please input a number as \"n\"."));
    QCOMPARE(x.editor->focusWidget(), x.Edit("edtN"));
    QTest::keyClicks(x.Edit("edtN"), QStringLiteral("2a"));
    emit iterator->activated(6);
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Please input a number as \"m\"."));
    QCOMPARE(expression->text(), QStringLiteral("x"));
    x.Edit("edtM")->setText(QStringLiteral("5"));
    expression->setCursorPosition(1);
    emit iterator->activated(12);
    QCOMPARE(expression->text(), QStringLiteral("x{2,5}?"));
    expression->setSelection(0, 1);
    emit x.Find<QComboBox>("cbMeta")->activated(11);
    QCOMPARE(expression->text(), QStringLiteral("\\d{2,5}?"));

    // The column dialog has its sub-expression highlighted in the editor.
    expression->setText(QStringLiteral("(x)(y)"));
    WhenModal<TfrmRegExprCol>([&](TfrmRegExprCol* d) {
      QCOMPARE(d->RegExprNum(), 3);
      d->SetRegExprNo(2);
      QCOMPARE(expression->selectedText(), QStringLiteral("y"));
      d->reject();
    });
    x.Click("btnAddCol2");
  }

  void selectingATableClearsStaleFieldReferences() {
    Fixture x;
    std::vector<int> old_fids;
    const int old_table = x.f.AddTable("Old", 1, old_fids);
    std::vector<int> new_fids;
    const int new_table = x.f.AddTable("New", 1, new_fids);
    const int id = x.f.AddTemplet("t", 1, 1, old_table);
    x.f.AddColumn(id, "A", old_fids[0], 0);
    TfrmTemplet& e = x.Open(id);
    QCOMPARE(x.Cells(x.List("lvTextTag"), 3), QStringList{"F1"});
    WhenModal<TfrmTab>([&](TfrmTab* d) {
      QCOMPARE(d->SelectedID(), old_table);
      d->PresetID(new_table);
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    x.Click("btnSelectTable1");
    QCOMPARE(e.TargetTable(), new_table);
    QCOMPARE(x.Find<QLabel>("lblNote")->text(), QStringLiteral("(Table: New)"));
    QCOMPARE(e.TextTagEntries()[0].fid, 0);
    QCOMPARE(x.Cells(x.List("lvTextTag"), 3), QStringList{""});
  }

  void urlToolsWorkOnTheTypedUrl() {
    Fixture x;
    int login_for = -1;
    std::string viewed;
    TempletEditorServices services;
    services.edit_login = [&](QWidget*, int templet) { login_for = templet; };
    services.view_source = [&](TfrmTemplet& editor, int, const std::string& url, bool can_add) {
      viewed = url;
      QVERIFY(can_add);
      editor.AddSourceColumn("Price", "<b>", "</b>");
    };
    std::vector<int> fids;
    const int taid = x.f.AddTable("Towns", 2, fids);
    const QString field_tag = QStringLiteral("<FIELD:T%1,F%2/>").arg(taid).arg(fids[1]);
    TfrmTemplet& e = x.Open(0, services);
    x.Click("btnInputPwd");
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Before set login information,\nplease save this templet first."));
    QCOMPARE(login_for, -1);

    // A click on the tool keeps the selection, which the tag replaces.
    QLineEdit* url = x.Edit("edtURL");
    url->setText(QStringLiteral("http://h/?p=N&q="));
    e.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&e));
    url->setFocus();
    url->setSelection(12, 1);
    WhenModal<TfrmAuto>([](TfrmAuto* d) {
      d->findChild<QLineEdit*>(QStringLiteral("edtTo"))->setText(QStringLiteral("3"));
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    x.Click("btnAutoInc");
    QCOMPARE(url->text(), QStringLiteral("http://h/?p=<AUTOINC:1,3/>&q="));
    url->setText(QStringLiteral("http://h/?p=<autoinc:2,3/>&q="));
    x.Click("btnAutoInc");
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Only one AUTOINC tag can be inserted."));
    QCOMPARE(url->selectedText(), QStringLiteral("<autoinc:2,3/>"));
    // The field comes from the tables and fields designer in its selection mode.
    url->setCursorPosition(url->text().size());
    WhenModal<TfrmSetupTab>([](TfrmSetupTab* d) {
      QVERIFY(!d->Swi());
      auto* fields = d->findChild<QTreeWidget*>(QStringLiteral("lvFld"));
      fields->setCurrentItem(fields->topLevelItem(1));
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    x.Click("btnInsertField");
    QCOMPARE(url->text(), QStringLiteral("http://h/?p=<autoinc:2,3/>&q=") + field_tag);
    x.Click("btnInsertField");
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Only one field can be inserted."));

    // The preview: a lower-case page tag stays; a field of a missing table is a store error.
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    url->setText(QStringLiteral("http://h/?p=<AUTOINC:5,9/>"));
    x.Click("btnOpen");
    url->setText(QStringLiteral("http://h/<FIELD:T9,F9/>"));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnOpen");
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("http://h/?p=1"))});
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));

    url->setText(QStringLiteral("http://h/<AUTOINC:Next/>"));
    x.Click("btnViewSource");
    QCOMPARE(viewed, std::string("http://h/1"));
    QCOMPARE(x.Cells(x.List("lvTextTag"), 0), QStringList{"Price"});

    x.Edit("edtName")->setText(QStringLiteral("saved"));
    x.Click("btnOK");
    TfrmTemplet again(x.f.Store(), x.re, services);
    again.SetTempletID(e.TempletID());
    QTest::mouseClick(again.findChild<QPushButton*>(QStringLiteral("btnInputPwd")), Qt::LeftButton);
    QCOMPARE(login_for, e.TempletID());
  }

  void previewShowsTheFirstPageRecordsOrWhyThereAreNone() {
    // A page in Windows-1251 that declares it, with 250 records.
    test::HttpServer server;
    std::string page = "<html><head><meta charset=\"windows-1251\"></head><body><ul>";
    for (int i = 0; i < 250; ++i)
      page += "<li>\xC8\xE2\xE0\xED " + std::to_string(i + 1) + "</li>";
    page += "</ul></body></html>";
    server.On("/list", [page](const test::ReceivedRequest&) { return test::Reply::Text(page); });
    HttpClient http;
    TempletEditorServices services;
    services.http = &http;
    Fixture x;
    x.Open(0, services);
    x.Edit("edtURL")->setText(QString::fromStdString(server.Url("/list?p=<AUTOINC:3,5/>")));
    x.editor->AddSourceColumn("Name", "<li>", "</li>");
    QStringList seen;
    WhenModal<TfrmPreview>([&seen](TfrmPreview* d) {
      auto* grid = d->findChild<QTableWidget*>(QStringLiteral("sgPreview"));
      seen << d->findChild<QLabel*>(QStringLiteral("lblCount"))->text()
           << QString::number(grid->rowCount()) << grid->horizontalHeaderItem(0)->text()
           << grid->item(0, 0)->text() << grid->item(199, 0)->text();
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnClose")), Qt::LeftButton);
    });
    x.Click("btnPreview");
    // Page 1 of the sequence, converted to UTF-8 as a new templet's pages are.
    QCOMPARE(server.LastRequest().target, std::string("/list?p=1"));
    QCOMPARE(seen,
             (QStringList{QStringLiteral("250 records on this page; the first 200 are shown."),
                          "200", "Name", QStringLiteral("\u0418\u0432\u0430\u043d 1"),
                          QStringLiteral("\u0418\u0432\u0430\u043d 200")}));

    // A local file without the column's tags: the dialog says which tag is missing.
    test::TempDir dir;
    const std::string file = dir.Write("page.html", "<table><tr><th>a</th></tr></table>\r\n");
    x.Find<QRadioButton>("rbFile")->setChecked(true);
    x.Find<QPlainTextEdit>("mmFiles")->setPlainText(QStringLiteral("  \n") +
                                                    QString::fromStdString(file));
    QString why;
    WhenModal<TfrmPreview>([&why](TfrmPreview* d) {
      auto* memo = d->findChild<QPlainTextEdit*>(QStringLiteral("memWhy"));
      why = d->findChild<QLabel*>(QStringLiteral("lblCount"))->text() + QLatin1Char('|') +
            (memo->isVisibleTo(d) ? memo->toPlainText() : QString());
      d->reject();
    });
    x.Click("btnPreview");
    QCOMPARE(why, QStringLiteral("No record on this page, because:|- Column \"Name\": its open "
                                 "tag \"<li>\" was never found on the page."));
    // Nothing was stored.
    QCOMPARE(x.f.Scalar("select count(*) from tmps"), 0LL);
  }

  void pageSettingsAreOnForNewTempletsAndOffForOlderOnes() {
    Fixture x;
    TfrmTemplet& e = x.Open();
    QCOMPARE(x.Find<QComboBox>("cbEncoding")->currentText(), QStringLiteral("Convert to UTF-8"));
    QVERIFY(x.Find<QCheckBox>("chkStopOnRepeat")->isChecked());
    QVERIFY(x.Find<QCheckBox>("chkWarnEmpty")->isChecked());
    x.Edit("edtName")->setText(QStringLiteral("new"));
    x.Edit("edtURL")->setText(QStringLiteral("http://h/"));
    x.editor->AddSourceColumn("c", "<b>", "</b>");
    x.Find<QCheckBox>("chkWarnEmpty")->setChecked(false);
    x.Click("btnOK");
    QCOMPARE(e.result(), int(QDialog::Accepted));
    QCOMPARE(ReadPageSettings(x.f.Store(), e.TempletID()), (PageSettings{true, true, false}));

    // A templet stored without the rows: "As is", no guards, and saved that way.
    const int older = x.f.AddTemplet("older", 0);
    x.f.AddColumn(older, "c", 0, 0);
    TfrmTemplet& o = x.Open(older);
    QCOMPARE(x.Find<QComboBox>("cbEncoding")->currentText(), QStringLiteral("As is"));
    QVERIFY(!x.Find<QCheckBox>("chkStopOnRepeat")->isChecked());
    QVERIFY(!x.Find<QCheckBox>("chkWarnEmpty")->isChecked());
    x.Find<QPlainTextEdit>("mmFiles")->setPlainText(QStringLiteral("/tmp/a.html"));
    x.Click("btnOK");
    QCOMPARE(o.result(), int(QDialog::Accepted));
    QCOMPARE(x.f.Scalar("select count(*) from opts where tmid=" + std::to_string(older)), 3LL);
    QCOMPARE(ReadPageSettings(x.f.Store(), older), PageSettings{});
  }

 private:
  QTimer watchdog_;
};

}  // namespace sorvane

QTEST_MAIN(sorvane::TempletEditorTest)
#include "templeteditor_test.moc"
