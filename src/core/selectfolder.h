#pragma once

// The folder picker shared by the display options and the custom output.

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace sorvane {

// Lets the user choose a folder of the file system in a modal folder browser titled `caption`.
// When `folder` does not name an existing folder it is emptied first; an existing one is
// preselected. On confirmation `folder` becomes the chosen path without a trailing "/" (but for
// the root "/") and the result is true; otherwise the result is false and `folder` stays as
// after the first step.
bool SelectFolder(QWidget* parent, const QString& caption, QString& folder);

// Stands in for the folder browser: given the parent, the caption and the preselected folder
// (empty for none), it returns the chosen path or nothing for a cancel. For tests, which must
// not show the browser.
using FolderBrowser = std::function<std::optional<QString>(QWidget* parent, const QString& caption,
                                                           const QString& preselected)>;
// Installs `browser` for every later SelectFolder; an empty function brings the real one back.
void SetFolderBrowserForTesting(FolderBrowser browser);

}  // namespace sorvane
