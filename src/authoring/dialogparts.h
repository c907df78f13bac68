#pragma once

// Parts the authoring dialogs share: the buttons "OK" (the default button), "Cancel" (also Escape)
// and, for a dialog with a help page, "Help", which opens that page; and the columns of a list.

#include <QDialog>
#include <QStringList>

#include <initializer_list>
#include <string>

class QBoxLayout;
class QPushButton;
class QTreeWidget;

namespace sorvane {

struct DialogButtons {
  QPushButton* ok = nullptr;      // "btnOK": its click is the caller's to connect
  QPushButton* cancel = nullptr;  // "btnCancel": rejects the dialog
  QPushButton* help = nullptr;    // "btnHelp": opens `help_topic`; null without a topic
};

// Creates the buttons in `dialog` and adds them, in that order, to `layout`. Cancel rejects the
// dialog; Help opens `help_topic` (empty: no Help button).
DialogButtons AddDialogButtons(QDialog* dialog, QBoxLayout* layout, const std::string& help_topic);

// Gives `list` one column per title, each `widths` pixels wide or as wide as its title needs,
// whichever is more; the last column does not stretch.
void SetListColumns(QTreeWidget* list, const QStringList& titles,
                    std::initializer_list<int> widths);

}  // namespace sorvane
