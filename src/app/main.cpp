// The program: opens the store "data.mdb" in the current folder, then shows the main window and
// runs until it closes. Without a store there is no window.

#include <QApplication>

#include <memory>

#include "core/product.h"
#include "core/programfolder.h"
#include "core/store.h"
#include "window/mainwindow.h"
#include "window/startup.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  sorvane::RecordProgramFolder(argc > 0 ? argv[0] : nullptr);
  std::unique_ptr<sorvane::Tdm> store = sorvane::OpenStore("data.mdb");
  if (!store) return 1;
  sorvane::dm = store.get();
  QApplication::setApplicationName(QString::fromLatin1(sorvane::kAppTitle));
  int result = 0;
  {
    sorvane::TfrmMain window(*store);
    window.show();
    result = app.exec();
  }
  sorvane::dm = nullptr;
  return result;
}
