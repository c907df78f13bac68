#include "authoring/loadingdialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QStyle>

namespace sorvane {

TfrmLoading::TfrmLoading(QWidget* owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), owner_(owner) {
  setObjectName(QStringLiteral("frmLoading"));
  setWindowTitle(QStringLiteral("Loading"));
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(2);
  setFixedSize(293, 54);
  setAttribute(Qt::WA_ShowWithoutActivating);

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("imgLoading"));
  picture->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(16, 16));
  picture->setFixedSize(16, 16);
  auto* text = new QLabel(QString::fromLatin1(kText), this);
  text->setObjectName(QStringLiteral("lblLoading"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(14, 0, 14, 0);
  layout->setSpacing(10);
  layout->addWidget(picture);
  layout->addWidget(text, 1);
}

void TfrmLoading::ShowNow() {
  QRect area;
  if (owner_ != nullptr && owner_->isVisible()) {
    area = owner_->window()->frameGeometry();
  } else if (const QScreen* screen = QApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - rect().center());
  show();
  raise();
  // The page request that follows blocks this thread; let the window paint first.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace sorvane
