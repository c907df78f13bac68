#include "output/csvcommand.h"

#include <optional>

#include "core/errorbox.h"
#include "core/filedialog.h"
#include "core/progressbar.h"
#include "core/resultgrid.h"
#include "core/screentext.h"
#include "output/csv.h"

namespace sorvane {

bool SaveGridAsCsv(QWidget* parent, const ResultGrid& grid, RunHost* progress) {
  const std::optional<QString> path = FileDialog::SaveFile(parent, QStringLiteral("Save As"),
                                                           kCsvFileFilter, QStringLiteral("csv"));
  if (!path) return false;
  return RunCommand(parent, [&] {
    CsvOptions options;
    std::optional<ProgressBarScope> bar;
    if (progress != nullptr) {
      bar.emplace(*progress);
      bar->Show(0, grid.DataRowCount(), "rows");
      // Rows are written fast: the bar hears of every 256th and the last.
      options.after_row = [&bar](int row, int rows) {
        if (row % 256 == 0 || row == rows) bar->Show(row, rows, "rows");
      };
    }
    WriteCsvFile(grid, Bytes(*path), options);
  });
}

}  // namespace sorvane
