#pragma once

// TfrmLogin ("Authorize/Login"), the login settings of one stored templet: HTTP basic
// authentication (user name and password) or a form login (the form's target address and its
// name/value pairs). The dialog writes to the store itself: OK replaces the templet's login rows
// by what it shows, "Delete" removes them; the caller needs no result.
//
// Usage: EditLogin below, or TfrmLogin dialog(store, http, parent); dialog.SetTempletID(id);
// dialog.exec(). `store` and `http` (the window's one client) must outlive the dialog.
//
// Widgets (object names): "rbAuthorize" "Need authorization" with the panel "pnlAuthorize"
// ("edtNam", "edtPwd"); "rbLogin" "Need login" with the panel "pnlLogin" ("edtLoginURL", the list
// "lvNvs" with the columns "Form field name", "Form field value", "Img", and "Button1" "Get");
// "btnAdd" "Add Item", "btnDelete" "Delete Item"; "btnOK" "OK" (default), "btnCancel" "Cancel",
// "btnDelAll" "Delete", "btnHelp" "Help".

#include <QDialog>

#include <string>

#include "engine/loginsettings.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace sorvane {

class HttpClient;
class Tdm;

class TfrmLogin : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kFillingIncomplete = "Filling is not completed.";
  static constexpr const char* kGetFailed = "Times out, wait minutes, try again.";
  static constexpr const char* kDeleteItemQuestion = "Sure to delete this name/value item?";
  static constexpr const char* kDeleteAllQuestion =
      "Are you sure to delete authorize /\nlogin information of this templet?";

  TfrmLogin(Tdm& store, HttpClient& http, QWidget* parent = nullptr);

  // The templet whose login rows are edited; setting it shows its rows (in the store's order).
  // Throws StoreError.
  void SetTempletID(int id);
  int TempletID() const { return templet_id_; }

  // What the dialog shows now, as bytes.
  LoginSettings Settings() const;

 private:
  void ModeChanged();
  void AppendItem(const LoginField& field);
  void GetFields();
  void AddItem();
  void EditItem(QTreeWidgetItem* item);
  void DeleteItem();
  void Confirm();
  void DeleteAll();

  Tdm& store_;
  HttpClient& http_;
  int templet_id_ = 0;

  QRadioButton* rbAuthorize_;
  QWidget* pnlAuthorize_;
  QLineEdit* edtNam_;
  QLineEdit* edtPwd_;
  QRadioButton* rbLogin_;
  QWidget* pnlLogin_;
  QLineEdit* edtLoginURL_;
  QTreeWidget* lvNvs_;
  QPushButton* Button1_;
  QPushButton* btnAdd_;
  QPushButton* btnDelete_;
  QPushButton* btnDelAll_;
};

// "Authorize/Login" of the templet editor: the login settings of stored templet `templet_id`,
// shown modally over `parent`. A store error while loading is shown in the standard error box
// and the dialog does not open. Returns true when OK saved the settings.
bool EditLogin(QWidget* parent, Tdm& store, HttpClient& http, int templet_id);

}  // namespace sorvane
