#include "engine/texttag.h"

#include <optional>

#include "engine/decimal.h"
#include "engine/qstrings.h"

namespace sorvane {
namespace {

constexpr std::string_view kLastCloseTag = "[..]";
constexpr std::string_view kCrLfTag = "[CRLF]";
constexpr std::string_view kEllipsis = "...";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// `text` without the bytes of code 32 or less at both ends: TrimInPlace on a view.
std::string_view Trimmed(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32)
    ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
    --last;
  return text.substr(first, last - first);
}

}  // namespace

bool FindAfter(std::string_view word, std::string_view text, std::size_t& p) {
  p = PosText(word, text, p);
  if (p == 0) return false;
  p += word.size();
  return true;
}

TagPair::TagPair(std::string_view open_tag, std::string_view close_tag) {
  // The repetition form is what "(.+?)\{(\d+)\}" finds: the shortest word of at least one
  // character that is followed by a brace group holding only digits.
  for (std::size_t k = 1; k < open_tag.size() && form_ != Form::kRepeat; ++k) {
    if (open_tag[k] != '{') continue;
    std::size_t j = k + 1;
    while (j < open_tag.size() && IsDigit(open_tag[j]))
      ++j;
    if (j > k + 1 && j < open_tag.size() && open_tag[j] == '}') {
      form_ = Form::kRepeat;
      open_.assign(open_tag.substr(0, k));
      count_text_.assign(open_tag.substr(k + 1, j - k - 1));
      if (const std::optional<int> n = DecimalInt32(count_text_)) {
        count_ = *n;
      } else {
        count_too_large_ = true;
      }
    }
  }
  // The ellipsis is looked for in the whole open tag, also after a repetition's brace group.
  if (const std::size_t d = PosText(kEllipsis, open_tag, 1); d > 0) {
    ellipsis_ = true;
    tail_.assign(open_tag.substr(d - 1 + kEllipsis.size()));
    if (form_ != Form::kRepeat) head_.assign(open_tag.substr(0, d - 1));
  }
  if (form_ != Form::kRepeat && !ellipsis_) {
    if (open_tag == kLastCloseTag) {
      form_ = Form::kLastClose;
    } else {
      open_.assign(open_tag);
    }
  }
  close_.assign(close_tag == kCrLfTag ? std::string_view("\r\n") : close_tag);
}

bool TagPair::Start(std::string_view text, std::size_t& p) const {
  if (form_ == Form::kRepeat) {
    if (count_too_large_) RequireDecimalInt32(count_text_);
    for (int n = 0; n < count_; ++n) {
      if (!FindAfter(open_, text, p)) return false;
    }
  }
  if (ellipsis_) {
    if (form_ != Form::kRepeat && !FindAfter(head_, text, p)) return false;
    return FindAfter(tail_, text, p);
  }
  if (form_ == Form::kPlain) return FindAfter(open_, text, p);
  return true;
}

bool TagPair::Cut(std::string_view text, std::string_view& value, std::size_t& pos) const {
  value = {};
  std::size_t p = pos;
  if (!Start(text, p)) return false;
  const std::size_t c = PosText(close_, text, p);
  if (p == 0 || c <= p) return false;
  value = Trimmed(text.substr(p - 1, c - p));
  pos = c + close_.size();
  return true;
}

bool TagPair::Cut(std::string_view text, std::string& value, std::size_t& pos) const {
  std::string_view cut;
  const bool found = Cut(text, cut, pos);
  value = std::string(cut);
  return found;
}

bool CutTag(std::string_view text, std::string_view open_tag, std::string& value, std::size_t& pos,
            std::string_view close_tag) {
  return TagPair(open_tag, close_tag).Cut(text, value, pos);
}

TextTagPlan::TextTagPlan(const std::vector<TCol>& cols, std::string_view record_open,
                         std::string_view record_close)
    : cols_(cols) {
  tags_.reserve(cols.size());
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].Kind == kColFieldValue) {
      tags_.emplace_back();
      continue;
    }
    tags_.emplace_back(cols[i].OpenTag, cols[i].CloseTag);
    if (first_data_ < 0) first_data_ = static_cast<int>(i);
  }
  record_tags_ = !record_open.empty() && !record_close.empty();
  if (record_tags_) record_ = TagPair(record_open, record_close);
}

bool TextTagPlan::ExtractRecords(RecordAppender& appender, std::string_view page,
                                 std::size_t pos) const {
  return record_tags_ ? WithRecordTags(appender, page, pos)
                      : WithoutRecordTags(appender, page, pos);
}

bool TextTagPlan::WithRecordTags(RecordAppender& appender, std::string_view page,
                                 std::size_t pos) const {
  const int before = appender.Appended();
  std::string_view block;
  while (record_.Cut(page, block, pos)) {
    // The columns of one record share this position: a failed cut leaves it where it was.
    std::size_t q = 1;
    appender.AppendRecord([&](std::size_t i) {
      std::string_view value;
      tags_[i].Cut(block, value, q);
      return value;
    });
    appender.Reached(pos);
    if (appender.StopRequested()) break;
  }
  return appender.Appended() > before;
}

bool TextTagPlan::WithoutRecordTags(RecordAppender& appender, std::string_view page,
                                    std::size_t pos) const {
  if (first_data_ < 0) return false;
  const int before = appender.Appended();
  const TCol& first = cols_[static_cast<std::size_t>(first_data_)];
  // The presence tests search the first data column's tags as written, whatever their form.
  while (PosText(first.OpenTag, page, pos) != 0 &&
         PosText(first.CloseTag, page, pos + first.OpenTag.size()) != 0) {
    const std::size_t record_start = pos;
    appender.AppendRecord([&](std::size_t i) {
      std::string_view value;
      tags_[i].Cut(page, value, pos);
      return value;
    });
    // A record none of whose cuts moved on would be cut again the same way for ever.
    if (pos == record_start) break;
    appender.Reached(pos);
    if (appender.StopRequested()) break;
  }
  return appender.Appended() > before;
}

}  // namespace sorvane
