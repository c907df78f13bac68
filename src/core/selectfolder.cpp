#include "core/selectfolder.h"

#include <QFileInfo>

#include <optional>

#include "core/filedialog.h"

namespace sorvane {

bool SelectFolder(QWidget* parent, const QString& caption, QString& folder) {
  if (!QFileInfo(folder).isDir()) folder.clear();
  std::optional<QString> chosen = FileDialog::Folder(parent, caption, folder);
  if (!chosen || chosen->isEmpty()) return false;
  QString path = *chosen;
  while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
    path.chop(1);
  folder = path;
  return true;
}

}  // namespace sorvane
