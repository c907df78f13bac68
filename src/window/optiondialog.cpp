#include "window/optiondialog.h"

#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "core/errorbox.h"
#include "core/options.h"
#include "core/screentext.h"
#include "core/selectfolder.h"

namespace sorvane {
namespace {

const QString kNoteText = QStringLiteral("Extract result display grid:");
const QString kFontText = QStringLiteral("Display font:");
// The preview label's own font, shown until a templet's font is loaded or chosen.
const QString kLabelFontName = QStringLiteral("Arial");

// A box that takes decimal digits only, typed or pasted. Nine digits keep the value an int
// wherever it is read back.
QLineEdit* DigitBox(const QString& name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMaxLength(9);
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  edit->setFixedWidth(60);
  return edit;
}

}  // namespace

TfrmOption::TfrmOption(Tdm& store, QWidget* parent)
    : QDialog(parent),
      store_(store),
      lblNote_(new QLabel(kNoteText, this)),
      edtRowH_(DigitBox(QStringLiteral("edtRowH"), this)),
      edtRpp_(DigitBox(QStringLiteral("edtRpp"), this)),
      lblFont_(new QLabel(kFontText, this)),
      edtFolder_(new QLineEdit(this)),
      spnInFlight_(new QSpinBox(this)),
      spnDelay_(new QSpinBox(this)),
      spnRetries_(new QSpinBox(this)),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("Option"));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

  lblNote_->setObjectName(QStringLiteral("lblNote"));
  auto* gridBox = new QGroupBox(this);
  auto* grid = new QGridLayout(gridBox);
  grid->addWidget(lblNote_, 0, 0, 1, 3);
  auto* lblRowH = new QLabel(QStringLiteral("Default row height:"), gridBox);
  lblRowH->setBuddy(edtRowH_);
  grid->addWidget(lblRowH, 1, 0);
  grid->addWidget(edtRowH_, 1, 1);
  auto* lblRpp = new QLabel(QStringLiteral("Records per page:"), gridBox);
  lblRpp->setBuddy(edtRpp_);
  grid->addWidget(lblRpp, 2, 0);
  grid->addWidget(edtRpp_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("(0: list all)"), gridBox), 2, 2);
  grid->setColumnStretch(2, 1);

  // The preview keeps its size whatever font it shows, so the dialog does not jump.
  lblFont_->setObjectName(QStringLiteral("lblFont"));
  lblFont_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  lblFont_->setAlignment(Qt::AlignCenter);
  lblFont_->setFixedSize(220, 48);
  auto* btnFont = new QPushButton(QStringLiteral("Grid Font"), this);
  btnFont->setObjectName(QStringLiteral("btnFont"));
  btnFont->setAutoDefault(false);
  auto* btnFolder = new QPushButton(QStringLiteral("Image Folder"), this);
  btnFolder->setObjectName(QStringLiteral("btnFolder"));
  btnFolder->setAutoDefault(false);
  edtFolder_->setObjectName(QStringLiteral("edtFolder"));
  edtFolder_->setReadOnly(true);
  edtFolder_->setMinimumWidth(320);

  auto* fontBox = new QGroupBox(this);
  auto* fontLayout = new QGridLayout(fontBox);
  fontLayout->addWidget(lblFont_, 0, 0, 2, 1);
  fontLayout->addWidget(btnFont, 0, 1);
  fontLayout->addWidget(btnFolder, 1, 1);
  auto* lblFolder = new QLabel(QStringLiteral("Image saving folder:"), fontBox);
  lblFolder->setBuddy(edtFolder_);
  fontLayout->addWidget(lblFolder, 2, 0, 1, 2);
  fontLayout->addWidget(edtFolder_, 3, 0, 1, 2);

  btnOK_->setObjectName(QStringLiteral("btnOK"));
  btnOK_->setDefault(true);
  auto* button3 = new QPushButton(QStringLiteral("Cancel"), this);
  button3->setObjectName(QStringLiteral("Button3"));
  button3->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOK_);
  buttons->addWidget(button3);

  // How web runs of the templet fetch their pages.
  auto* fetchBox = new QGroupBox(QStringLiteral("Fetching web pages:"), this);
  auto* fetchLayout = new QGridLayout(fetchBox);
  const auto addSpin = [fetchBox, fetchLayout](QSpinBox* spin, const QString& name,
                                               const QString& caption, int min, int max, int row) {
    spin->setObjectName(name);
    spin->setRange(min, max);
    spin->setFixedWidth(90);
    auto* label = new QLabel(caption, fetchBox);
    label->setBuddy(spin);
    fetchLayout->addWidget(label, row, 0);
    fetchLayout->addWidget(spin, row, 1);
  };
  addSpin(spnInFlight_, QStringLiteral("spnInFlight"), QStringLiteral("Requests in flight:"), 1,
          FetchOptions::kMaxInFlight, 0);
  addSpin(spnDelay_, QStringLiteral("spnDelay"), QStringLiteral("Delay between requests (ms):"), 0,
          FetchOptions::kMaxDelayMs, 1);
  addSpin(spnRetries_, QStringLiteral("spnRetries"), QStringLiteral("Retry failed pages:"), 0,
          FetchOptions::kMaxRetries, 2);
  fetchLayout->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gridBox);
  layout->addWidget(fontBox);
  layout->addWidget(fetchBox);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(btnFont, &QPushButton::clicked, this, &TfrmOption::ChooseFont);
  connect(btnFolder, &QPushButton::clicked, this, &TfrmOption::ChooseFolder);
  connect(btnOK_, &QPushButton::clicked, this, &TfrmOption::Confirm);
  connect(button3, &QPushButton::clicked, this, &QDialog::reject);

  ResetToDefaults();
  btnOK_->setEnabled(false);
}

void TfrmOption::ResetToDefaults() {
  lblNote_->setText(kNoteText);
  lblFont_->setText(kFontText);
  QFont font = lblFont_->font();
  font.setFamily(kLabelFontName);
  font.setPointSize(kDefaultFontSize);
  lblFont_->setFont(font);
  edtRowH_->setText(QString::number(kDefaultRowHeight));
  edtRpp_->setText(QString::number(kDefaultRecordsPerPage));
  edtFolder_->setText(ScreenText(DefaultImageFolder()));
  ShowFetchOptions(FetchOptions{});
}

void TfrmOption::ShowFetchOptions(const FetchOptions& fetch) {
  spnInFlight_->setValue(fetch.in_flight);
  spnDelay_->setValue(fetch.delay_ms);
  spnRetries_->setValue(fetch.retries);
}

void TfrmOption::SetTempID(int id) {
  tempId_ = id;
  ResetToDefaults();
  btnOK_->setEnabled(id >= 1);
  const std::vector<OptionRow> rows = ReadOptions(store_, id);
  ShowFetchOptions(FetchOptionsOf(rows));
  for (const OptionRow& row : rows) {
    const QString val = ScreenText(row.val);
    switch (row.oid) {
      case kOptRowHeight:
        edtRowH_->setText(val);
        break;
      case kOptFontName: {
        lblFont_->setText(val);
        QFont font = lblFont_->font();
        font.setFamily(val);
        lblFont_->setFont(font);
        break;
      }
      case kOptFontSize: {
        bool ok = false;
        const int size = val.toInt(&ok);
        if (ok && size > 0) {
          QFont font = lblFont_->font();
          font.setPointSize(size);
          lblFont_->setFont(font);
        }
        break;
      }
      case kOptRecordsPerPage:
        edtRpp_->setText(val);
        break;
      case kOptImageFolder:
        edtFolder_->setText(val);
        break;
      default:
        break;
    }
  }
}

void TfrmOption::ChooseFont() {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, lblFont_->font(), this);
  if (!ok) return;
  // Only name and size follow the choice; the preview's style and text stay.
  QFont font = lblFont_->font();
  font.setFamily(chosen.family());
  if (chosen.pointSize() > 0) font.setPointSize(chosen.pointSize());
  lblFont_->setFont(font);
}

void TfrmOption::ChooseFolder() {
  QString folder;
  if (!SelectFolder(this, QStringLiteral("Please select the image output directory:"), folder)) {
    return;
  }
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  edtFolder_->setText(folder);
}

void TfrmOption::Confirm() {
  TempletOptions options;
  options.row_height = Bytes(edtRowH_->text());
  options.font_name = Bytes(lblFont_->font().family());
  options.font_size = lblFont_->font().pointSize();
  options.records_per_page = Bytes(edtRpp_->text());
  options.image_folder = Bytes(edtFolder_->text());
  OptionsCheck check = OptionsCheck::kNoTemplet;
  try {
    FetchOptions fetch;
    fetch.in_flight = spnInFlight_->value();
    fetch.delay_ms = spnDelay_->value();
    fetch.retries = spnRetries_->value();
    check = SaveOptions(store_, tempId_, options, fetch);
  } catch (const StoreError& e) {
    ShowErrorBox(this, e);
    return;
  }
  // The boxes take digits only, so a refused box is an empty one.
  switch (check) {
    case OptionsCheck::kOk:
      accept();
      break;
    case OptionsCheck::kRowHeightNotDigits:
      lblNote_->setText(QStringLiteral("Row height is empty."));
      edtRowH_->setFocus();
      break;
    case OptionsCheck::kRecordsPerPageNotDigits:
      lblNote_->setText(QStringLiteral("Records per page is empty."));
      edtRpp_->setFocus();
      break;
    case OptionsCheck::kNoTemplet:
      break;
  }
}

}  // namespace sorvane
