#pragma once

// The run's columns and the one step by which every extraction method adds a record to the grid.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/resultgrid.h"
#include "core/templetmodel.h"
#include "engine/translate.h"

namespace sorvane {

class RunHost;
class RunProgress;

// Downloads the image a kind-3 value names and returns the saved file's name, or empty text.
using ImageDownload = std::function<std::string(std::string_view address)>;

// AppendRecord for the records of one page. It holds references only; everything it refers to
// must outlive it.
class RecordAppender {
 public:
  // `extracted` is the run's extracted count. Without `download`, an image column keeps its
  // (translated) value. The rows a failure leaves half-filled are added to `unfinished` (when
  // given).
  RecordAppender(RunHost& host, ResultGrid& grid, const std::vector<TCol>& cols,
                 const std::vector<TTrans>& rules, std::string_view field_value,
                 const ImageDownload* download, int& extracted,
                 std::vector<int>* unfinished = nullptr)
      : host_(host),
        grid_(grid),
        cols_(cols),
        rules_(rules),
        field_value_(field_value),
        download_(download),
        extracted_(extracted),
        unfinished_(unfinished) {}
  // What stays on screen when the page ends, by return or by error, is exact.
  ~RecordAppender() { ShowLatest(); }
  RecordAppender(const RecordAppender&) = delete;
  RecordAppender& operator=(const RecordAppender&) = delete;

  // Appends one row. Column i of kind 2 takes the field value; every other column takes
  // raw(i) (a text or a view of one) (called in column order, only for those columns, so a method
  // may cut them in sequence). Each value is translated when the column has rules, then downloaded
  // for kind 3. The row is counted and the status shows the count. When a step throws, the row
  // stays in the grid with the cells filled so far, is not counted, and the error passes on.
  template <class RawValue>
  void AppendRecord(RawValue&& raw) {
    // The row exists before its cells are filled: when a step throws, it keeps what it has.
    const int row = grid_.AppendRow(0);
    try {
      for (std::size_t i = 0; i < cols_.size(); ++i) {
        const TCol& col = cols_[i];
        const int column = static_cast<int>(i) + 1;
        if (col.Kind == kColFieldValue) {
          grid_.SetCell(column, row, Finish(col, std::string(field_value_)));
        } else if (!col.IsTrans && col.Kind != kColImage) {
          // A plain value goes from the page into the grid without a copy of its own.
          const auto& value = raw(i);
          grid_.SetCell(column, row, std::string_view(value));
        } else {
          grid_.SetCell(column, row, Finish(col, std::string(raw(i))));
        }
      }
    } catch (...) {
      if (unfinished_ != nullptr) unfinished_->push_back(row);
      throw;
    }
    Counted();
  }

  // In a run of one page, `progress` follows the record loop through the page of `size` bytes:
  // the loops call Reached after every record with the position they have come to.
  void FollowPage(RunProgress* progress, std::size_t size) {
    progress_ = progress;
    page_size_ = size;
  }
  // The record loop stands at byte `pos` (1-based) of the page.
  void Reached(std::size_t pos) {
    if (progress_ == nullptr) return;
    reached_ = pos;
    position_unshown_ = true;
    if (ShowDue()) Show();
  }
  // Shows the count and the position the loop reached when either changed since they were last
  // shown.
  void ShowLatest() {
    if (count_unshown_ || position_unshown_) Show();
  }
  // The charset of the page the values come from (translation rules write characters in it);
  // UTF-8 unless set. The view must outlive the appender.
  void SetCharset(std::string_view charset) { charset_ = charset; }

  // Records this appender completed (counted), for ExtractPage's result.
  int Appended() const { return appended_; }
  // True once the user has asked the run to stop; the record loops end the page then.
  bool StopRequested() const;

 private:
  std::string Finish(const TCol& col, std::string value) const {
    if (!col.IsTrans && col.Kind != kColImage) return value;
    return FinishSlow(col, std::move(value));
  }
  std::string FinishSlow(const TCol& col, std::string value) const;
  // The count and the loop's position reach the host after the page's first record and then at
  // most every kShowEveryMs (a record may take a microsecond: showing each would cost more than
  // cutting it); a record that takes longer, such as one that downloads an image, is shown at
  // once. The clock read is the system's coarse tick, a few nanoseconds.
  static constexpr std::int64_t kShowEveryMs = 10;
  void Counted() {
    ++extracted_;
    ++appended_;
    count_unshown_ = true;
    if (appended_ == 1 || ShowDue()) Show();
  }
  bool ShowDue() const { return TickMs() - shown_ms_ >= kShowEveryMs; }
  static std::int64_t TickMs();
  void Show();

  RunHost& host_;
  ResultGrid& grid_;
  const std::vector<TCol>& cols_;
  const std::vector<TTrans>& rules_;
  std::string_view field_value_;
  const ImageDownload* download_;
  int& extracted_;
  std::vector<int>* unfinished_;
  int appended_ = 0;
  RunProgress* progress_ = nullptr;
  std::size_t page_size_ = 0;
  std::size_t reached_ = 0;
  bool count_unshown_ = false;
  bool position_unshown_ = false;
  std::int64_t shown_ms_ = 0;
  std::string_view charset_ = "UTF-8";
  std::string status_;  // reused for the count status, so a record costs no allocation here
};

}  // namespace sorvane
