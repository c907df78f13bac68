#include "window/startup.h"

#include "core/messagebox.h"

namespace sorvane {

std::unique_ptr<Tdm> OpenStore(const std::string& path, QWidget* parent) {
  try {
    return std::make_unique<Tdm>(path);
  } catch (const StoreError&) {
    MessageBox::Warning(parent, QStringLiteral("Error"),
                        QStringLiteral("Can not connect to database."),
                        QMessageBox::Ok | QMessageBox::Cancel);
    return nullptr;
  }
}

}  // namespace sorvane
