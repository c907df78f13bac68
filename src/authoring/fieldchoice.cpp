#include "authoring/fieldchoice.h"

#include <QComboBox>

#include "core/screentext.h"

namespace sorvane {
namespace {

// The field's title as stored, kept beside the text shown.
constexpr int kTitleBytesRole = Qt::UserRole + 1;

}  // namespace

void FillFieldChoice(QComboBox* box, const std::vector<PickItem>& fields) {
  box->clear();
  box->addItem(QString(), 0);
  for (const PickItem& field : fields) {
    box->addItem(ScreenText(field.title), field.id);
    box->setItemData(box->count() - 1,
                     QByteArray(field.title.data(), static_cast<qsizetype>(field.title.size())),
                     kTitleBytesRole);
  }
  box->setCurrentIndex(-1);
}

void ChooseField(QComboBox* box, int fid) {
  const int index = box->findData(fid);
  if (index >= 0) box->setCurrentIndex(index);
}

int ChosenFieldID(const QComboBox* box) {
  return box->currentIndex() < 0 ? 0 : box->currentData().toInt();
}

std::string ChosenFieldName(const QComboBox* box) {
  if (box->currentIndex() < 0) return {};
  const QByteArray title = box->currentData(kTitleBytesRole).toByteArray();
  return std::string(title.constData(), static_cast<std::size_t>(title.size()));
}

}  // namespace sorvane
