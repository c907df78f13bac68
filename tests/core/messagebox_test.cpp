// The message-box seam and the standard error box.

#include "core/messagebox.h"

#include <QtTest>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "core/errorbox.h"
#include "core/store.h"
#include "support/tempdir.h"

namespace sorvane {

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { MessageBox::clearRecord(); }

  void queuedAnswersAreTakenInOrderAndEveryBoxIsRecorded() {
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    QCOMPARE(MessageBox::pendingAnswers(), 2);
    QCOMPARE(
        MessageBox::Warning(nullptr, "Confirm", "first", QMessageBox::Ok | QMessageBox::Cancel),
        QMessageBox::Cancel);
    QCOMPARE(MessageBox::Question(nullptr, "Confirm", "second"), QMessageBox::Yes);
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    QCOMPARE(MessageBox::shown().size(), std::size_t{2});
    const MessageBox::Record first = MessageBox::shown()[0];
    QCOMPARE(first.caption, QStringLiteral("Confirm"));
    QCOMPARE(first.text, QStringLiteral("first"));
    QCOMPARE(first.icon, QMessageBox::Warning);
    QCOMPARE(first.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Question);
    QCOMPARE(MessageBox::lastShown().buttons, QMessageBox::Yes | QMessageBox::No);
  }

  void clearRecordForgetsBoxesAndAnswers() {
    MessageBox::setNextAnswer(QMessageBox::Ok);
    MessageBox::Information(nullptr, "Information", "done");
    MessageBox::setNextAnswer(QMessageBox::Ok);
    MessageBox::clearRecord();
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    QVERIFY(MessageBox::shown().empty());
    QCOMPARE(MessageBox::lastShown().caption, QString());
  }

  void commandErrorsEndTheCommandInTheStandardErrorBox_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("ran");
    QTest::addColumn<QString>("text");
    QTest::newRow("store error") << 1 << false << QStringLiteral("no such column: f9");
    QTest::newRow("conversion error")
        << 2 << false << QStringLiteral("'abc' is not a valid integer value");
    QTest::newRow("other error") << 3 << false << QStringLiteral("out of range");
    QTest::newRow("no error") << 0 << true << QString();
  }
  void commandErrorsEndTheCommandInTheStandardErrorBox() {
    QFETCH(int, kind);
    QFETCH(bool, ran);
    QFETCH(QString, text);
    test::TempDir dir;
    Tdm store(dir.File("data.mdb"));
    bool reached_end = false;
    MessageBox::setNextAnswer(QMessageBox::Ok);
    const bool result = RunCommand(nullptr, [&] {
      if (kind == 1) store.qryM.Open("select f9 from tmps");
      if (kind == 2) {
        store.qryM.Open("select 'abc'");
        store.qryM.AsInteger(0);
      }
      if (kind == 3) throw std::out_of_range("out of range");
      reached_end = true;
    });
    QCOMPARE(result, ran);
    QCOMPARE(reached_end, ran);
    if (ran) {
      QVERIFY(MessageBox::shown().empty());
      MessageBox::clearRecord();
    } else {
      QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
      QCOMPARE(MessageBox::lastShown().text, text);
      QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Critical);
      QCOMPARE(MessageBox::lastShown().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
  }
};

}  // namespace sorvane

QTEST_MAIN(sorvane::MessageBoxTest)
#include "messagebox_test.moc"
