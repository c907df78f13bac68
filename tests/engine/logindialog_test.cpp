// The login settings dialog offscreen over a real store, with Get reading a real login page:
// the two modes, the list and its pair dialog, the checks on OK, the rows written, Delete.

#include "engine/logindialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include <string>
#include <vector>

#include "core/messagebox.h"
#include "core/templetmodel.h"
#include "engine/httpclient.h"
#include "engine/inputdialog.h"
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

// "name|value|Img" per list item.
QStringList Items(TfrmLogin& dlg) {
  auto* list = Named<QTreeWidget>(&dlg, "lvNvs");
  QStringList items;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    items << item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') + item->text(2);
  }
  return items;
}

// "nam|val|tag" per stored row, in the store's order.
std::vector<std::string> Rows(Tdm& store, int id) {
  std::vector<std::string> rows;
  for (const LoginRow& row : ReadLoginRowsAsStored(store, id))
    rows.push_back(row.nam + "|" + row.val + "|" + std::to_string(row.tag));
  return rows;
}

}  // namespace

class LoginDialogTest : public QObject {
  Q_OBJECT

 private:
  test::StoreFixture* fixture = nullptr;
  HttpClient* http = nullptr;
  int id = 0;

  void AddRow(int tag, const std::string& nam, const std::string& val) {
    fixture->Exec("insert into nvps(tmid,nam,val,tag) values(" + std::to_string(id) + "," +
                  QuotedStr(nam) + "," + QuotedStr(val) + "," + std::to_string(tag) + ")");
  }

 private slots:
  void init() {
    fixture = new test::StoreFixture;
    http = new HttpClient;
    id = fixture->AddTemplet("site");
    MessageBox::clearRecord();
  }
  void cleanup() {
    delete http;
    delete fixture;
  }

  void withoutRowsNeedAuthorizationIsSelected() {
    TfrmLogin dlg(fixture->Store(), *http);
    dlg.SetTempletID(id);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Authorize/Login"));
    QVERIFY(Named<QRadioButton>(&dlg, "rbAuthorize")->isChecked());
    QVERIFY(Named<QLineEdit>(&dlg, "edtNam")->text().isEmpty());
    QVERIFY(Named<QLineEdit>(&dlg, "edtPwd")->text().isEmpty());
    QCOMPARE(Named<QLineEdit>(&dlg, "edtLoginURL")->text(), QStringLiteral("http://"));
    QVERIFY(!Named<QPushButton>(&dlg, "btnDelAll")->isEnabled());
    QVERIFY(!Named<QWidget>(&dlg, "pnlLogin")->isEnabled());
    QVERIFY(!Named<QPushButton>(&dlg, "btnAdd")->isEnabled());
    QVERIFY(!Named<QPushButton>(&dlg, "btnDelete")->isEnabled());
    QVERIFY(Named<QWidget>(&dlg, "pnlAuthorize")->isEnabled());

    Named<QRadioButton>(&dlg, "rbLogin")->click();
    QVERIFY(Named<QWidget>(&dlg, "pnlLogin")->isEnabled());
    QVERIFY(Named<QPushButton>(&dlg, "btnAdd")->isEnabled());
    QVERIFY(!Named<QWidget>(&dlg, "pnlAuthorize")->isEnabled());
  }

  void aFormLoginShowsItsRowsAndSwitchingToBasicAuthenticationReplacesThem() {
    AddRow(2, "", "http://h/login");
    AddRow(4, "code", "http://h/c.gif");
    AddRow(3, "user", "jo");
    TfrmLogin dlg(fixture->Store(), *http);
    dlg.SetTempletID(id);
    QVERIFY(Named<QRadioButton>(&dlg, "rbLogin")->isChecked());
    QVERIFY(Named<QPushButton>(&dlg, "btnDelAll")->isEnabled());
    QCOMPARE(Named<QLineEdit>(&dlg, "edtLoginURL")->text(), QStringLiteral("http://h/login"));
    QCOMPARE(Items(dlg), (QStringList{"code|http://h/c.gif|Y", "user|jo|N"}));

    Named<QRadioButton>(&dlg, "rbAuthorize")->click();
    Named<QLineEdit>(&dlg, "edtNam")->setText(QStringLiteral("mary"));
    Named<QLineEdit>(&dlg, "edtPwd")->setText(QStringLiteral("it's"));
    Named<QPushButton>(&dlg, "btnOK")->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(Rows(fixture->Store(), id), (std::vector<std::string>{"mary|it's|1"}));
  }

  void okRefusesIncompleteSettings() {
    struct Case {
      bool login;
      QString name, password, url;
    };
    const std::vector<Case> cases = {{false, QStringLiteral("jo"), {}, {}},
                                     {false, {}, QStringLiteral("pw"), {}},
                                     {true, {}, {}, QStringLiteral("http://h/")}};
    for (const Case& c : cases) {
      TfrmLogin dlg(fixture->Store(), *http);
      dlg.SetTempletID(id);
      Named<QRadioButton>(&dlg, c.login ? "rbLogin" : "rbAuthorize")->click();
      Named<QLineEdit>(&dlg, "edtNam")->setText(c.name);
      Named<QLineEdit>(&dlg, "edtPwd")->setText(c.password);
      Named<QLineEdit>(&dlg, "edtLoginURL")->setText(c.url);
      MessageBox::clearRecord();
      MessageBox::setNextAnswer(QMessageBox::Ok);
      Named<QPushButton>(&dlg, "btnOK")->click();
      QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Note"));
      QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Filling is not completed."));
      QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
      QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
    QVERIFY(Rows(fixture->Store(), id).empty());
  }

  void getProposesTheFirstFormEachTimeAndReportsAFailure() {
    HttpServer server;
    server.On("/login", [](const ReceivedRequest&) {
      return Reply::Text(
          "<form action=/in><input type=hidden name=token value=abc>"
          "<select name=\"lang\"><option value=\"en\">en</option></select></form>"
          "<form><input name=other></form>");
    });
    TfrmLogin dlg(fixture->Store(), *http);
    dlg.SetTempletID(id);
    Named<QRadioButton>(&dlg, "rbLogin")->click();
    Named<QLineEdit>(&dlg, "edtLoginURL")->setText(QString::fromStdString(server.Url("/login")));
    Named<QPushButton>(&dlg, "Button1")->click();
    Named<QPushButton>(&dlg, "Button1")->click();
    QCOMPARE(Items(dlg), (QStringList{"token|abc|N", "lang||N", "token|abc|N", "lang||N"}));
    QVERIFY(MessageBox::shown().empty());
    QVERIFY(Named<QPushButton>(&dlg, "Button1")->isEnabled());

    Named<QLineEdit>(&dlg, "edtLoginURL")->setText(QString::fromStdString(server.Url("/gone")));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    Named<QPushButton>(&dlg, "Button1")->click();
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Times out, wait minutes, try again."));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Warning);
    QCOMPARE(Items(dlg).size(), 4);
  }

  void itemsAreAddedEditedAndDeleted() {
    TfrmLogin dlg(fixture->Store(), *http);
    dlg.SetTempletID(id);
    Named<QRadioButton>(&dlg, "rbLogin")->click();
    auto* list = Named<QTreeWidget>(&dlg, "lvNvs");

    // The pair dialog refuses empty texts, focusing the first empty one.
    bool refused = false;
    WhenModal<TfrmInput>([&refused](TfrmInput* input) {
      QCOMPARE(input->windowTitle(), QStringLiteral("Please enter..."));
      Named<QLineEdit>(input, "edtValOne")->setText(QStringLiteral("user"));
      Named<QPushButton>(input, "btnOK")->click();
      refused = Named<QLabel>(input, "lblNoteMsg")->text() == QStringLiteral("Cann't be empty.") &&
                input->focusWidget() == Named<QLineEdit>(input, "edtValTwo") && input->isVisible();
      Named<QLineEdit>(input, "edtValTwo")->setText(QStringLiteral("jo"));
      Named<QPushButton>(input, "btnOK")->click();
    });
    Named<QPushButton>(&dlg, "btnAdd")->click();
    QVERIFY(refused);
    WhenModal<TfrmInput>([](TfrmInput* input) {
      Named<QLineEdit>(input, "edtValOne")->setText(QStringLiteral("code"));
      Named<QLineEdit>(input, "edtValTwo")->setText(QStringLiteral("http://h/c.gif"));
      Named<QCheckBox>(input, "cbImage")->click();
      QCOMPARE(Named<QLabel>(input, "lblTitTwo")->text(), QStringLiteral("Image URL:"));
      Named<QPushButton>(input, "btnOK")->click();
    });
    Named<QPushButton>(&dlg, "btnAdd")->click();
    QCOMPARE(Items(dlg), (QStringList{"user|jo|N", "code|http://h/c.gif|Y"}));
    QCOMPARE(list->currentItem(), list->topLevelItem(1));

    // A double click edits the pair in place.
    WhenModal<TfrmInput>([](TfrmInput* input) {
      QCOMPARE(Named<QLineEdit>(input, "edtValOne")->text(), QStringLiteral("user"));
      QCOMPARE(Named<QLabel>(input, "lblTitTwo")->text(), QStringLiteral("Field value:"));
      Named<QLineEdit>(input, "edtValTwo")->setText(QStringLiteral("mary"));
      Named<QPushButton>(input, "btnOK")->click();
    });
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    QCOMPARE(Items(dlg), (QStringList{"user|mary|N", "code|http://h/c.gif|Y"}));

    // Delete Item asks; No keeps the item, Yes removes it and selects the one below.
    list->setCurrentItem(list->topLevelItem(0));
    MessageBox::setNextAnswer(QMessageBox::No);
    Named<QPushButton>(&dlg, "btnDelete")->click();
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Sure to delete this name/value item?"));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Question);
    QCOMPARE(Items(dlg).size(), 2);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    Named<QPushButton>(&dlg, "btnDelete")->click();
    QCOMPARE(Items(dlg), (QStringList{"code|http://h/c.gif|Y"}));
    QCOMPARE(list->currentItem(), list->topLevelItem(0));

    Named<QLineEdit>(&dlg, "edtLoginURL")->setText(QStringLiteral("http://h/login"));
    Named<QPushButton>(&dlg, "btnOK")->click();
    QCOMPARE(Rows(fixture->Store(), id),
             (std::vector<std::string>{"|http://h/login|2", "code|http://h/c.gif|4"}));
  }

  void bytesOfStoredRowsAreSavedBackUnchanged() {
    AddRow(2, "", "http://h/login");
    AddRow(3, "\xCF\xEE\xEB\xFC", "\xE7\xED\xE0\xF7");  // a Windows-1251 name and value
    TfrmLogin dlg(fixture->Store(), *http);
    dlg.SetTempletID(id);
    Named<QPushButton>(&dlg, "btnOK")->click();
    QCOMPARE(
        Rows(fixture->Store(), id),
        (std::vector<std::string>{"|http://h/login|2", "\xCF\xEE\xEB\xFC|\xE7\xED\xE0\xF7|3"}));
  }

  void deleteRemovesEveryRowAfterTheQuestion() {
    AddRow(1, "jo", "pw");
    fixture->Exec("insert into nvps(tmid,nam,val,tag) values(99,'other','row',1)");
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
      TfrmLogin dlg(fixture->Store(), *http);
      dlg.SetTempletID(id);
      dlg.show();
      MessageBox::setNextAnswer(answer);
      Named<QPushButton>(&dlg, "btnDelAll")->click();
      QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Confirm"));
      QCOMPARE(MessageBox::lastShown().text,
               QStringLiteral("Are you sure to delete authorize /\nlogin information of this "
                              "templet?"));
      QCOMPARE(MessageBox::lastShown().buttons, QMessageBox::Yes | QMessageBox::No);
      QCOMPARE(dlg.isVisible(), answer == QMessageBox::No);
      QCOMPARE(Rows(fixture->Store(), id).size(), answer == QMessageBox::No ? 1u : 0u);
    }
    QCOMPARE(Rows(fixture->Store(), 99).size(), 1u);
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::LoginDialogTest)
#include "logindialog_test.moc"
