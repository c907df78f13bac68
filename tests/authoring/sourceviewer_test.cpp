// The page source viewer offscreen, loading from a real server through the program's HTTP client
// over a real store: login before the page, search with its beeps, the context menu, Add, the
// page's own bytes in what is taken, and View Source with its progress window and failures.

#include "authoring/sourceviewer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <Qsci/qsciscintilla.h>
#include <QtTest>

#include <string>
#include <vector>

#include "authoring/loadingdialog.h"
#include "core/messagebox.h"
#include "engine/httpclient.h"
#include "engine/imgvaldialog.h"
#include "support/httpserver.h"
#include "support/modal.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

using test::HttpServer;
using test::Named;
using test::ReceivedRequest;
using test::Reply;
using test::WhenModal;

struct Column {
  std::string title, open_tag, close_tag;
  bool operator==(const Column&) const = default;
};

// The search text as typed; the view selects what it finds.
void Search(TfrmSource& viewer, const char* words) {
  Named<QLineEdit>(&viewer, "edtWords")->setText(QString::fromUtf8(words));
}

long Pos(TfrmSource& viewer, unsigned int message) {
  return viewer.View()->SendScintilla(message);
}

}  // namespace

class SourceViewerTest : public QObject {
  Q_OBJECT

 private:
  test::StoreFixture* fixture = nullptr;
  HttpServer* server = nullptr;
  HttpClient* http = nullptr;

  void AddRow(int tmid, int tag, const std::string& nam, const std::string& val) {
    fixture->Exec("insert into nvps(tmid,nam,val,tag) values(" + std::to_string(tmid) + "," +
                  QuotedStr(nam) + "," + QuotedStr(val) + "," + std::to_string(tag) + ")");
  }
  void Serve(const std::string& path, const std::string& body, const std::string& type) {
    server->On(path, [body, type](const ReceivedRequest&) {
      Reply reply = Reply::Text(body);
      reply.content_type = type;
      return reply;
    });
  }
  QStringList Requests() {
    QStringList lines;
    for (const ReceivedRequest& r : server->Requests())
      lines << QString::fromStdString(r.method + " " + r.target);
    return lines;
  }

 private slots:
  void init() {
    fixture = new test::StoreFixture;
    server = new HttpServer;
    http = new HttpClient;
    MessageBox::clearRecord();
    server->On("/page", [](const ReceivedRequest& r) {
      return Reply::Text("<html>\n<b>" + r.Header("Cookie") + "</b>\n</html>");
    });
  }
  void cleanup() {
    delete http;
    delete server;
    delete fixture;
  }

  void aTempletNeverSavedIsFetchedWithoutLogin() {
    AddRow(0, 2, "", server->Url("/login"));
    AddRow(0, 3, "user", "jo");
    AddRow(0, 1, "jo", "secret");
    TfrmSource viewer(fixture->Store(), *http);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Find Tags In HTML Source Code"));
    viewer.SetTempID(0);
    viewer.SetURL(server->Url("/page"));
    QCOMPARE(Requests(), (QStringList{"GET /page"}));
    QVERIFY(!server->LastRequest().HasHeader("Authorization"));
    QCOMPARE(server->LastRequest().Header("Content-Type"), std::string("text/html"));
    QCOMPARE(viewer.View()->text(), QStringLiteral("<html>\n<b></b>\n</html>"));

    // Without a templet an https address is still fetched over TLS, whatever came before.
    HttpServer secure(HttpServer::Scheme::kHttps);
    secure.On("/s", [](const ReceivedRequest&) { return Reply::Text("<i>secure</i>"); });
    std::string url = secure.Url("/s");
    url.replace(0, 5, "HTTPS");
    viewer.SetURL(url);
    QCOMPARE(viewer.View()->text(), QStringLiteral("<i>secure</i>"));
  }

  void aStoredLoginComesFirstWithItsCookies() {
    server->On("/login", [](const ReceivedRequest& r) {
      Reply reply = Reply::Text("welcome");
      if (r.method == "POST") reply.headers.push_back({"Set-Cookie", "sid=s3cret; Path=/"});
      return reply;
    });
    server->On("/code.gif", [](const ReceivedRequest&) { return Reply::Text("GIF89a"); });
    const int id = fixture->AddTemplet("site");
    AddRow(id, 4, "code", server->Url("/code.gif"));
    AddRow(id, 2, "", server->Url("/login"));
    AddRow(id, 3, "user", "jo doe");
    WhenModal<TfrmImgVal>([](TfrmImgVal* dlg) {
      Named<QLineEdit>(dlg, "edtValue")->setText(QStringLiteral("k7"));
      Named<QPushButton>(dlg, "btnOK")->click();
    });
    TfrmSource viewer(fixture->Store(), *http);
    viewer.SetTempID(id);
    viewer.SetURL(server->Url("/page"));
    QCOMPARE(Requests(), (QStringList{"GET /login", "GET /code.gif", "POST /login", "GET /page"}));
    const std::vector<ReceivedRequest> requests = server->Requests();
    // The form goes as a run sends it: encoded, and declared as a form.
    QCOMPARE(requests[2].body, std::string("user=jo%20doe&code=k7"));
    QCOMPARE(requests[2].Header("Content-Type"), std::string("application/x-www-form-urlencoded"));
    QCOMPARE(viewer.View()->text(), QStringLiteral("<html>\n<b>sid=s3cret</b>\n</html>"));
  }

  void basicAuthenticationGoesWithThePage() {
    const int id = fixture->AddTemplet("site");
    AddRow(id, 1, "jo", "secret");
    TfrmSource viewer(fixture->Store(), *http);
    viewer.SetTempID(id);
    viewer.SetURL(server->Url("/page"));
    QCOMPARE(server->LastRequest().Header("Authorization"), std::string("Basic am86c2VjcmV0"));
    // Nothing of it stays on the client for the next request.
    http->GetText(server->Url("/page"), RequestSettings());
    QVERIFY(!server->LastRequest().HasHeader("Authorization"));
  }

  void aFailedLoginOrACancelledCodeLeavesTheViewEmpty() {
    const int id = fixture->AddTemplet("site");
    AddRow(id, 2, "", server->Url("/nowhere"));
    TfrmSource viewer(fixture->Store(), *http);
    viewer.SetTempID(id);
    MessageBox::setNextAnswer(QMessageBox::Ok);
    viewer.SetURL(server->Url("/page"));
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QCOMPARE(MessageBox::lastShown().text,
             QStringLiteral("Cann't login, please wait a moment and try again."));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
    QCOMPARE(Named<QLabel>(&viewer, "lblMsg")->text(), QStringLiteral("HTTP/1.1 404 Not Found"));
    QVERIFY(viewer.View()->text().isEmpty());

    fixture->Exec("delete from nvps");
    AddRow(id, 4, "code", server->Url("/code.gif"));
    server->ClearRequests();
    WhenModal<TfrmImgVal>([](TfrmImgVal* dlg) { dlg->reject(); });
    viewer.SetURL(server->Url("/page"));
    QVERIFY(viewer.View()->text().isEmpty());
    QVERIFY(!Requests().contains(QStringLiteral("GET /page")));
  }

  void searchWrapsAroundBothWaysWithABeep() {
    Serve("/search", "Alpha one\nmiddle\nlast ALPHA", "text/html");
    TfrmSource viewer(fixture->Store(), *http);
    viewer.SetURL(server->Url("/search"));
    QSignalSpy beeps(&viewer, &TfrmSource::Beeped);
    auto* next = Named<QToolButton>(&viewer, "btnNext");
    auto* previous = Named<QToolButton>(&viewer, "btnPrev");
    QVERIFY(!next->isEnabled());

    // Typing finds the first occurrence, whatever the letter case.
    Search(viewer, "alpha");
    QVERIFY(next->isEnabled() && previous->isEnabled());
    QCOMPARE(Pos(viewer, QsciScintilla::SCI_GETSELECTIONSTART), 0L);
    next->click();
    QCOMPARE(Pos(viewer, QsciScintilla::SCI_GETSELECTIONSTART), 22L);
    QCOMPARE(beeps.count(), 0);
    // Nothing below: beep, and the first one from the top.
    next->click();
    QCOMPARE(beeps.count(), 1);
    QCOMPARE(Pos(viewer, QsciScintilla::SCI_GETSELECTIONSTART), 0L);
    // Nothing above: beep, and the last one from the end.
    previous->click();
    QCOMPARE(beeps.count(), 2);
    QCOMPARE(Pos(viewer, QsciScintilla::SCI_GETSELECTIONSTART), 22L);
    previous->click();
    QCOMPARE(Pos(viewer, QsciScintilla::SCI_GETSELECTIONSTART), 0L);
    QCOMPARE(Named<QLabel>(&viewer, "lblCaret")->text(), QStringLiteral("Row: 1, Col: 6"));

    // Text that is not there, and an emptied search box: no selection, a beep, disabled buttons.
    Search(viewer, "zeta");
    QCOMPARE(beeps.count(), 3);
    QVERIFY(!viewer.View()->hasSelectedText());
    Search(viewer, "");
    QCOMPARE(beeps.count(), 4);
    QVERIFY(!next->isEnabled() && !previous->isEnabled());
  }

  void aConvertingTempletTakesTagsAsTheConvertedPageHoldsThem() {
    // The page as a run of a "Convert to UTF-8" templet reads it: what is taken is UTF-8.
    Serve("/meta1251",
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
          "<td class=\"\xF6\xE5\xED\xE0\">1</td>",
          "text/html");
    Serve("/bare1252", "<td class=\"caf\xE9\">1</td>", "text/html");
    struct Case {
      const char* path;
      const char* shown;
      std::string open_tag;
    };
    for (const Case& c : {Case{"/meta1251", "<td class=\"цена\">",
                               "<td class=\"\xD1\x86\xD0\xB5\xD0\xBD\xD0\xB0\">"},
                          Case{"/bare1252", "<td class=\"café\">", "<td class=\"caf\xC3\xA9\">"}}) {
      std::vector<Column> added;
      TfrmSource viewer(fixture->Store(), *http);
      viewer.SetCanAdd(true);
      viewer.SetConvertToUtf8(true);
      viewer.SetAddColumn(
          [&added](const std::string& t, const std::string& o, const std::string& cl) {
            added.push_back({t, o, cl});
          });
      viewer.SetURL(server->Url(c.path));
      Search(viewer, c.shown);
      Named<QAction>(&viewer, "pmiOpenTag")->trigger();
      Named<QLineEdit>(&viewer, "edtTitle")->setText(QStringLiteral("t"));
      Named<QLineEdit>(&viewer, "edtCloseTag")->setText(QStringLiteral("</td>"));
      Named<QToolButton>(&viewer, "btnAdd")->click();
      QCOMPARE(added.size(), 1u);
      QCOMPARE(added[0].open_tag, c.open_tag);
    }
  }

  void addTakesThePagesOwnBytes() {
    // The same page in two charsets: what is added matches each page byte for byte.
    Serve("/cp1251", "<td class=\"\xF6\xE5\xED\xE0\">1</td>", "text/html; charset=windows-1251");
    Serve("/utf8", "<meta charset=\"utf-8\"><td class=\"цена\">1</td>", "text/html");
    for (const char* path : {"/cp1251", "/utf8"}) {
      std::vector<Column> added;
      TfrmSource viewer(fixture->Store(), *http);
      viewer.SetCanAdd(true);
      viewer.SetAddColumn(
          [&added](const std::string& t, const std::string& o, const std::string& c) {
            added.push_back({t, o, c});
          });
      viewer.SetURL(server->Url(path));
      QVERIFY2(viewer.View()->text().contains(QStringLiteral("<td class=\"цена\">")), path);
      const std::string page = http->GetText(server->Url(path), RequestSettings());
      const std::string open_tag =
          page.substr(page.find("<td"), page.find('>', page.find("<td")) - page.find("<td") + 1);

      Search(viewer, "<td class=\"цена\">");
      QCOMPARE(viewer.SelectedBytes(), open_tag);
      Named<QAction>(&viewer, "pmiOpenTag")->trigger();
      Search(viewer, "</td>");
      Named<QAction>(&viewer, "pmiCloseTag")->trigger();
      Search(viewer, "цена");
      Named<QAction>(&viewer, "pmiTitle")->trigger();
      QCOMPARE(Named<QLineEdit>(&viewer, "edtTitle")->text(), QStringLiteral("цена"));
      Named<QToolButton>(&viewer, "btnAdd")->click();
      Named<QToolButton>(&viewer, "btnAdd")->click();
      QCOMPARE(added.size(), 2u);
      QVERIFY2(added[0] == added[1], path);
      QCOMPARE(added[0].open_tag, open_tag);
      QCOMPARE(added[0].close_tag, std::string("</td>"));
      QVERIFY2(page.find(added[0].title) != std::string::npos, path);
      QCOMPARE(Named<QLabel>(&viewer, "lblMsg")->text(),
               QStringLiteral(" Column Added. T:цена O:<td class=\"цена\"> C:</td>"));

      // A title typed over is the typed text in the page's charset.
      Named<QLineEdit>(&viewer, "edtTitle")->setText(QStringLiteral("Цена"));
      Named<QToolButton>(&viewer, "btnAdd")->click();
      QCOMPARE(added.back().title,
               std::string(path == std::string("/cp1251") ? "\xD6\xE5\xED\xE0" : "Цена"));
    }
  }

  void addChecksItsInputsAndARegularExpressionTempletCannotAdd() {
    Serve("/p", "<i>x</i>", "text/html");
    int added = 0;
    TfrmSource viewer(fixture->Store(), *http);
    viewer.SetAddColumn(
        [&added](const std::string&, const std::string&, const std::string&) { ++added; });
    viewer.SetCanAdd(true);
    viewer.SetURL(server->Url("/p"));
    viewer.show();
    struct Case {
      const char* title;
      const char* open_tag;
      const char* close_tag;
      const char* message;
      const char* focus;
    };
    for (const Case& c : {Case{"", "<i>", "</i>", "Column title can not be empty.", "edtTitle"},
                          Case{" ", "", "</i>", "Open tag can not be empty.", "edtOpenTag"},
                          Case{"t", "<i>", "", "Close tag can not be empty.", "edtCloseTag"}}) {
      Named<QLineEdit>(&viewer, "edtTitle")->setText(QString::fromLatin1(c.title));
      Named<QLineEdit>(&viewer, "edtOpenTag")->setText(QString::fromLatin1(c.open_tag));
      Named<QLineEdit>(&viewer, "edtCloseTag")->setText(QString::fromLatin1(c.close_tag));
      Named<QToolButton>(&viewer, "btnAdd")->click();
      QCOMPARE(Named<QLabel>(&viewer, "lblMsg")->text(), QString::fromLatin1(c.message));
      QCOMPARE(viewer.focusWidget(), Named<QLineEdit>(&viewer, c.focus));
    }
    QCOMPARE(added, 0);

    // The regular-expression method: Add is disabled, the menu still fills the inputs.
    viewer.SetCanAdd(false);
    QVERIFY(!Named<QToolButton>(&viewer, "btnAdd")->isEnabled());
    Search(viewer, "<i>");
    Named<QAction>(&viewer, "pmiOpenTag")->trigger();
    QCOMPARE(Named<QLineEdit>(&viewer, "edtOpenTag")->text(), QStringLiteral("<i>"));
    // With nothing selected the menu changes nothing.
    viewer.View()->SendScintilla(QsciScintilla::SCI_SETEMPTYSELECTION, 0UL);
    Named<QAction>(&viewer, "pmiTitle")->trigger();
    QCOMPARE(Named<QLineEdit>(&viewer, "edtTitle")->text(), QStringLiteral("t"));
  }

  void menuCopiesAndTogglesWrappingAndCtrlFGoesToTheSearch() {
    Serve("/p", "<p>hello</p>", "text/html");
    TfrmSource viewer(fixture->Store(), *http);
    viewer.SetURL(server->Url("/p"));
    viewer.show();
    QVERIFY(QTest::qWaitForWindowActive(&viewer));
    QCOMPARE(viewer.View()->wrapMode(), QsciScintilla::WrapWord);
    auto* newline = Named<QAction>(&viewer, "pmiNewline");
    QVERIFY(newline->isChecked());
    newline->trigger();
    QCOMPARE(viewer.View()->wrapMode(), QsciScintilla::WrapNone);
    newline->trigger();
    QCOMPARE(viewer.View()->wrapMode(), QsciScintilla::WrapWord);

    Search(viewer, "hello");
    Named<QAction>(&viewer, "pmiCopy")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("hello"));

    viewer.View()->setFocus();
    QTest::keyClick(viewer.View(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(viewer.focusWidget(), Named<QLineEdit>(&viewer, "edtWords"));
    QCOMPARE(Named<QLineEdit>(&viewer, "edtWords")->selectedText(), QStringLiteral("hello"));
    const QStringList items = [&viewer] {
      QStringList texts;
      for (const QAction* action : Named<QMenu>(&viewer, "pmSource")->actions())
        texts << action->text();
      return texts;
    }();
    QCOMPARE(items, (QStringList{"Set Column Title", "Set Open Tag", "Set Close Tag", "",
                                 "Copy to Clipboard", "Automatic Newline"}));
    QCOMPARE(Named<QLabel>(&viewer, "lblHint")->text(),
             QStringLiteral(" Right click on the selection to add tags."));
  }

  void viewSourceShowsTheViewerOnlyWhenThePageCameIn() {
    // A failed GET: the error's own text, no viewer.
    MessageBox::setNextAnswer(QMessageBox::Ok);
    bool viewer_shown = false;
    WhenModal<TfrmSource>([&viewer_shown](TfrmSource* viewer) {
      viewer_shown = true;
      viewer->reject();
    });
    ViewSource(nullptr, fixture->Store(), *http, 0, server->Url("/missing"), true, {});
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("HTTP/1.1 404 Not Found"));
    QVERIFY(!viewer_shown);
    // The act above still waits for a viewer; this one takes it.
    TfrmSource unused(fixture->Store(), *http);
    unused.exec();
    QVERIFY(viewer_shown);

    // A page: the progress window is gone by the time the viewer is up; Add reaches the editor.
    std::vector<Column> added;
    bool loading_gone = false;
    WhenModal<TfrmSource>([&](TfrmSource* viewer) {
      loading_gone = true;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmLoading*>(w) != nullptr) loading_gone = false;
      QVERIFY(Named<QToolButton>(viewer, "btnAdd")->isEnabled());
      Named<QLineEdit>(viewer, "edtTitle")->setText(QStringLiteral("T"));
      Named<QLineEdit>(viewer, "edtOpenTag")->setText(QStringLiteral("<b>"));
      Named<QLineEdit>(viewer, "edtCloseTag")->setText(QStringLiteral("</b>"));
      Named<QToolButton>(viewer, "btnAdd")->click();
      viewer->accept();
    });
    ViewSource(nullptr, fixture->Store(), *http, 0, server->Url("/page"), true,
               [&added](const std::string& t, const std::string& o, const std::string& c) {
                 added.push_back({t, o, c});
               });
    QVERIFY(loading_gone);
    QCOMPARE(added.size(), 1u);
    QCOMPARE(added[0].open_tag, std::string("<b>"));
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::SourceViewerTest)
#include "sourceviewer_test.moc"
