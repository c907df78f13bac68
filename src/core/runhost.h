#pragma once

// What a run (and any long store operation) needs from whoever started it: the main window, a
// test, or the headless runner. Nothing else of the window reaches the logic.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sorvane {

class ResultGrid;

// The two requests behind a verification-code question, made with the run's HTTP client. Each
// returns false when its request failed.
struct VerificationCodeRequest {
  std::string login_url;  // the login form's address; its page is requested before every image
  std::string image_url;  // the verification image
  // Requests the page at `url` so that the site sets the cookies of this visit; the text is
  // dropped.
  std::function<bool(std::string_view url)> open_login_page;
  // Fetches the image at `url` into `bytes`.
  std::function<bool(std::string_view url, std::string& bytes)> fetch_image;
};

class RunHost {
 public:
  enum class Icon { kInformation, kWarning, kQuestion, kError };
  enum class Buttons { kOk, kOkCancel, kYesNo };
  enum class Answer { kOk, kCancel, kYes, kNo };

  virtual ~RunHost() = default;

  // Sets the progress text (status panel 0) and processes pending window events, so that the
  // window repaints and a click on Stop takes effect.
  virtual void ShowStatus(std::string_view text) = 0;
  // The run's extracted count after each record, with its status text "<count> records
  // extrated."; shown as any status unless the host treats counts apart (the headless runner
  // prints them only a few times a second).
  virtual void ShowExtracted(int count, std::string_view text) {
    static_cast<void>(count);
    ShowStatus(text);
  }
  // A progress text that changes with every item of a long operation (saving rows, for one):
  // shown as any status unless the host shows such texts only a few times a second.
  virtual void ShowProgress(std::string_view text) { ShowStatus(text); }
  // The bar beside the status panels while a long operation goes on (a run, a save to the table,
  // an export, an import): `done` of `total` steps, a total of 0 or less when it is not known,
  // and `label` as the bar's text ("3 of 10 pages"). An operation may call it for every item:
  // the host shows the latest amount a few times a second. HideProgressBar ends it
  // (ProgressBarScope, progressbar.h, does so for the operation that showed it). A host that
  // shows no bar keeps these.
  virtual void ShowProgressBar(std::int64_t done, std::int64_t total, std::string_view label) {
    static_cast<void>(done);
    static_cast<void>(total);
    static_cast<void>(label);
  }
  virtual void HideProgressBar() {}
  // Processes pending window events without changing the status; called while a wait goes on.
  virtual void ProcessEvents() = 0;

  // The stop flag: true while a run may go on (the window's "&Stop!" item is enabled).
  virtual bool StopEnabled() const = 0;
  virtual void SetStopEnabled(bool enabled) = 0;

  // A modal message box with the given caption, text, icon and buttons.
  virtual Answer Message(std::string_view caption, std::string_view text, Icon icon,
                         Buttons buttons) = 0;

  // Asks the user for the characters on a login form's verification image (the window shows
  // TfrmImgVal): the login page is requested through `request`, then the image, and both again on
  // every refresh. Returns false when the user cancels or no one can be asked; otherwise `code`
  // holds what the user typed, untrimmed and never blanks only.
  virtual bool AskImageCode(const VerificationCodeRequest& request, std::string& code) = 0;

  // The result grid the run fills.
  virtual ResultGrid& Grid() = 0;

  // Why the failure the run has just reported (by a status text or a message) happened, in words
  // for the user: the HTTP status of a page that failed to load, an expression's error, a store
  // that stayed locked. Empty when a run starts. The window shows it as the tool tip of its status
  // text; the headless runner writes it to standard error. A host that shows no causes keeps this.
  virtual void ShowCause(std::string_view cause) { static_cast<void>(cause); }
  // A remark about the run that is no failure: a page sequence stopped on a repeated page, a page
  // without records among pages with records, why a run found no record. The window adds it to
  // its status text's tool tip (a run's start, ShowCause({}), clears them); the headless runner
  // writes it to standard error. A host that shows no remarks keeps this.
  virtual void ShowNote(std::string_view note) { static_cast<void>(note); }
};

}  // namespace sorvane
