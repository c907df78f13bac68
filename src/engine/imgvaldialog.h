#pragma once

// TfrmImgVal, the verification-code dialog (caption "Please enter...", centred on its owner): it
// requests the login page, shows the image that belongs to that visit, and takes the characters
// the user reads off it. Its requests go through a VerificationCodeRequest (login.h makes one over
// the HTTP client), which must outlive the dialog.
//
// Widgets: imgValue ("Image:"), edtValue ("Value:"), lblNote (first "Enter chars on the image:",
// then what went wrong, in red when a request or the decoding failed), btnOK "OK" (default),
// btnCancel "Cancel", btnRefresh "Refresh" (the login page and the image again).

#include <QDialog>

#include <string>

#include "core/runhost.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace sorvane {

class TfrmImgVal : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kNoteInitial = "Enter chars on the image:";
  static constexpr const char* kNoteLoginPage = "Cann't open login page, pls refresh.";
  static constexpr const char* kNoteImage = "Cann't open image, pls refresh.";
  static constexpr const char* kNoteEmpty = "Please key the chars on the image in.";

  explicit TfrmImgVal(const VerificationCodeRequest& request, QWidget* parent = nullptr);

  // The login page's address; setting it requests the page (its text is dropped). A failure
  // shows kNoteLoginPage in red.
  void SetLogURL(const std::string& url);
  const std::string& LogURL() const { return log_url_; }
  // The image's address; setting it fetches the image and shows it when its first bytes say GIF,
  // BMP, PNG or JPEG (anything else leaves the image as it was). A failed fetch or decoding shows
  // kNoteImage in red.
  void SetImgURL(const std::string& url);
  const std::string& ImgURL() const { return img_url_; }
  // The text of edtValue as typed, encoded with the locale's 8-bit codec.
  std::string ImgVal() const;

  // The whole question: LogURL and then ImgURL from `request`, the dialog shown modally over
  // `parent`. True on OK, with the typed characters in `code`.
  static bool Ask(const VerificationCodeRequest& request, QWidget* parent, std::string& code);

 private:
  void Refresh();
  void Confirm();
  void ShowFailure(const char* text);
  void SetNoteColor(bool failed);

  const VerificationCodeRequest& request_;
  std::string log_url_;
  std::string img_url_;

  QLabel* imgValue_ = nullptr;
  QLineEdit* edtValue_ = nullptr;
  QLabel* lblNote_ = nullptr;
  QPushButton* btnOK_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
  QPushButton* btnRefresh_ = nullptr;
};

}  // namespace sorvane
