#pragma once

// The help window: one window of its own (no owner) that shows one page of the help folder, the
// folder "help/" in the program folder. A page that is missing shows a note instead.

#include <QDialog>
#include <QString>

#include <string>

#include "core/helptopic.h"

class QTextBrowser;

namespace sorvane {

class HelpWindow : public QDialog {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows `path` (a local HTML file); a missing file shows a note naming it.
  void ShowPage(const QString& path);
  QString PagePath() const { return path_; }
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
  QString path_;
};

// The path of `topic`'s page: the program folder + "help/" + the topic in lower case.
QString HelpPagePath(const std::string& topic);

// Opens `topic`'s page in the help window, creating the window on first use and raising it.
// Returns the window. ShowHelpTopic (core/helptopic.h) does the same for the dialogs.
HelpWindow* OpenHelpWindow(const std::string& topic);

// Closes and deletes the help window if there is one (at the end of the program).
void CloseHelpWindow();

}  // namespace sorvane
