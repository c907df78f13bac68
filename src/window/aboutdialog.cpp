#include "window/aboutdialog.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QUrl>
#include <QVBoxLayout>

#include "core/product.h"

namespace sorvane {
namespace {

constexpr int kBannerWidth = 360;
constexpr int kBannerHeight = 90;
const char kUrlProperty[] = "sorvaneUrl";

}  // namespace

QPixmap TfrmAbout::Banner() {
  QPixmap banner(kBannerWidth, kBannerHeight);
  QPainter p(&banner);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, kBannerWidth, kBannerHeight);
  sky.setColorAt(0, QColor(0, 0, 128));
  sky.setColorAt(1, QColor(60, 120, 200));
  p.fillRect(banner.rect(), sky);
  // A small result grid: the picture of what the program makes of a page.
  const QRect grid(18, 18, 72, 54);
  p.fillRect(grid, Qt::white);
  p.fillRect(QRect(grid.left(), grid.top(), grid.width(), 12), QColor(212, 208, 200));
  p.fillRect(QRect(grid.left(), grid.top() + 24, grid.width(), 12), QColor(192, 220, 192));
  p.setPen(QColor(128, 128, 128));
  for (int y = grid.top(); y <= grid.bottom(); y += 12)
    p.drawLine(grid.left(), y, grid.right(), y);
  for (int x = grid.left(); x <= grid.right(); x += 24)
    p.drawLine(x, grid.top(), x, grid.bottom());
  p.drawRect(grid);
  p.setPen(Qt::white);
  QFont title(QStringLiteral("Arial"), 26, QFont::Bold);
  p.setFont(title);
  p.drawText(QRect(108, 12, kBannerWidth - 118, 44), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromLatin1(kAppTitle));
  QFont line(QStringLiteral("Arial"), 9);
  p.setFont(line);
  p.drawText(QRect(110, 54, kBannerWidth - 120, 24), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Extracts data record from web & local file."));
  return banner;
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 12);
  layout->setSpacing(6);
  auto* banner = new QLabel(this);
  banner->setObjectName(QStringLiteral("imgBanner"));
  banner->setPixmap(Banner());
  layout->addWidget(banner);

  auto* version = new QLabel(QString::fromLatin1(kVersionLine), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  layout->addWidget(version);
  layout->addWidget(AddLink(QStringLiteral("lblEmail"), QString::fromLatin1(kSupportMail),
                            QStringLiteral("mailto:") + QString::fromLatin1(kSupportMail)));
  layout->addWidget(AddLink(QStringLiteral("lblWeb"), QString::fromLatin1(kHomePageUrl),
                            QString::fromLatin1(kHomePageUrl)));
  for (QLabel* label : findChildren<QLabel*>()) {
    if (label != banner) label->setContentsMargins(16, 0, 16, 0);
  }
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border: the box cannot be resized
}

QLabel* TfrmAbout::AddLink(const QString& name, const QString& text, const QString& url) {
  auto* label = new QLabel(text, this);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setCursor(Qt::PointingHandCursor);
  QPalette blue = label->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  label->setPalette(blue);
  label->setProperty(kUrlProperty, url);
  label->installEventFilter(this);
  return label;
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
  auto* label = qobject_cast<QLabel*>(watched);
  if (!label || !label->property(kUrlProperty).isValid())
    return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Enter:
    case QEvent::Leave: {
      QFont font = label->font();
      font.setUnderline(event->type() == QEvent::Enter);
      label->setFont(font);
      return false;
    }
    case QEvent::MouseButtonPress:
      return true;  // a click on a link opens it and does not close the box
    case QEvent::MouseButtonRelease:
      if (label->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        QDesktopServices::openUrl(QUrl(label->property(kUrlProperty).toString()));
      }
      return true;
    default:
      return QDialog::eventFilter(watched, event);
  }
}

void TfrmAbout::mousePressEvent(QMouseEvent* event) {
  event->accept();
  accept();
}

}  // namespace sorvane
