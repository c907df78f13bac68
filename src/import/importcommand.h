#pragma once

// The "&Import..." command of the templet menu: asks for a templet file, scrambled or open, and
// imports it (tplimport.h, templetfile.h), adding the new templet to the list through `add_node`. A
// refused file or a store error is shown in the standard error box; the window goes on. Interface
// thread only.

#include <functional>
#include <string>

#include "core/runhost.h"
#include "core/store.h"
#include "core/templet.h"
#include "import/tplimport.h"

class QWidget;

namespace sorvane {

// The file dialog's filter of templet files, and the import's filter: scrambled files first,
// then open templet files.
inline constexpr const char* kTempletFileFilter = "Extraction Templet File (*.tpl)|*.tpl";
inline constexpr const char* kImportFileFilter =
    "Extraction Templet File (*.tpl)|*.tpl|Templet (*.json)|*.json";

// Runs the command over `parent`; status texts go to `host`. Scrambled files are decoded with
// `key` (the program's own unless a test gives its own). Returns true when a file was imported to
// its end.
bool ImportTemplet(QWidget* parent, Tdm& store, RunHost& host,
                   const std::function<void(const TTemplet&, const std::string&)>& add_node,
                   const TempletFileKey& key = {});

}  // namespace sorvane
