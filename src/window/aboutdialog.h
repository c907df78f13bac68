#pragma once

// The about box: a banner, the version line, the support mail address and the home page, both
// as blue links with a hand cursor that are underlined while the mouse is on them. A click on the
// mail address hands a "mailto:" address to the system's default handler, a click on the web
// address opens the home page in the default browser; a click anywhere else on the box, or the
// Escape key, closes it.
//
// Widgets (object names): "imgBanner", "lblVersion", "lblEmail", "lblWeb".

#include <QDialog>

class QLabel;

namespace sorvane {

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  // The banner picture across the top of the box.
  static QPixmap Banner();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QLabel* AddLink(const QString& name, const QString& text, const QString& url);
};

}  // namespace sorvane
