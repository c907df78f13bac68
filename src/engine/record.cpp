#include "engine/record.h"

#include "core/runhost.h"
#include "engine/runprogress.h"

namespace sorvane {

bool RecordAppender::StopRequested() const {
  return !host_.StopEnabled();
}

std::string RecordAppender::FinishSlow(const TCol& col, std::string value) const {
  if (col.IsTrans) value = TranslateValue(rules_, col.ColID, std::move(value), charset_);
  // Translation comes first, so rules can turn a cut value into an image address.
  if (col.Kind == kColImage && download_ != nullptr && *download_) value = (*download_)(value);
  return value;
}

void RecordAppender::Counted() {
  ++extracted_;
  ++appended_;
  static constexpr std::string_view kSuffix = " records extrated.";
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, extracted_);
  status_.assign(digits, end);
  status_.append(kSuffix);
  host_.ShowExtracted(extracted_, status_);
}

void RecordAppender::ReportReached(std::size_t pos) const {
  progress_->Reached(pos, page_size_, extracted_);
}

}  // namespace sorvane
