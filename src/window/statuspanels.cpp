#include "window/statuspanels.h"

#include <QLabel>
#include <QResizeEvent>

namespace sorvane {
namespace {

constexpr int kBarHeight = 19;
constexpr int kPanel1Width = 35;
constexpr int kPanel2Width = 65;

}  // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  setFixedHeight(kBarHeight);
  // The panels are placed by hand, not by the bar's layout, so that their widths are exact.
  for (int i = 0; i < kPanelCount; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("sbMsgPanel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(2);
    label->setTextFormat(Qt::PlainText);
    panels_[i] = label;
  }
  LayOutPanels();
}

void StatusPanels::SetText(int panel, const QString& text) {
  panels_[panel]->setText(text);
}

QString StatusPanels::Text(int panel) const {
  return panels_[panel]->text();
}

void StatusPanels::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  LayOutPanels();
}

void StatusPanels::LayOutPanels() {
  const int widths[kPanelCount] = {width() - (kPanel1Width + kPanel2Width), kPanel1Width,
                                   kPanel2Width};
  int x = 0;
  for (int i = 0; i < kPanelCount; ++i) {
    const int w = widths[i] > 0 ? widths[i] : 0;
    panels_[i]->setGeometry(x, 0, w, height());
    x += w;
  }
}

}  // namespace sorvane
