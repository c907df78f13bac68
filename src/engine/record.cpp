#include "engine/record.h"

#include <time.h>

#include <chrono>

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

std::int64_t RecordAppender::TickMs() {
#if defined(CLOCK_MONOTONIC_COARSE)
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#else
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
#endif
}

void RecordAppender::Show() {
  shown_ms_ = TickMs();
  if (position_unshown_) {
    position_unshown_ = false;
    progress_->Reached(reached_, page_size_, extracted_);
  }
  if (!count_unshown_) return;
  count_unshown_ = false;
  static constexpr std::string_view kSuffix = " records extrated.";
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, extracted_);
  status_.assign(digits, end);
  status_.append(kSuffix);
  host_.ShowExtracted(extracted_, status_);
}

}  // namespace sorvane
