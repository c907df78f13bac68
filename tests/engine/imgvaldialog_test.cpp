// The verification-code dialog offscreen, fetching from a real server through the program's HTTP
// client: the image told by its bytes, the notes, Refresh, OK and Cancel.

#include "engine/imgvaldialog.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <string>

#include "engine/httpclient.h"
#include "engine/login.h"
#include "support/httpserver.h"
#include "support/modal.h"

namespace sorvane {
namespace {

using test::HttpServer;
using test::ReceivedRequest;
using test::Reply;

std::string ImageBytes(int width, int height, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

using test::WhenModal;

}  // namespace

class ImgValDialogTest : public QObject {
  Q_OBJECT

 private:
  HttpServer* server = nullptr;
  HttpClient* http = nullptr;
  VerificationCodeRequest* request = nullptr;
  // What /code.gif serves next; changed by the tests.
  std::string image;
  int login_status = 200;

  QLabel* Note(TfrmImgVal& dlg) { return dlg.findChild<QLabel*>(QStringLiteral("lblNote")); }
  QLabel* Image(TfrmImgVal& dlg) { return dlg.findChild<QLabel*>(QStringLiteral("imgValue")); }
  QLineEdit* Value(TfrmImgVal& dlg) {
    return dlg.findChild<QLineEdit*>(QStringLiteral("edtValue"));
  }
  QPushButton* Button(TfrmImgVal& dlg, const char* name) {
    return dlg.findChild<QPushButton*>(QString::fromLatin1(name));
  }
  bool NoteIsRed(TfrmImgVal& dlg) {
    return Note(dlg)->palette().color(QPalette::WindowText) == QColor(Qt::red);
  }
  QSize ShownSize(TfrmImgVal& dlg) { return Image(dlg)->pixmap().size(); }
  QStringList Paths() {
    QStringList paths;
    for (const ReceivedRequest& r : server->Requests())
      paths << QString::fromStdString(r.path);
    return paths;
  }

 private slots:
  void init() {
    server = new HttpServer;
    http = new HttpClient;
    image = ImageBytes(37, 13, "PNG");
    login_status = 200;
    server->On("/login", [this](const ReceivedRequest&) {
      Reply r = Reply::Text("login form");
      r.status = login_status;
      return r;
    });
    server->On("/code.gif", [this](const ReceivedRequest&) {
      Reply r = Reply::Text(image);
      r.content_type = "image/gif";  // the name and the type say GIF; the bytes say PNG
      return r;
    });
    request = new VerificationCodeRequest(
        MakeVerificationRequest(*http, server->Url("/login"), server->Url("/code.gif")));
  }
  void cleanup() {
    delete request;
    delete http;
    delete server;
  }

  void showsItsWidgets() {
    TfrmImgVal dlg(*request);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Please enter..."));
    QCOMPARE(Note(dlg)->text(), QStringLiteral("Enter chars on the image:"));
    QVERIFY(!NoteIsRed(dlg));
    QVERIFY(Image(dlg) != nullptr);
    QVERIFY(Value(dlg) != nullptr);
    QVERIFY(Button(dlg, "btnOK")->isDefault());
    QCOMPARE(Button(dlg, "btnOK")->text(), QStringLiteral("OK"));
    QCOMPARE(Button(dlg, "btnCancel")->text(), QStringLiteral("Cancel"));
    QCOMPARE(Button(dlg, "btnRefresh")->text(), QStringLiteral("Refresh"));
    QStringList labels;
    for (QLabel* label : dlg.findChildren<QLabel*>())
      labels << label->text();
    QVERIFY(labels.contains(QStringLiteral("Image:")));
    QVERIFY(labels.contains(QStringLiteral("Value:")));
    QCOMPARE(server->RequestCount(), std::size_t{0});  // nothing is fetched before it is told
  }

  void showsAPngServedUnderAGifName() {
    TfrmImgVal dlg(*request);
    dlg.SetLogURL(server->Url("/login"));
    dlg.SetImgURL(server->Url("/code.gif"));
    QCOMPARE(ShownSize(dlg), QSize(37, 13));
    QCOMPARE(Paths(), (QStringList{"/login", "/code.gif"}));
    QCOMPARE(Note(dlg)->text(), QStringLiteral("Enter chars on the image:"));
    QVERIFY(!NoteIsRed(dlg));
    QCOMPARE(dlg.LogURL(), server->Url("/login"));
    QCOMPARE(dlg.ImgURL(), server->Url("/code.gif"));
  }

  void decodesEveryFormatByItsBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    // Qt writes no GIF: a 1x1 picture made by hand.
    static const char kGif[] =
        "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00"
        "\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    QTest::newRow("GIF") << QByteArray(kGif, sizeof kGif - 1) << QSize(1, 1);
    QTest::newRow("BMP") << QByteArray::fromStdString(ImageBytes(21, 9, "BMP")) << QSize(21, 9);
    QTest::newRow("PNG") << QByteArray::fromStdString(ImageBytes(22, 9, "PNG")) << QSize(22, 9);
    QTest::newRow("JPEG") << QByteArray::fromStdString(ImageBytes(23, 9, "JPEG")) << QSize(23, 9);
  }
  void decodesEveryFormatByItsBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QVERIFY(!bytes.isEmpty());
    image = bytes.toStdString();
    TfrmImgVal dlg(*request);
    dlg.SetImgURL(server->Url("/code.gif"));
    QCOMPARE(ShownSize(dlg), size);
    QVERIFY(!NoteIsRed(dlg));
  }

  void failuresShowRedNotes() {
    TfrmImgVal dlg(*request);
    login_status = 500;
    dlg.SetLogURL(server->Url("/login"));
    QCOMPARE(Note(dlg)->text(), QStringLiteral("Cann't open login page, pls refresh."));
    QVERIFY(NoteIsRed(dlg));
    // The image that follows sets the colour back; its own failure turns it red again.
    dlg.SetImgURL(server->Url("/code.gif"));
    QCOMPARE(ShownSize(dlg), QSize(37, 13));
    QVERIFY(!NoteIsRed(dlg));
    dlg.SetImgURL(server->Url("/missing.gif"));
    QCOMPARE(Note(dlg)->text(), QStringLiteral("Cann't open image, pls refresh."));
    QVERIFY(NoteIsRed(dlg));
    QCOMPARE(ShownSize(dlg), QSize(37, 13));  // the image stays

    // A PNG start over broken bytes cannot be decoded.
    image = "\x89PNG but broken";
    dlg.SetImgURL(server->Url("/code.gif"));
    QCOMPARE(Note(dlg)->text(), QStringLiteral("Cann't open image, pls refresh."));
    QVERIFY(NoteIsRed(dlg));
  }

  void anUnknownFormatKeepsTheImageSilently() {
    TfrmImgVal dlg(*request);
    dlg.SetImgURL(server->Url("/code.gif"));
    image = "<html>no image</html>";
    dlg.SetImgURL(server->Url("/code.gif"));
    QCOMPARE(ShownSize(dlg), QSize(37, 13));
    QCOMPARE(Note(dlg)->text(), QStringLiteral("Enter chars on the image:"));
    QVERIFY(!NoteIsRed(dlg));
  }

  void refreshVisitsTheLoginPageAndLoadsANewImage() {
    TfrmImgVal dlg(*request);
    dlg.SetLogURL(server->Url("/login"));
    dlg.SetImgURL(server->Url("/code.gif"));
    image = ImageBytes(50, 20, "PNG");
    QTest::mouseClick(Button(dlg, "btnRefresh"), Qt::LeftButton);
    QCOMPARE(Paths(), (QStringList{"/login", "/code.gif", "/login", "/code.gif"}));
    QCOMPARE(ShownSize(dlg), QSize(50, 20));
    QCOMPARE(dlg.LogURL(), server->Url("/login"));
  }

  void okNeedsMoreThanBlanks() {
    TfrmImgVal dlg(*request);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    Value(dlg)->setText(QStringLiteral("  \t "));
    QTest::mouseClick(Button(dlg, "btnOK"), Qt::LeftButton);
    QCOMPARE(Note(dlg)->text(), QStringLiteral("Please key the chars on the image in."));
    QVERIFY(dlg.isVisible());
    Value(dlg)->setText(QStringLiteral(" a7 "));
    QTest::mouseClick(Button(dlg, "btnOK"), Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.ImgVal(), std::string(" a7 "));  // as typed
  }

  void askShowsTheQuestionModally() {
    std::string code = "unchanged";
    QSize shown;
    WhenModal<TfrmImgVal>([&](TfrmImgVal* dlg) {
      shown = dlg->findChild<QLabel*>(QStringLiteral("imgValue"))->pixmap().size();
      dlg->findChild<QLineEdit*>(QStringLiteral("edtValue"))->setText(QStringLiteral("xy"));
      dlg->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    });
    QVERIFY(TfrmImgVal::Ask(*request, nullptr, code));
    QCOMPARE(code, std::string("xy"));
    QCOMPARE(shown, QSize(37, 13));
    QCOMPARE(Paths(), (QStringList{"/login", "/code.gif"}));

    WhenModal<TfrmImgVal>([](TfrmImgVal* dlg) {
      dlg->findChild<QLineEdit*>(QStringLiteral("edtValue"))->setText(QStringLiteral("xy"));
      dlg->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    });
    code = "unchanged";
    QVERIFY(!TfrmImgVal::Ask(*request, nullptr, code));
    QCOMPARE(code, std::string("unchanged"));
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::ImgValDialogTest)
#include "imgvaldialog_test.moc"
