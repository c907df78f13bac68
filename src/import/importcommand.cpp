#include "import/importcommand.h"

#include <QFile>
#include <QString>

#include <optional>

#include "core/errorbox.h"
#include "core/filedialog.h"
#include "import/templetfile.h"

namespace sorvane {

bool ImportTemplet(QWidget* parent, Tdm& store, RunHost& host,
                   const std::function<void(const TTemplet&, const std::string&)>& add_node,
                   const TempletFileKey& key) {
  const std::optional<QString> path =
      FileDialog::OpenFile(parent, QStringLiteral("Import"), kImportFileFilter);
  if (!path) return false;
  const std::string file = QFile::encodeName(*path).toStdString();
  return RunCommand(parent, [&] {
    ImportAnyTempletFile(
        store, file, host,
        [&add_node](const TempletEntry& entry) {
          if (add_node) add_node(entry.templet, entry.name);
        },
        key);
  });
}

}  // namespace sorvane
