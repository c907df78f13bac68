#pragma once

// What a run (and any long store operation) needs from whoever started it: the main window, a
// test, or the headless runner. Nothing else of the window reaches the logic.

#include <functional>
#include <string>
#include <string_view>

namespace sorvane {

class ResultGrid;

class RunHost {
 public:
  enum class Icon { kInformation, kWarning, kQuestion, kError };
  enum class Buttons { kOk, kOkCancel, kYesNo };
  enum class Answer { kOk, kCancel, kYes, kNo };

  virtual ~RunHost() = default;

  // Sets the progress text (status panel 0) and processes pending window events, so that the
  // window repaints and a click on Stop takes effect.
  virtual void ShowStatus(std::string_view text) = 0;
  // Processes pending window events without changing the status; called while a wait goes on.
  virtual void ProcessEvents() = 0;

  // The stop flag: true while a run may go on (the window's "&Stop!" item is enabled).
  virtual bool StopEnabled() const = 0;
  virtual void SetStopEnabled(bool enabled) = 0;

  // A modal message box with the given caption, text, icon and buttons.
  virtual Answer Message(std::string_view caption, std::string_view text, Icon icon,
                         Buttons buttons) = 0;

  // Asks the user for a verification code read from an image: `login_url` is the login page,
  // `fetch_image` returns the image file's bytes (called at first and again on every refresh).
  // Returns false when the user cancels; otherwise `code` holds what the user typed.
  virtual bool AskVerificationCode(std::string_view login_url,
                                   const std::function<std::string()>& fetch_image,
                                   std::string& code) = 0;

  // The result grid the run fills.
  virtual ResultGrid& Grid() = 0;
};

}  // namespace sorvane
