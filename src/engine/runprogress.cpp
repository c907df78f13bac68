#include "engine/runprogress.h"

#include <charconv>

#include "core/runhost.h"

namespace sorvane {

void RunProgress::Steps(std::int64_t done, std::int64_t total, std::string_view unit) {
  if (one_page_) return;
  if (done == 0 && total == 1 && (unit == "pages" || unit == "files")) {
    one_page_ = true;
    host_.ShowProgressBar(0, 1, "0 records");
    return;
  }
  bar_.Show(done, total, unit);
}

void RunProgress::Reached(std::size_t pos, std::size_t size, int records) {
  if (!one_page_) return;
  static constexpr std::string_view kSuffix = " records";
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, records);
  label_.assign(digits, end);
  label_.append(kSuffix);
  const std::size_t done = pos > 0 ? pos - 1 : 0;
  host_.ShowProgressBar(static_cast<std::int64_t>(done < size ? done : size),
                        static_cast<std::int64_t>(size > 0 ? size : 1), label_);
}

}  // namespace sorvane
