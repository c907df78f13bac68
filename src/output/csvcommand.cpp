#include "output/csvcommand.h"

#include <optional>

#include "core/errorbox.h"
#include "core/filedialog.h"
#include "core/screentext.h"
#include "output/csv.h"

namespace sorvane {

bool SaveGridAsCsv(QWidget* parent, const ResultGrid& grid) {
  const std::optional<QString> path = FileDialog::SaveFile(parent, QStringLiteral("Save As"),
                                                           kCsvFileFilter, QStringLiteral("csv"));
  if (!path) return false;
  return RunCommand(parent, [&] { WriteCsvFile(grid, Bytes(*path)); });
}

}  // namespace sorvane
