// The program: opens the store in the current folder, then shows the main window.

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

#include <memory>

#include "core/store.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  std::unique_ptr<sorvane::Tdm> store;
  try {
    store = std::make_unique<sorvane::Tdm>("data.mdb");
  } catch (const sorvane::StoreError&) {
    QMessageBox::warning(nullptr, "Error", "Can not connect to database.",
                         QMessageBox::Ok | QMessageBox::Cancel);
    return 1;
  }
  sorvane::dm = store.get();
  QApplication::setApplicationName("Sorvane");
  QMainWindow window;
  window.setWindowTitle("Sorvane - Extracts data record from web & local file.");
  window.resize(781, 544);
  window.show();
  return app.exec();
}
