#pragma once

// The folder picker shared by the display options and the custom output.

#include <QString>

class QWidget;

namespace sorvane {

// Lets the user choose a folder of the file system in a modal folder browser titled `caption`.
// When `folder` does not name an existing folder it is emptied first; an existing one is
// preselected. On confirmation `folder` becomes the chosen path without a trailing "/" (but for
// the root "/") and the result is true; otherwise the result is false and `folder` stays as
// after the first step.
// The browser is FileDialog::Folder, which tests answer in advance.
bool SelectFolder(QWidget* parent, const QString& caption, QString& folder);

}  // namespace sorvane
