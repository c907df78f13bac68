#pragma once

// The main window's status bar: three text panels side by side, and a progress bar that shows
// while a long operation goes on. Whenever the bar is resized, panel 0 takes the bar's width
// minus 100 pixels, panel 1 35 pixels and panel 2 65 pixels; a panel whose text needs more room
// (with its frame) takes that room from panel 0, and so does the progress bar while it shows,
// between panel 0 and panel 1.

#include <QStatusBar>

#include <array>

class QLabel;
class QProgressBar;

namespace sorvane {

class StatusPanels : public QStatusBar {
  Q_OBJECT

 public:
  static constexpr int kPanelCount = 3;
  static constexpr int kProgressWidth = 150;

  explicit StatusPanels(QWidget* parent = nullptr);

  void SetText(int panel, const QString& text);
  QString Text(int panel) const;
  QLabel* Panel(int panel) const { return panels_[panel]; }

  // The progress bar ("pbProgress"): `done` of `total` steps with `label` as its text; a total
  // of 0 or less shows that something goes on without saying how far. HideProgress takes it
  // away and gives its room back to panel 0.
  void ShowProgress(qint64 done, qint64 total, const QString& label);
  void HideProgress();
  QProgressBar* Progress() const { return progress_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOutPanels();
  // The width panel `panel` needs for its text and frame.
  int FittingWidth(int panel) const;

  std::array<QLabel*, kPanelCount> panels_{};
  QProgressBar* progress_ = nullptr;
};

}  // namespace sorvane
