#pragma once

// Opening the store at start-up.

#include <QWidget>

#include <memory>
#include <string>

#include "core/store.h"

namespace sorvane {

// Opens the store file `path` (a missing file is created as a new store). When it cannot be
// opened, shows "Can not connect to database." (caption "Error", warning icon, OK and Cancel)
// over `parent` and returns null, whichever button is pressed.
std::unique_ptr<Tdm> OpenStore(const std::string& path, QWidget* parent = nullptr);

}  // namespace sorvane
