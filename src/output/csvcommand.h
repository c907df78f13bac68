#pragma once

// The window part of "Save As .&CSV File...".

class QWidget;

namespace sorvane {

class ResultGrid;
class RunHost;

// The save dialog's filter: CSV files first, then plain text, then every file.
inline constexpr char kCsvFileFilter[] =
    "Comma-separated values(*.csv)|*.csv|Plain text file(*.txt)|*.txt|All(*.*)|*.*";

// Asks for a file name with the save dialog (default extension ".csv") and writes the whole grid
// to it as CSV (csv.h), atomically. Returns true when the file was written whole: the caller
// then counts the run's records as kept. False when the user cancelled, or when the file could
// not be written: the standard error box has shown the system's message and the file that was
// there is unchanged.
// With `progress`, its bar counts the rows written.
bool SaveGridAsCsv(QWidget* parent, const ResultGrid& grid, RunHost* progress = nullptr);

}  // namespace sorvane
