#pragma once

// The application's standard error box: a store or conversion error that a command does not
// catch ends that command, the box shows the error's text, and the program goes on. Statements
// the command executed before the error stay applied.

#include <QWidget>

#include <exception>
#include <functional>

namespace sorvane {

// Shows `error`'s text (decoded from the locale's 8-bit code) in a modal box captioned "Error"
// with an error icon and an OK button, through the message-box seam.
void ShowErrorBox(QWidget* parent, const std::exception& error);

// Runs `command`. When it throws a StoreError or any other std::exception, the command ends
// there and ShowErrorBox shows the error. Returns true when the command ran to its end.
bool RunCommand(QWidget* parent, const std::function<void()>& command);

}  // namespace sorvane
