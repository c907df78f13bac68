#pragma once

// Opening a page of the help: the seam through which every dialog, of whatever subsystem, shows
// its help topic. The help window (window/helpwindow.h) carries it out.

#include <string>

namespace sorvane {

// Opens `topic`'s page (for example "useoverview.html", letter case ignored) in the help window,
// creating the window on first use and raising it. Interface thread only.
void ShowHelpTopic(const std::string& topic);

}  // namespace sorvane
