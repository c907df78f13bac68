// "&New..." and "&Modify..." of the main window on a real store, driven offscreen: a new user
// creates a local text-tag templet and a web expression templet with a page-number tag through
// the editor, runs both, and changes one.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <Qsci/qsciscintilla.h>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

#include "authoring/regexprcoldialog.h"
#include "authoring/sourceviewer.h"
#include "authoring/templeteditor.h"
#include "authoring/texttagcoldialog.h"
#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/resultgrid.h"
#include "designer/setuptabdialog.h"
#include "engine/logindialog.h"
#include "support/httpserver.h"
#include "support/modal.h"
#include "support/storefixture.h"
#include "window/gridmodel.h"
#include "window/mainwindow.h"
#include "window/statuspanels.h"

namespace sorvane {
namespace {

using test::Named;

using test::WhenModal;

void Click(QWidget* dialog, const char* name) {
  QTest::mouseClick(Named<QPushButton>(dialog, name), Qt::LeftButton);
}

struct Fixture {
  test::StoreFixture f;
  std::unique_ptr<TfrmMain> w;

  TfrmMain& Open() {
    w = std::make_unique<TfrmMain>(f.Store());
    w->show();
    if (!QTest::qWaitForWindowActive(w.get())) qFatal("window not active");
    return *w;
  }
  QAction* Action(const char* name) const {
    return w->findChild<QAction*>(QString::fromLatin1(name));
  }
  QString Entry(int i) const { return w->Navi()->topLevelItem(i)->text(0); }
  std::string Cell(int row, int column) const { return std::string(w->Grid().Cell(column, row)); }
};

}  // namespace

class EditTempletTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    MessageBox::clearRecord();
    FileDialog::clearRecord();
  }

  void aNewUserCreatesAndRunsALocalTextTagTemplet() {
    Fixture x;
    const std::string page = x.f.Dir().Write("page.html", "<li>one</li><li>two</li>");
    TfrmMain& w = x.Open();
    WhenModal<TfrmTemplet>([&](TfrmTemplet* e) {
      Named<QLineEdit>(e, "edtName")->setText(QStringLiteral("Local list"));
      Named<QRadioButton>(e, "rbFile")->setChecked(true);
      FileDialog::setNextAnswer(QString::fromStdString(page));
      Click(e, "btnAddFile");
      WhenModal<TfrmTextTagCol>([](TfrmTextTagCol* d) {
        d->SetColTit("Item");
        d->SetStartTag("<li>");
        d->SetEndTag("</li>");
        Click(d, "btnOK");
      });
      Click(e, "btnAddCol1");
      Click(e, "btnOK");
    });
    QTest::keyClick(&w, Qt::Key_Insert);
    QCOMPARE(w.Navi()->topLevelItemCount(), 1);
    QCOMPARE(x.Entry(0), QStringLiteral("Local list"));
    QCOMPARE(w.CurrentTemplet().IsURL, false);
    QCOMPARE(w.Status()->Text(1), QStringLiteral("LOCAL"));
    QCOMPARE(w.Status()->Text(2), QStringLiteral("TextTag"));

    x.Action("miExecute")->trigger();
    QCOMPARE(w.Grid().DataRowCount(), 2);
    QCOMPARE(x.Cell(2, 1), std::string("two"));

    // Cancel adds nothing.
    WhenModal<TfrmTemplet>([](TfrmTemplet* e) { e->reject(); });
    x.Action("miNewTemplet")->trigger();
    QCOMPARE(w.Navi()->topLevelItemCount(), 1);
  }

  void aNewUserCreatesAndRunsAWebExpressionTempletOverNumberedPages() {
    test::HttpServer server;
    server.On("/list*", [](const test::ReceivedRequest& r) {
      return test::Reply::Text("<b>" + r.path + "-a</b><b>" + r.path + "-b</b>");
    });
    Fixture x;
    TfrmMain& w = x.Open();
    const QString url = QString::fromStdString(server.Url("/list")) + "<AUTOINC:1,2/>";
    WhenModal<TfrmTemplet>([&](TfrmTemplet* e) {
      Named<QLineEdit>(e, "edtName")->setText(QStringLiteral("Web"));
      Named<QLineEdit>(e, "edtURL")->setText(url);
      Named<QRadioButton>(e, "rbRegExpr")->setChecked(true);
      Named<QLineEdit>(e, "edtRegExpr")->setText(QStringLiteral("<b>(.*?)</b>"));
      WhenModal<TfrmRegExprCol>([](TfrmRegExprCol* d) {
        d->SetColTit("Value");
        d->SetRegExprNo(1);
        Click(d, "btnOK");
      });
      Click(e, "btnAddCol2");
      Click(e, "btnOK");
    });
    x.Action("miNewTemplet")->trigger();
    QCOMPARE(x.Entry(0), QStringLiteral("Web"));
    QCOMPARE(w.Status()->Text(2), QStringLiteral("RegExpr"));
    x.Action("miExecute")->trigger();
    QCOMPARE(w.Grid().DataRowCount(), 4);
    QCOMPARE(x.Cell(1, 1), std::string("/list1-a"));
    QCOMPARE(x.Cell(4, 1), std::string("/list2-b"));
  }

  void insertDatabaseFieldPicksAFieldInTheDesigner() {
    Fixture x;
    std::vector<int> fids;
    x.f.AddTable("Towns", 2, fids);
    x.Open();
    QString url;
    WhenModal<TfrmTemplet>([&](TfrmTemplet* e) {
      Named<QLineEdit>(e, "edtURL")->setText(QStringLiteral("http://example.com/?town="));
      WhenModal<TfrmSetupTab>([](TfrmSetupTab* picker) {
        auto* fields = Named<QTreeWidget>(picker, "lvFld");
        fields->topLevelItem(1)->setSelected(true);
        Click(picker, "btnOK");
      });
      Click(e, "btnInsertField");
      url = Named<QLineEdit>(e, "edtURL")->text();
      e->reject();
    });
    x.Action("miNewTemplet")->trigger();
    QVERIFY(url.contains(QStringLiteral("<FIELD:T1,F2/>")));
  }

  void modifyRenamesTheEntryAndAsksBeforeDroppingUnsavedRecords() {
    Fixture x;
    const int id = x.f.AddTemplet("Old name", 1, 1);
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + ",'http://h/')");
    x.f.AddColumn(id, "A", 0, 0);
    x.f.AddTemplet("Other", 1, 1);
    TfrmMain& w = x.Open();
    const auto rename = [](const char* name) {
      WhenModal<TfrmTemplet>([name](TfrmTemplet* e) {
        Named<QLineEdit>(e, "edtName")->setText(QString::fromLatin1(name));
        Named<QRadioButton>(e, "rbFile")->setChecked(true);
        Click(e, "btnOK");
      });
    };
    rename("New name");
    QTest::keyClick(&w, Qt::Key_F2);
    QCOMPARE(x.Entry(0), QStringLiteral("New name"));
    QCOMPARE(w.Status()->Text(1), QStringLiteral("LOCAL"));

    // Records of a run not yet saved are replaced only when the user agrees.
    w.Grid().AppendRow(0, {"run"});
    w.Model()->Flush();
    w.SetExtractedCount(1);
    rename("Third name");
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    x.Action("miModifyTemplet")->trigger();
    QCOMPARE(x.Entry(0), QStringLiteral("Third name"));
    QCOMPARE(w.Grid().DataRowCount(), 1);
    QCOMPARE(w.ExtractedCount(), 1);
    rename("Fourth name");
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Action("miModifyTemplet")->trigger();
    QCOMPARE(w.Grid().DataRowCount(), 0);
    QCOMPARE(w.ExtractedCount(), 0);
    QCOMPARE(x.f.Scalar("select count(*) from tmps where tmn='Fourth name'"), 1);
  }

  void authorizeLoginAndViewSourceWorkFromTheEditor() {
    test::HttpServer server;
    server.On("/list", [](const test::ReceivedRequest& r) {
      const bool in = r.Header("Authorization") == "Basic am86c2VjcmV0";  // jo:secret
      return test::Reply::Text(std::string("<li>") + (in ? "member" : "guest") + "</li>");
    });
    Fixture x;
    const int id = x.f.AddTemplet("Site", 1, 1);
    x.f.Exec("insert into urls(tmid,url) values(" + std::to_string(id) + ",'" +
             server.Url("/list") + "')");
    TfrmMain& w = x.Open();
    QString shown;
    WhenModal<TfrmTemplet>([&](TfrmTemplet* e) {
      WhenModal<TfrmLogin>([](TfrmLogin* d) {
        Named<QLineEdit>(d, "edtNam")->setText(QStringLiteral("jo"));
        Named<QLineEdit>(d, "edtPwd")->setText(QStringLiteral("secret"));
        Click(d, "btnOK");
      });
      Click(e, "btnInputPwd");
      WhenModal<TfrmSource>([&shown](TfrmSource* v) {
        shown = v->View()->text();
        Named<QLineEdit>(v, "edtTitle")->setText(QStringLiteral("Status"));
        Named<QLineEdit>(v, "edtOpenTag")->setText(QStringLiteral("<li>"));
        Named<QLineEdit>(v, "edtCloseTag")->setText(QStringLiteral("</li>"));
        Named<QToolButton>(v, "btnAdd")->click();
        v->accept();
      });
      Click(e, "btnViewSource");
      Click(e, "btnOK");
    });
    x.Action("miModifyTemplet")->trigger();
    // The page came with the login just stored; the column added in the viewer was saved.
    QCOMPARE(shown, QStringLiteral("<li>member</li>"));
    QCOMPARE(x.f.Scalar("select count(*) from nvps where tag=1 and nam='jo'"), 1);
    QCOMPARE(x.f.Scalar("select count(*) from cols where begw='<li>' and nox=0"), 1);
    x.Action("miExecute")->trigger();
    QCOMPARE(x.Cell(1, 1), std::string("member"));
    QCOMPARE(w.Grid().DataRowCount(), 1);
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::EditTempletTest)
#include "edittemplet_test.moc"
