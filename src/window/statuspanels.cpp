#include "window/statuspanels.h"

#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>

#include <algorithm>

namespace sorvane {
namespace {

constexpr int kBarHeight = 19;
constexpr int kPanelWidths[StatusPanels::kPanelCount] = {0, 35, 65};
constexpr int kIndent = 2;
// Progress bars count in int: larger totals are scaled down to this many steps.
constexpr qint64 kProgressSteps = 1'000'000;

}  // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  setFixedHeight(kBarHeight);
  // The panels are placed by hand, not by the bar's layout, so that their widths are exact.
  for (int i = 0; i < kPanelCount; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("sbMsgPanel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(kIndent);
    label->setTextFormat(Qt::PlainText);
    panels_[i] = label;
  }
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("pbProgress"));
  progress_->setTextVisible(true);
  progress_->setAlignment(Qt::AlignCenter);
  progress_->hide();
  LayOutPanels();
}

void StatusPanels::SetText(int panel, const QString& text) {
  panels_[panel]->setText(text);
  if (panel > 0) LayOutPanels();
}

QString StatusPanels::Text(int panel) const {
  return panels_[panel]->text();
}

void StatusPanels::ShowProgress(qint64 done, qint64 total, const QString& label) {
  // The labels hold no placeholder of the bar's own ("%p", "%v", "%m"): shown as they are.
  progress_->setFormat(label);
  if (total > 0) {
    // Scaled to the steps an int holds; done never passes the total.
    const qint64 scale = total > kProgressSteps ? (total + kProgressSteps - 1) / kProgressSteps : 1;
    const qint64 clamped = std::clamp<qint64>(done, 0, total);
    progress_->setRange(0, static_cast<int>(total / scale));
    progress_->setValue(static_cast<int>(clamped / scale));
  } else {
    progress_->setRange(0, 0);
  }
  if (progress_->isHidden()) {
    progress_->show();
    LayOutPanels();
  }
}

void StatusPanels::HideProgress() {
  if (progress_->isHidden()) return;
  progress_->hide();
  progress_->reset();
  LayOutPanels();
}

void StatusPanels::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  LayOutPanels();
}

int StatusPanels::FittingWidth(int panel) const {
  const QLabel* label = panels_[panel];
  const int text = label->fontMetrics().horizontalAdvance(label->text());
  // The frame on both sides, the indent before the text and as much after it.
  return text + 2 * label->frameWidth() + 2 * kIndent;
}

void StatusPanels::LayOutPanels() {
  int widths[kPanelCount] = {};
  int fixed = 0;
  for (int i = 1; i < kPanelCount; ++i) {
    widths[i] = std::max(kPanelWidths[i], FittingWidth(i));
    fixed += widths[i];
  }
  const int bar = progress_->isHidden() ? 0 : kProgressWidth;
  widths[0] = std::max(0, width() - fixed - bar);
  int x = 0;
  for (int i = 0; i < kPanelCount; ++i) {
    panels_[i]->setGeometry(x, 0, widths[i], height());
    x += widths[i];
    if (i == 0 && bar > 0) {
      progress_->setGeometry(x, 0, bar, height());
      x += bar;
    }
  }
}

}  // namespace sorvane
