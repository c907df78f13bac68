#pragma once

// The main window's status bar: three text panels side by side. Whenever the bar is resized,
// panel 0 takes the bar's width minus 100 pixels, panel 1 35 pixels and panel 2 65 pixels.

#include <QStatusBar>

#include <array>

class QLabel;

namespace sorvane {

class StatusPanels : public QStatusBar {
  Q_OBJECT

 public:
  static constexpr int kPanelCount = 3;

  explicit StatusPanels(QWidget* parent = nullptr);

  void SetText(int panel, const QString& text);
  QString Text(int panel) const;
  QLabel* Panel(int panel) const { return panels_[panel]; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOutPanels();

  std::array<QLabel*, kPanelCount> panels_{};
};

}  // namespace sorvane
