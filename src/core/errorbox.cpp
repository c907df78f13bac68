#include "core/errorbox.h"

#include "core/messagebox.h"
#include "core/screentext.h"

namespace sorvane {

void ShowErrorBox(QWidget* parent, const std::exception& error) {
  MessageBox::Critical(parent, QStringLiteral("Error"), ScreenText(error.what()));
}

bool RunCommand(QWidget* parent, const std::function<void()>& command) {
  // StoreError derives from std::exception; one handler shows both alike.
  try {
    command();
    return true;
  } catch (const std::exception& error) {
    ShowErrorBox(parent, error);
    return false;
  }
}

}  // namespace sorvane
