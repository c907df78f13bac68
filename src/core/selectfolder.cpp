#include "core/selectfolder.h"

#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace sorvane {
namespace {

FolderBrowser& Browser() {
  static FolderBrowser browser;
  return browser;
}

std::optional<QString> BrowseForFolder(QWidget* parent, const QString& caption,
                                       const QString& preselected) {
  if (Browser()) return Browser()(parent, caption, preselected);
  const QString chosen =
      QFileDialog::getExistingDirectory(parent, caption, preselected, QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

}  // namespace

bool SelectFolder(QWidget* parent, const QString& caption, QString& folder) {
  if (!QFileInfo(folder).isDir()) folder.clear();
  std::optional<QString> chosen = BrowseForFolder(parent, caption, folder);
  if (!chosen || chosen->isEmpty()) return false;
  QString path = *chosen;
  while (path.size() > 1 && path.endsWith('/'))
    path.chop(1);
  folder = path;
  return true;
}

void SetFolderBrowserForTesting(FolderBrowser browser) {
  Browser() = std::move(browser);
}

}  // namespace sorvane
