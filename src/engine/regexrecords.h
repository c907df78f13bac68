#pragma once

// Regular-expression extraction: one expression describes a record and every column takes one
// sub-expression ("$n") of the match.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/record.h"
#include "engine/texttag.h"

namespace sorvane {

class RegExpr;
class RunHost;

// Status texts of the two record loops.
inline constexpr std::string_view kStatusExpressionInvalid = "Regular expression is invalide.";
inline constexpr std::string_view kStatusExpressionWrong = "Regular expression is wrong.";

// The expression and the column references of a regular-expression templet, read once per run.
class RegexPlan {
 public:
  RegexPlan(const std::vector<TCol>& cols, std::string expression, std::string_view record_open,
            std::string_view record_close);

  // The records of one page, appended through `appender`; true when at least one was completed.
  // Without record tags every match over the whole page (from its first byte, whatever `pos` is)
  // is a record, and any error ends the page's matches with kStatusExpressionInvalid. With record
  // tags the blocks are cut from `pos` on; the first match in each block is a record, a block
  // without a match adds nothing, and an error in one block shows kStatusExpressionWrong before
  // the next block is tried. A row whose filling fails stays in the grid uncounted. Either loop
  // ends early when the user asks to stop, also from inside a search (RegExprStopped), which
  // shows no status. `re` must not be used by anyone else meanwhile.
  bool ExtractRecords(RecordAppender& appender, RunHost& host, RegExpr& re, std::string_view page,
                      std::size_t pos) const;

  // The sub-expression number of a column reference: characters 2 to 11 of the open tag as a
  // decimal number, nullopt when they are not one.
  static std::optional<int> SubExpressionOf(std::string_view open_tag);

 private:
  bool WholePage(RecordAppender& appender, RunHost& host, RegExpr& re, std::string_view page) const;
  bool RecordBlocks(RecordAppender& appender, RunHost& host, RegExpr& re, std::string_view page,
                    std::size_t pos) const;
  void AppendMatch(RecordAppender& appender, const RegExpr& re) const;
  std::string_view ValueOf(const RegExpr& re, int match_count, std::size_t column) const;

  std::string expression_;
  std::vector<std::optional<int>> refs_;  // per column
  std::vector<std::string> ref_texts_;    // the referencing text, for the error of a bad one
  bool record_tags_ = false;
  TagPair record_;
};

}  // namespace sorvane
