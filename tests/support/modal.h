#pragma once

// Helpers for Qt tests that drive dialogs and windows.

#include <QApplication>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

#include <functional>

namespace sorvane::test {

// The child of `parent` of type T named `name` (its object name); a missing one ends the test
// program, naming it.
template <typename T>
T* Named(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) qFatal("no widget %s", name);
  return child;
}

// Acts on the next modal dialog of type T as soon as it is up.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    }
  });
  timer->start();
}

}  // namespace sorvane::test
