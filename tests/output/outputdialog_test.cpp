// The custom-format output dialog on a real store and a real output folder, driven offscreen.

#include "output/outputdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "authoring/tabdialog.h"
#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/programfolder.h"
#include "core/resultgrid.h"
#include "core/textinputdialog.h"
#include "support/modal.h"
#include "support/storefixture.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;

// Receives the addresses handed to the system's default handler.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A templet with the columns Id (kind 0), Url (kind 1) and Name (kind 0), a grid laid out for
// them as the window does (the kind-1 column is not shown), and the dialog on both.
struct Fixture {
  test::StoreFixture f;
  int templet = f.AddTemplet("People");
  int id_col = f.AddColumn(templet, "Id", 0, 0);
  int url_col = f.AddColumn(templet, "Url", 0, 1, 1);
  int name_col = f.AddColumn(templet, "Name", 0, 2);
  ResultGrid grid;
  std::unique_ptr<TfrmOutput> dialog;

  explicit Fixture(const std::vector<std::vector<std::string>>& rows) {
    grid.SetColumns({{"Id", {id_col, 0}, 0}, {"Name", {name_col, 0}, 0}});
    for (const auto& row : rows)
      grid.AppendRow(0, row);
    dialog = std::make_unique<TfrmOutput>(f.Store(), grid);
    dialog->SetTempletID(templet);
    dialog->show();
  }
  template <typename T>
  T* Get(const char* name) const {
    return test::Named<T>(dialog.get(), name);
  }
  void Click(const char* button) const { Get<QPushButton>(button)->click(); }
  QString Output() const { return Get<QPlainTextEdit>("mmOutput")->toPlainText(); }
  QString Label() const { return Get<QLabel>("lblOutput")->text(); }
  void SetPattern(const QString& text) const {
    Get<QPlainTextEdit>("mmTemplet")->setPlainText(text);
  }
  // Picks the entry `row` of the column picker that the next click opens.
  static void PickColumn(int row) {
    test::WhenModal<TfrmTab>([row](TfrmTab* tab) {
      tab->findChild<QListWidget*>(QStringLiteral("lbItems"))->setCurrentRow(row);
      tab->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    });
  }
};

}  // namespace

class OutputDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    MessageBox::clearRecord();
    FileDialog::clearRecord();
    catcher_.urls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher_, "open");
  }
  void cleanup() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(MessageBox::pendingAnswers(), 0);
  }

  void showsItsControlsAndLoadsTheStoredPattern() {
    Fixture x({});
    x.f.Exec("update tmps set ots='<CID:1/>' where tmid=" + std::to_string(x.templet));
    x.dialog->SetTempletID(x.templet);
    QCOMPARE(x.dialog->windowTitle(), QStringLiteral("Custom output"));
    QCOMPARE(x.Get<QPlainTextEdit>("mmTemplet")->toPlainText(), QStringLiteral("<CID:1/>"));
    QCOMPARE(x.Label(), QStringLiteral("Output result:"));
    QVERIFY(x.Get<QPlainTextEdit>("mmOutput")->isReadOnly());
    const std::vector<std::pair<const char*, const char*>> buttons = {
        {"btnInsertCol", "Insert Column"},
        {"btnSaveTemplet", "Save Templet"},
        {"btnGetResult", "Output Start"},
        {"btnFileName", "Set Filename"},
        {"btnExtName", "Set .ext Name"},
        {"btnDir", "Out Directory"},
        {"btnSelAll", "Select All"},
        {"btnCopy", "Copy"},
        {"Button1", "Close"},
        {"btnHelp", "Help"}};
    for (const auto& [name, caption] : buttons)
      QCOMPARE(x.Get<QPushButton>(name)->text(), QString::fromLatin1(caption));
    QCOMPARE(x.Get<QCheckBox>("cbFile")->text(), QStringLiteral("Output files"));
    QCOMPARE(x.Get<QCheckBox>("cbSQL")->text(), QStringLiteral("For SQL ('->'')"));
    QVERIFY(!x.Get<QCheckBox>("cbFile")->isChecked());
    QVERIFY(!x.Get<QCheckBox>("cbSQL")->isChecked());

    // The three file buttons follow the check box; the label then names the output folder.
    for (const bool ticked : {true, false}) {
      x.Get<QCheckBox>("cbFile")->click();
      for (const char* name : {"btnFileName", "btnExtName", "btnDir"})
        QCOMPARE(x.Get<QPushButton>(name)->isEnabled(), ticked);
    }
    std::string folder = ProgramFolder();
    folder.pop_back();
    QCOMPARE(x.Label(),
             QStringLiteral("Output result: (OutDir: %1)").arg(QString::fromStdString(folder)));

    QTest::keyClick(x.dialog.get(), Qt::Key_Escape);
    QVERIFY(!x.dialog->isVisible());
  }

  void outputStartFillsTheOutputBox() {
    Fixture x({{"7", "O'Neil"}, {"8", "Ann"}});
    x.SetPattern(QStringLiteral("insert into p values(<cid:%1/>,'<CID:%2/>','<CID:%3/>');")
                     .arg(x.id_col)
                     .arg(x.name_col)
                     .arg(x.url_col));
    x.Get<QCheckBox>("cbSQL")->click();
    x.Click("btnGetResult");
    QCOMPARE(x.Output(), QStringLiteral("insert into p values(7,'O''Neil','');\n"
                                        "insert into p values(8,'Ann','');\n"));
    QCOMPARE(x.dialog->Extension(), std::string(".txt"));
    QVERIFY(MessageBox::shown().empty());
    QVERIFY(catcher_.urls.isEmpty());

    // Select All selects; Copy takes the whole text, and says so.
    x.Click("btnSelAll");
    QCOMPARE(x.Get<QPlainTextEdit>("mmOutput")->textCursor().selectedText().size(),
             x.Output().size());
    x.Get<QPlainTextEdit>("mmOutput")->moveCursor(QTextCursor::Start);
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnCopy");
    QCOMPARE(QApplication::clipboard()->text(), x.Output());
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Note"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("Output result copied to clipboard."));
    QCOMPARE(MessageBox::lastShown().icon, QMessageBox::Information);

    // A tag number beyond 32 bits: the standard error box, and the dialog stays.
    x.SetPattern(QStringLiteral("<CID:4294967296/>"));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnGetResult");
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QVERIFY(x.dialog->isVisible());
    QCOMPARE(x.Output(), QString());
  }

  void outputFilesGoIntoTheChosenFolderNamedByAColumn() {
    test::TempDir dir;
    const fs::path out = dir.Path() / "out";
    fs::create_directory(out);
    Fixture x({{"1", "a/b:c?"}, {"2", ".."}, {"3", "x"}});
    x.SetPattern(QStringLiteral("<p><CID:%1/></p>").arg(x.id_col));
    x.Get<QCheckBox>("cbFile")->click();

    FileDialog::setNextAnswer(QString::fromStdString(out.string() + "/"));
    x.Click("btnDir");
    QCOMPARE(FileDialog::lastAsked().caption,
             QStringLiteral("Please select the output directory:"));
    QCOMPARE(x.dialog->OutputFolder(), QString::fromStdString(out.string()));

    Fixture::PickColumn(1);
    x.Click("btnFileName");
    QCOMPARE(x.dialog->NameColumn(), x.name_col);

    test::WhenModal<TfrmTextInput>([](TfrmTextInput* input) {
      QCOMPARE(input->Tit(), std::string("Please input extended file name:"));
      input->SetTxt("html");
      input->accept();
    });
    x.Click("btnExtName");
    QCOMPARE(x.Label(), QStringLiteral("Output result: (Naming: Name, Ext: .html, OutDir: %1)")
                            .arg(QString::fromStdString(out.string())));

    x.Click("btnGetResult");
    QCOMPARE(ReadAll(out / "abc.html"), std::string("<p>1</p>"));
    QCOMPARE(ReadAll(out / "2.html"), std::string("<p>2</p>"));
    QCOMPARE(ReadAll(out / "x.html"), std::string("<p>3</p>"));
    QCOMPARE(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
    QCOMPARE(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
    QCOMPARE(catcher_.urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(out.string()))});
    QCOMPARE(x.Output(), QString());

    // The folder is gone: choosing another one and cancelling keeps it (never the empty path,
    // which would put the files at the root); the output then fails with the error box, no
    // folder is opened and the dialog stays.
    fs::remove_all(out);
    FileDialog::setNextAnswer(std::nullopt);
    x.Click("btnDir");
    QCOMPARE(x.dialog->OutputFolder(), QString::fromStdString(out.string()));
    catcher_.urls.clear();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnGetResult");
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Error"));
    QVERIFY(catcher_.urls.isEmpty());
    QVERIFY(x.dialog->isVisible());
  }

  void insertColumnAndSaveTempletWorkOnThePattern() {
    Fixture x({});
    auto* pattern = x.Get<QPlainTextEdit>("mmTemplet");
    pattern->setPlainText(QStringLiteral("a XX b"));
    QTextCursor cursor = pattern->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    pattern->setTextCursor(cursor);
    Fixture::PickColumn(1);
    x.Click("btnInsertCol");
    QCOMPARE(pattern->toPlainText(), QStringLiteral("a <CID:%1/> b").arg(x.name_col));

    // Cancel inserts nothing.
    test::WhenModal<TfrmTab>([](TfrmTab* tab) { tab->reject(); });
    x.Click("btnInsertCol");
    QCOMPARE(pattern->toPlainText(), QStringLiteral("a <CID:%1/> b").arg(x.name_col));

    pattern->setPlainText(QStringLiteral("it's\nsaved"));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    x.Click("btnSaveTemplet");
    QCOMPARE(MessageBox::lastShown().caption, QStringLiteral("Information"));
    QCOMPARE(MessageBox::lastShown().text, QStringLiteral("OK! Templet saved."));
    x.f.Store().qryM.Open("select ots from tmps where tmid=" + std::to_string(x.templet));
    QCOMPARE(x.f.Store().qryM.AsString(0), std::string("it's\nsaved"));
  }

 private:
  UrlCatcher catcher_;
};

}  // namespace sorvane

QTEST_MAIN(sorvane::OutputDialogTest)
#include "outputdialog_test.moc"
