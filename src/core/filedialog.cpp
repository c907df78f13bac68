#include "core/filedialog.h"

#include <QFileDialog>

#include <deque>
#include <utility>

namespace sorvane {
namespace {

std::deque<std::optional<QStringList>>& Answers() {
  static std::deque<std::optional<QStringList>> answers;
  return answers;
}

std::vector<FileDialog::Request>& Records() {
  static std::vector<FileDialog::Request> records;
  return records;
}

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Records the question; gives the queued answer when there is one.
std::optional<std::optional<QStringList>> Ask(FileDialog::Request request) {
  Records().push_back(std::move(request));
  if (Answers().empty()) return std::nullopt;
  std::optional<QStringList> answer = std::move(Answers().front());
  Answers().pop_front();
  return answer;
}

std::optional<QString> First(const std::optional<QStringList>& answer) {
  if (!answer || answer->isEmpty() || answer->first().isEmpty()) return std::nullopt;
  return answer->first();
}

std::optional<QString> OrNothing(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace

QString PlatformFileFilter(std::string_view filter) {
  const QStringList parts = Latin1(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    const qsizetype paren = description.indexOf(QLatin1Char('('));
    if (paren >= 0) description.truncate(paren);
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'))) {
      if (!pattern.trimmed().isEmpty()) patterns << pattern.trimmed();
    }
    out << description.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
               QLatin1Char(')');
  }
  return out.join(QStringLiteral(";;"));
}

std::optional<QString> FileDialog::OpenFile(QWidget* parent, const QString& caption,
                                            std::string_view filter) {
  if (auto answer = Ask({Kind::kOpenFile, caption, Latin1(filter), {}, {}})) return First(*answer);
  return OrNothing(
      QFileDialog::getOpenFileName(parent, caption, QString(), PlatformFileFilter(filter)));
}

std::optional<QStringList> FileDialog::OpenFiles(QWidget* parent, const QString& caption,
                                                 std::string_view filter) {
  if (auto answer = Ask({Kind::kOpenFiles, caption, Latin1(filter), {}, {}})) {
    if (!*answer || (*answer)->isEmpty()) return std::nullopt;
    return *answer;
  }
  const QStringList chosen =
      QFileDialog::getOpenFileNames(parent, caption, QString(), PlatformFileFilter(filter));
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

std::optional<QString> FileDialog::SaveFile(QWidget* parent, const QString& caption,
                                            std::string_view filter, const QString& default_suffix,
                                            const QString& start) {
  if (auto answer = Ask({Kind::kSaveFile, caption, Latin1(filter), default_suffix, start})) {
    return First(*answer);
  }
  QFileDialog dialog(parent, caption, start, PlatformFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(default_suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return OrNothing(dialog.selectedFiles().first());
}

std::optional<QString> FileDialog::Folder(QWidget* parent, const QString& caption,
                                          const QString& start) {
  if (auto answer = Ask({Kind::kFolder, caption, {}, {}, start})) return First(*answer);
  return OrNothing(
      QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly));
}

void FileDialog::setNextAnswer(std::optional<QStringList> answer) {
  Answers().push_back(std::move(answer));
}

int FileDialog::pendingAnswers() {
  return static_cast<int>(Answers().size());
}

const std::vector<FileDialog::Request>& FileDialog::asked() {
  return Records();
}

FileDialog::Request FileDialog::lastAsked() {
  return Records().empty() ? Request{} : Records().back();
}

void FileDialog::clearRecord() {
  Records().clear();
  Answers().clear();
}

}  // namespace sorvane
