#include "authoring/dialogparts.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

#include "core/helptopic.h"

namespace sorvane {

DialogButtons AddDialogButtons(QDialog* dialog, QBoxLayout* layout, const std::string& help_topic) {
  DialogButtons buttons;
  buttons.ok = new QPushButton(QStringLiteral("OK"), dialog);
  buttons.ok->setObjectName(QStringLiteral("btnOK"));
  buttons.ok->setDefault(true);
  layout->addWidget(buttons.ok);
  buttons.cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  buttons.cancel->setObjectName(QStringLiteral("btnCancel"));
  buttons.cancel->setAutoDefault(false);
  QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  layout->addWidget(buttons.cancel);
  if (!help_topic.empty()) {
    buttons.help = new QPushButton(QStringLiteral("Help"), dialog);
    buttons.help->setObjectName(QStringLiteral("btnHelp"));
    buttons.help->setAutoDefault(false);
    QObject::connect(buttons.help, &QPushButton::clicked, dialog,
                     [help_topic] { ShowHelpTopic(help_topic); });
    layout->addWidget(buttons.help);
  }
  return buttons;
}

void SetListColumns(QTreeWidget* list, const QStringList& titles,
                    std::initializer_list<int> widths) {
  list->setColumnCount(static_cast<int>(titles.size()));
  list->setHeaderLabels(titles);
  list->header()->setStretchLastSection(false);
  const QFontMetrics metrics(list->header()->font());
  int column = 0;
  for (const int width : widths) {
    if (column >= titles.size()) break;
    const int needed = metrics.horizontalAdvance(titles[column]) + 12;
    list->setColumnWidth(column, std::max(width, needed));
    ++column;
  }
}

}  // namespace sorvane
