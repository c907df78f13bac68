#include "engine/regexrecords.h"

#include <exception>
#include <utility>

#include "core/runhost.h"
#include "engine/decimal.h"
#include "engine/regexpr.h"

namespace sorvane {

RegexPlan::RegexPlan(const std::vector<TCol>& cols, std::string expression,
                     std::string_view record_open, std::string_view record_close)
    : expression_(std::move(expression)) {
  refs_.reserve(cols.size());
  ref_texts_.reserve(cols.size());
  for (const TCol& col : cols) {
    refs_.push_back(SubExpressionOf(col.OpenTag));
    ref_texts_.emplace_back(col.OpenTag.size() > 1 ? col.OpenTag.substr(1, 10) : std::string());
  }
  record_tags_ = !record_open.empty() && !record_close.empty();
  if (record_tags_) record_ = TagPair(record_open, record_close);
}

std::optional<int> RegexPlan::SubExpressionOf(std::string_view open_tag) {
  return DecimalInt32(open_tag.size() > 1 ? open_tag.substr(1, 10) : std::string_view());
}

std::string_view RegexPlan::ValueOf(const RegExpr& re, int match_count, std::size_t column) const {
  // A reference that is no number fails only when a record needs it, like any error of a row.
  const int n = refs_[column] ? *refs_[column] : RequireDecimalInt32(ref_texts_[column]);
  if (match_count < n) return {};
  return re.MatchView(n);
}

void RegexPlan::AppendMatch(RecordAppender& appender, const RegExpr& re) const {
  const int match_count = re.SubExprMatchCount();
  appender.AppendRecord([&](std::size_t i) { return ValueOf(re, match_count, i); });
}

bool RegexPlan::ExtractRecords(RecordAppender& appender, RunHost& host, RegExpr& re,
                               std::string_view page, std::size_t pos) const {
  return record_tags_ ? RecordBlocks(appender, host, re, page, pos)
                      : WholePage(appender, host, re, page);
}

bool RegexPlan::WholePage(RecordAppender& appender, RunHost& host, RegExpr& re,
                          std::string_view page) const {
  const int before = appender.Appended();
  try {
    re.SetExpression(expression_);
    for (bool found = re.Exec(page); found; found = re.ExecNext()) {
      AppendMatch(appender, re);
      appender.Reached(re.MatchPos(0) + re.MatchLen(0) + 1);
      if (appender.StopRequested()) break;
    }
  } catch (const RegExprStopped&) {
    // The user stopped the run in the middle of a search: no expression is at fault.
  } catch (const std::exception& e) {
    host.ShowStatus(kStatusExpressionInvalid);
    host.ShowCause(e.what());
  }
  return appender.Appended() > before;
}

bool RegexPlan::RecordBlocks(RecordAppender& appender, RunHost& host, RegExpr& re,
                             std::string_view page, std::size_t pos) const {
  const int before = appender.Appended();
  std::string_view block;
  // Cutting the blocks is not part of a block's work: its errors end the run.
  while (record_.Cut(page, block, pos)) {
    try {
      re.SetExpression(expression_);
      if (re.Exec(block)) AppendMatch(appender, re);
    } catch (const RegExprStopped&) {
      break;
    } catch (const std::exception& e) {
      host.ShowStatus(kStatusExpressionWrong);
      host.ShowCause(e.what());
    }
    appender.Reached(pos);
    if (appender.StopRequested()) break;
  }
  return appender.Appended() > before;
}

}  // namespace sorvane
