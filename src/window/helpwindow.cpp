#include "window/helpwindow.h"

#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "core/programfolder.h"
#include "core/screentext.h"

namespace sorvane {
namespace {

QPointer<HelpWindow>& Instance() {
  static QPointer<HelpWindow> window;
  return window;
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
  setWindowTitle(QStringLiteral("Help"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
  // An open help window does not keep the program alive once the main window has closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  browser_->setObjectName(QStringLiteral("browser"));
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(640, 480);
}

void HelpWindow::ShowPage(const QString& path) {
  path_ = path;
  if (QFileInfo::exists(path)) {
    browser_->setSource(QUrl::fromLocalFile(path));
  } else {
    browser_->setPlainText(QStringLiteral("The help page %1 was not found.").arg(path));
  }
}

QString HelpPagePath(const std::string& topic) {
  return ScreenText(ProgramFolder() + "help/") + ScreenText(topic).toLower();
}

HelpWindow* OpenHelpWindow(const std::string& topic) {
  QPointer<HelpWindow>& window = Instance();
  if (!window) window = new HelpWindow;
  window->ShowPage(HelpPagePath(topic));
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

void ShowHelpTopic(const std::string& topic) {
  OpenHelpWindow(topic);
}

void CloseHelpWindow() {
  delete Instance().data();
}

}  // namespace sorvane
