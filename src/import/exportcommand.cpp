#include "import/exportcommand.h"

#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>

#include <optional>
#include <string>

#include "core/dialogbuttons.h"
#include "core/errorbox.h"
#include "core/filedialog.h"
#include "core/messagebox.h"
#include "core/screentext.h"
#include "core/templetmodel.h"
#include "engine/rundriver.h"
#include "import/templetfile.h"
#include "output/customoutput.h"

namespace sorvane {

TfrmExport::TfrmExport(QWidget* parent)
    : QDialog(parent),
      chkLoginValues_(new QCheckBox(QStringLiteral("Include login values"), this)) {
  setWindowTitle(QStringLiteral("Export"));
  auto* lblNote = new QLabel(
      QStringLiteral("The templet's login holds passwords. They are left out of the file\n"
                     "unless you include them; whoever gets the file can read them."),
      this);
  lblNote->setObjectName(QStringLiteral("lblNote"));
  chkLoginValues_->setObjectName(QStringLiteral("chkLoginValues"));

  auto* buttons = OkCancelRow(this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblNote);
  layout->addWidget(chkLoginValues_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TfrmExport::IncludeLoginValues() const {
  return chkLoginValues_->isChecked();
}

bool ExportTemplet(QWidget* parent, Tdm& store, const TTemplet* selected) {
  if (selected == nullptr) {
    MessageBox::Warning(parent, QStringLiteral("Note"), ScreenText(kSelectTempletText));
    return false;
  }
  bool include_login_values = false;
  std::string name;
  bool has_secrets = false;
  const bool read = RunCommand(parent, [&] {
    name = ReadTemplet(store, selected->ID, TempletParts::kHead).name;
    for (const LoginRow& row : ReadLoginRowsAsStored(store, selected->ID))
      has_secrets = has_secrets || (IsSecretLoginValue(row) && !row.val.empty());
  });
  if (!read) return false;
  if (has_secrets) {
    TfrmExport dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    include_login_values = dialog.IncludeLoginValues();
  }
  // The templet's name proposes the file name, without characters a file name cannot hold.
  std::string proposed = CleanFileName(name);
  if (proposed.empty()) proposed = "templet";
  const std::optional<QString> path =
      FileDialog::SaveFile(parent, QStringLiteral("Export"), kTempletJsonFilter,
                           QStringLiteral("json"), ScreenText(proposed) + QStringLiteral(".json"));
  if (!path) return false;
  const std::string file = QFile::encodeName(*path).toStdString();
  return RunCommand(
      parent, [&] { ExportTempletJsonFile(store, selected->ID, file, include_login_values); });
}

}  // namespace sorvane
