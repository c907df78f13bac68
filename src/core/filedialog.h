#pragma once

// The file and folder dialog seam. Every open, save and folder question of the program goes
// through FileDialog, so that tests can answer it in advance (setNextAnswer) instead of a user,
// and can read what was asked.
//
// Filters are written as the program's texts give them: "description|patterns|description|
// patterns..." with the patterns of one entry separated by ";". They are recorded as given and
// shown in the platform dialog's form.
//
// Interface thread only. With an answer queued, a question returns it without showing anything;
// with the queue empty it shows the real modal dialog. Either way the question is recorded.

#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>
#include <vector>

class QWidget;

namespace sorvane {

class FileDialog {
 public:
  enum class Kind { kOpenFile, kOpenFiles, kSaveFile, kFolder };

  // One question, as recorded for tests.
  struct Request {
    Kind kind = Kind::kOpenFile;
    QString caption;
    QString filter;          // in the program's "description|patterns" form
    QString default_suffix;  // save: appended when the name typed has none
    QString start;           // the file name or folder proposed, empty for none
  };

  // One existing file; nothing when cancelled.
  static std::optional<QString> OpenFile(QWidget* parent, const QString& caption,
                                         std::string_view filter);
  // One or more existing files, in the order chosen; nothing when cancelled (or none chosen).
  static std::optional<QStringList> OpenFiles(QWidget* parent, const QString& caption,
                                              std::string_view filter);
  // The name of a file to write (an existing one is confirmed by the dialog itself); nothing
  // when cancelled.
  static std::optional<QString> SaveFile(QWidget* parent, const QString& caption,
                                         std::string_view filter, const QString& default_suffix,
                                         const QString& start = QString());
  // An existing folder; nothing when cancelled. `start` is preselected when not empty.
  static std::optional<QString> Folder(QWidget* parent, const QString& caption,
                                       const QString& start);

  // Test hook: queues the answer of the next question, taken in the order queued. Nothing means
  // cancel; otherwise the paths chosen (one for every kind but kOpenFiles).
  static void setNextAnswer(std::optional<QStringList> answer);
  static void setNextAnswer(const QString& path) { setNextAnswer(QStringList{path}); }
  static int pendingAnswers();
  // Every question since the last clearRecord(), oldest first.
  static const std::vector<Request>& asked();
  static Request lastAsked();
  // Forgets the recorded questions and drops queued answers.
  static void clearRecord();
};

// A filter in the program's "description|patterns" form in the platform dialog's form
// "description (patterns);;...".
QString PlatformFileFilter(std::string_view filter);

}  // namespace sorvane
