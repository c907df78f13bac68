#pragma once

// TfrmLoading, the progress window shown while the page source viewer loads its page: a small
// borderless window above the others, centred on its owner, framed by a 2-pixel line, with a
// 16 by 16 picture and the line "Data loading... Please wait a moment.". It has no controls and
// no behaviour of its own: the caller shows it (not modally) before loading and releases it
// afterwards.

#include <QFrame>

namespace sorvane {

class TfrmLoading : public QFrame {
  Q_OBJECT

 public:
  static constexpr const char* kText = "Data loading... Please wait a moment.";

  explicit TfrmLoading(QWidget* owner = nullptr);

  // Shows the window centred on its owner (on the screen without one) and lets the screen paint
  // it before the caller goes on.
  void ShowNow();

 private:
  QWidget* owner_;
};

}  // namespace sorvane
