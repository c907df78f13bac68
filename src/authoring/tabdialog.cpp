#include "authoring/tabdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/screentext.h"

namespace sorvane {
namespace {

constexpr int kWidth = 260;
constexpr int kHeight = 300;

}  // namespace

TfrmTab::TfrmTab(Tdm& store, QWidget* parent) : QDialog(parent), store_(store) {
  setObjectName(QStringLiteral("frmTab"));
  setWindowTitle(QStringLiteral("Please select..."));
  resize(kWidth, kHeight);

  lblNote_ = new QLabel(QStringLiteral("Click OK or double click to select:"), this);
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  lbItems_ = new QListWidget(this);
  lbItems_->setObjectName(QStringLiteral("lbItems"));
  lbItems_->setSelectionMode(QAbstractItemView::SingleSelection);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(ok, QDialogButtonBox::AcceptRole);
  buttons->addButton(cancel, QDialogButtonBox::RejectRole);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblNote_);
  layout->addWidget(lbItems_, 1);
  layout->addWidget(buttons);

  connect(ok, &QPushButton::clicked, this, &TfrmTab::Confirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(lbItems_, &QListWidget::itemDoubleClicked, this, &TfrmTab::Confirm);
}

void TfrmTab::LoadTables() {
  SetItems(LoadTableItems(store_));
}

void TfrmTab::LoadColumns(int templet_id) {
  SetItems(LoadColumnItems(store_, templet_id));
}

void TfrmTab::SetItems(const std::vector<PickItem>& items) {
  items_ = items;
  lbItems_->clear();
  for (const PickItem& item : items_)
    lbItems_->addItem(ScreenText(item.title));
  if (lbItems_->count() > 0) lbItems_->setCurrentRow(0);
}

void TfrmTab::PresetID(int id) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].id == id) {
      lbItems_->setCurrentRow(static_cast<int>(i));
      return;
    }
  }
}

const PickItem* TfrmTab::Selected() const {
  const int row = lbItems_->currentRow();
  if (row < 0 || row >= static_cast<int>(items_.size()) || !lbItems_->item(row)->isSelected()) {
    return nullptr;
  }
  return &items_[static_cast<std::size_t>(row)];
}

int TfrmTab::SelectedID() const {
  const PickItem* item = Selected();
  return item ? item->id : 0;
}

std::string TfrmTab::SelectedTitle() const {
  const PickItem* item = Selected();
  return item ? item->title : std::string();
}

void TfrmTab::Confirm() {
  if (SelectedID() <= 0) {
    lblNote_->setText(QStringLiteral("No item being selected."));
    return;
  }
  accept();
}

}  // namespace sorvane
