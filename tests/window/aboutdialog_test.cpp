// The about box, driven offscreen; the system's default handler is replaced by a catcher.

#include "window/aboutdialog.h"

#include <QDesktopServices>
#include <QLabel>
#include <QtTest>

#include "core/product.h"
#include "support/modal.h"

namespace sorvane {
namespace {

class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

QLabel* Label(const TfrmAbout& about, const char* name) {
  return test::Named<QLabel>(&about, name);
}

}  // namespace

class AboutDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher_, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher_, "open");
    catcher_.urls.clear();
  }
  void cleanup() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
  }

  void showsBannerVersionAndLinks() {
    TfrmAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(!Label(about, "imgBanner")->pixmap().isNull());
    QCOMPARE(Label(about, "lblVersion")->text(), QStringLiteral("Sorvane version 1.0.5.1136"));
    QCOMPARE(about.minimumSize(), about.maximumSize());  // a fixed border
    for (const char* name : {"lblEmail", "lblWeb"}) {
      QLabel* link = Label(about, name);
      QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
      QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
      QVERIFY(!link->font().underline());
      QEvent enter(QEvent::Enter);
      QCoreApplication::sendEvent(link, &enter);
      QVERIFY(link->font().underline());
      QEvent leave(QEvent::Leave);
      QCoreApplication::sendEvent(link, &leave);
      QVERIFY(!link->font().underline());
    }
  }

  void clickingALinkOpensItAndKeepsTheBoxOpen_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QUrl>("url");
    QTest::newRow("mail") << "lblEmail"
                          << QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kSupportMail));
    QTest::newRow("web") << "lblWeb" << QUrl(QString::fromLatin1(kHomePageUrl));
  }
  void clickingALinkOpensItAndKeepsTheBoxOpen() {
    QFETCH(QString, label);
    QFETCH(QUrl, url);
    TfrmAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(Label(about, label.toLatin1().constData()), Qt::LeftButton);
    QCOMPARE(catcher_.urls, QList<QUrl>({url}));
    QVERIFY(about.isVisible());
  }

  void clickAnywhereElseOrEscapeCloses_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("banner") << "imgBanner";
    QTest::newRow("version line") << "lblVersion";
    QTest::newRow("box") << "";
    QTest::newRow("Escape") << "Escape";
  }
  void clickAnywhereElseOrEscapeCloses() {
    QFETCH(QString, target);
    TfrmAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    if (target == "Escape") {
      QTest::keyClick(&about, Qt::Key_Escape);
    } else if (target.isEmpty()) {
      QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(2, about.height() - 2));
    } else {
      QTest::mouseClick(Label(about, target.toLatin1().constData()), Qt::LeftButton);
    }
    QVERIFY(!about.isVisible());
    QVERIFY(catcher_.urls.isEmpty());
  }

 private:
  UrlCatcher catcher_;
};

}  // namespace sorvane

QTEST_MAIN(sorvane::AboutDialogTest)
#include "aboutdialog_test.moc"
