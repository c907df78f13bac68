#include "engine/imgvaldialog.h"

#include <QApplication>
#include <QByteArray>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <string_view>

#include "core/screentext.h"
#include "engine/login.h"

namespace sorvane {

TfrmImgVal::TfrmImgVal(const VerificationCodeRequest& request, QWidget* parent)
    : QDialog(parent),
      request_(request),
      imgValue_(new QLabel(this)),
      edtValue_(new QLineEdit(this)),
      lblNote_(new QLabel(QString::fromLatin1(kNoteInitial), this)),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)),
      btnCancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      btnRefresh_(new QPushButton(QStringLiteral("Refresh"), this)) {
  setWindowTitle(QStringLiteral("Please enter..."));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

  imgValue_->setObjectName(QStringLiteral("imgValue"));
  imgValue_->setMinimumSize(120, 40);
  imgValue_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  edtValue_->setObjectName(QStringLiteral("edtValue"));
  edtValue_->setMinimumWidth(160);
  lblNote_->setObjectName(QStringLiteral("lblNote"));
  btnOK_->setObjectName(QStringLiteral("btnOK"));
  btnOK_->setDefault(true);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnCancel_->setAutoDefault(false);
  btnRefresh_->setObjectName(QStringLiteral("btnRefresh"));
  btnRefresh_->setAutoDefault(false);
  connect(btnOK_, &QPushButton::clicked, this, &TfrmImgVal::Confirm);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnRefresh_, &QPushButton::clicked, this, &TfrmImgVal::Refresh);

  auto* image_label = new QLabel(QStringLiteral("Image:"), this);
  auto* value_label = new QLabel(QStringLiteral("Value:"), this);
  value_label->setBuddy(edtValue_);

  auto* fields = new QGridLayout;
  fields->addWidget(image_label, 0, 0);
  fields->addWidget(imgValue_, 0, 1);
  fields->addWidget(value_label, 1, 0);
  fields->addWidget(edtValue_, 1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnRefresh_);
  buttons->addStretch(1);
  buttons->addWidget(btnOK_);
  buttons->addWidget(btnCancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblNote_);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  SetNoteColor(false);
}

void TfrmImgVal::SetNoteColor(bool failed) {
  QPalette palette = lblNote_->palette();
  palette.setColor(QPalette::WindowText,
                   failed ? QColor(Qt::red) : QApplication::palette().color(QPalette::WindowText));
  lblNote_->setPalette(palette);
}

void TfrmImgVal::ShowFailure(const char* text) {
  lblNote_->setText(QString::fromLatin1(text));
  SetNoteColor(true);
}

void TfrmImgVal::SetLogURL(const std::string& url) {
  log_url_ = url;
  SetNoteColor(false);
  if (!request_.open_login_page || !request_.open_login_page(log_url_)) {
    ShowFailure(kNoteLoginPage);
  }
}

void TfrmImgVal::SetImgURL(const std::string& url) {
  img_url_ = url;
  SetNoteColor(false);
  std::string bytes;
  if (!request_.fetch_image || !request_.fetch_image(img_url_, bytes)) {
    ShowFailure(kNoteImage);
    return;
  }
  // The bytes tell the format, whatever the address's name says.
  const std::string_view format = ImageFormatOf(bytes);
  if (format.empty()) return;
  const std::string format_name(format);
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                          static_cast<int>(bytes.size()), format_name.c_str())) {
    ShowFailure(kNoteImage);
    return;
  }
  imgValue_->setPixmap(QPixmap::fromImage(image));
}

std::string TfrmImgVal::ImgVal() const {
  return Bytes(edtValue_->text());
}

void TfrmImgVal::Refresh() {
  // Copies: the setters replace the stored addresses.
  const std::string log_url = log_url_;
  const std::string img_url = img_url_;
  SetLogURL(log_url);
  SetImgURL(img_url);
}

void TfrmImgVal::Confirm() {
  if (edtValue_->text().trimmed().isEmpty()) {
    lblNote_->setText(QString::fromLatin1(kNoteEmpty));
    return;
  }
  accept();
}

bool TfrmImgVal::Ask(const VerificationCodeRequest& request, QWidget* parent, std::string& code) {
  TfrmImgVal dialog(request, parent);
  dialog.SetLogURL(request.login_url);
  dialog.SetImgURL(request.image_url);
  if (dialog.exec() != QDialog::Accepted) return false;
  code = dialog.ImgVal();
  return true;
}

}  // namespace sorvane
