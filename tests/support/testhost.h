#pragma once

// A RunHost for tests: keeps every status text and message, owns a grid, and can play the user
// who clicks Stop after a given number of status texts or rows, who acts while a request waits, and
// who answers the verification-code question.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/resultgrid.h"
#include "core/runhost.h"

namespace sorvane::test {

class TestHost : public RunHost {
 public:
  struct ShownMessage {
    std::string caption;
    std::string text;
    Icon icon;
    Buttons buttons;
  };

  void ShowStatus(std::string_view text) override {
    statuses.emplace_back(text);
    if (stop_after > 0 && static_cast<int>(statuses.size()) == stop_after) stop_enabled = false;
  }
  void ProcessEvents() override {
    ++events_processed;
    if (on_events) on_events();
  }
  bool StopEnabled() const override {
    return stop_enabled && !(stop_at_rows > 0 && grid.DataRowCount() >= stop_at_rows);
  }
  void SetStopEnabled(bool enabled) override {
    stop_enabled = enabled;
    stop_changes.push_back(enabled);
  }
  Answer Message(std::string_view caption, std::string_view text, Icon icon,
                 Buttons buttons) override {
    messages.push_back({std::string(caption), std::string(text), icon, buttons});
    return Answer::kOk;
  }
  bool AskImageCode(const VerificationCodeRequest& request, std::string& code) override {
    ++questions;
    return ask_code ? ask_code(request, code) : false;
  }
  ResultGrid& Grid() override { return grid; }
  void ShowCause(std::string_view cause) override { causes.emplace_back(cause); }
  void ShowProgressBar(std::int64_t done, std::int64_t total, std::string_view label) override {
    bars.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + std::string(label));
  }
  void HideProgressBar() override { bars.emplace_back("hidden"); }
  void ShowNote(std::string_view note) override { notes.emplace_back(note); }

  // Cells 1..n of data row `row`.
  std::vector<std::string> Row(int row) const {
    std::vector<std::string> cells;
    for (int c = 1; c <= grid.ShownColumnCount(); ++c)
      cells.emplace_back(grid.Cell(c, row));
    return cells;
  }
  // Every data row's cells, one line each, cells joined by "|".
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int r = 1; r <= grid.DataRowCount(); ++r) {
      std::string line;
      for (int c = 1; c <= grid.ShownColumnCount(); ++c) {
        if (c > 1) line += '|';
        line += grid.Cell(c, r);
      }
      rows.push_back(line);
    }
    return rows;
  }
  // Gives the grid `n` untitled columns.
  void Columns(int n) {
    std::vector<GridColumn> columns(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      columns[static_cast<std::size_t>(i)].title = "c" + std::to_string(i + 1);
    grid.SetColumns(std::move(columns));
  }

  ResultGrid grid;
  std::vector<std::string> statuses;
  std::vector<std::string> causes;  // every ShowCause, the empty one of a run's start included
  std::vector<std::string> bars;    // every progress bar amount, "done/total label", or "hidden"
  std::vector<std::string> notes;   // every ShowNote
  std::vector<ShownMessage> messages;
  std::vector<bool> stop_changes;
  bool stop_enabled = true;
  int stop_after = 0;    // > 0: Stop is clicked when this many status texts have been shown
  int stop_at_rows = 0;  // > 0: Stop is clicked once the grid holds this many rows
  // Called whenever events are processed (while a request waits, among others).
  std::function<void()> on_events;
  int events_processed = 0;
  // Answers the verification-code question; empty: the user cancels.
  std::function<bool(const VerificationCodeRequest&, std::string&)> ask_code;
  int questions = 0;
};

}  // namespace sorvane::test
