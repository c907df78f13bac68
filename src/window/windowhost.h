#pragma once

// The main window's half of a run: the host (runhost.h) that shows a run's progress in the
// window's status bar, keeps the stop flag in the "&Stop!" item, asks its questions over the
// window and fills the grid the window shows. The window owns it; it lives as long as the window.

#include <QElapsedTimer>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/resultgrid.h"
#include "core/runhost.h"

class QAction;
class QWidget;

namespace sorvane {

class GridModel;
class StatusPanels;

class WindowHost : public RunHost {
 public:
  // `window` parents the message boxes and questions; `status`, `model` and `stop` must outlive
  // the host and be set with Attach before the first call.
  explicit WindowHost(QWidget* window) : window_(window) {
    since_pump_.start();
    since_bar_.start();
  }
  void Attach(StatusPanels* status, GridModel* model, QAction* stop) {
    status_ = status;
    model_ = model;
    stop_ = stop;
  }

  // ShowStatus updates the text always but processes pending events at most this often, so
  // that a run that reports every record is not dominated by event processing.
  static constexpr int kPumpInterval = 25;  // milliseconds

  void ShowStatus(std::string_view text) override;
  // The bar shows at once; later amounts reach it at most every kPumpInterval, when events are
  // processed, and when a known total is reached.
  void ShowProgressBar(std::int64_t done, std::int64_t total, std::string_view label) override;
  void HideProgressBar() override;
  void ProcessEvents() override;
  bool StopEnabled() const override;
  void SetStopEnabled(bool enabled) override;
  Answer Message(std::string_view caption, std::string_view text, Icon icon,
                 Buttons buttons) override;
  bool AskImageCode(const VerificationCodeRequest& request, std::string& code) override;
  ResultGrid& Grid() override { return grid_; }
  // The cause of a failure and the run's notes become the status text's tool tip; an empty
  // cause (a run's start) clears it.
  void ShowCause(std::string_view cause) override;
  void ShowNote(std::string_view note) override;

  // A tool tip shows at most this many notes; the rest are counted.
  static constexpr int kNoteLimit = 12;

 private:
  void ShowTip();

  QWidget* window_;
  StatusPanels* status_ = nullptr;
  GridModel* model_ = nullptr;
  QAction* stop_ = nullptr;
  // Brings the latest amount to the bar.
  void ApplyProgress();

  ResultGrid grid_;
  QElapsedTimer since_pump_;
  QElapsedTimer since_bar_;
  // The latest amount the bar has not shown yet.
  bool bar_pending_ = false;
  std::int64_t bar_done_ = 0;
  std::int64_t bar_total_ = 0;
  std::string bar_label_;
  std::string cause_;
  std::vector<std::string> notes_;
  int notes_left_out_ = 0;
};

}  // namespace sorvane
