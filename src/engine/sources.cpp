#include "engine/sources.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "core/store.h"
#include "engine/decimal.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"

namespace sorvane {
namespace {

constexpr std::string_view kAutoTag = "(?i)<AUTOINC:(.+?)/>";
constexpr std::string_view kRange = "(\\d+),(\\d+)";

// The pages planned after the last one of a sequence: after_last(k) is the k-th.
using PlanAfter = std::function<std::optional<std::string>(long long k)>;

std::optional<std::string> NothingAfter(long long) {
  return std::nullopt;
}
const PagesAhead NothingAhead = [](int) -> std::optional<std::string> { return std::nullopt; };

// The numbered pages of `url` (a page-number tag in it), each extracted with `field_value`.
// With `stop_when_empty` a page that yields no records is the last one (and the pages are not
// counted as steps of the walk: the field values are). Returns false when the visitor ended the
// run.
bool WalkNumberedPages(RegExpr& re, const std::string& url, const TAuto& tag,
                       std::string_view field_value, bool stop_when_empty, PageVisitor& visitor,
                       const PlanAfter& after_last = NothingAfter) {
  // 64 bits: the number after a last page of 2147483647 is still compared correctly.
  long long n = tag.IsRange ? tag.FromNo : 1;
  bool go_on = tag.IsRange ? n <= tag.ToNo : true;
  const long long first = n;
  const long long total = tag.IsRange && go_on ? static_cast<long long>(tag.ToNo) - first + 1 : 0;
  SeenPages seen;
  while (go_on) {
    if (!stop_when_empty) visitor.Progress(n - first, total, "pages");
    VisitedPage page;
    page.seen = &seen;
    const PagesAhead ahead = [&](int k) -> std::optional<std::string> {
      if (!tag.IsRange) return std::nullopt;
      const long long left = tag.ToNo - n;
      if (k <= left) return SubstitutePageNo(re, url, n + k);
      return after_last(k - left);
    };
    visitor.Upcoming(ahead);
    if (!visitor.Visit(SubstitutePageNo(re, url, n), field_value, page)) return false;
    if (page.repeated) break;
    ++n;
    go_on = tag.IsRange ? n <= tag.ToNo : PosText(tag.EndText, page.text, 1) != 0;
    if (stop_when_empty && !page.extracted) go_on = false;
  }
  if (!stop_when_empty) visitor.Progress(n - first, total, "pages");
  return true;
}

// Visits the pages of every unvisited value of the database field and marks each value visited
// once its pages are done.
void WalkFieldValues(Tdm& store, RegExpr& re, const std::string& url, const SourceTags& tags,
                     PageVisitor& visitor) {
  const TFld& fld = tags.Fld;
  Query& values = store.qryM;
  SeenPages seen;  // the values' pages, without page-number tag
  // The values are all known once the select has run, so the pages of later values can be
  // planned while one is visited.
  std::vector<std::string> all;
  for (values.Open("select distinct " + fld.Field + " from " + fld.Table + " where fx=0");
       !values.Eof(); values.Next()) {
    all.push_back(values.AsString(0));
  }
  const auto total = static_cast<std::int64_t>(all.size());
  const std::string_view unit = tags.HasAuto ? "values" : "pages";
  // Pages per value in the plan: one without a page-number tag, the range's length with one;
  // unknown (0) for the end-tag form.
  long long per_value = 1;
  if (tags.HasAuto) {
    const TAuto& tag = tags.Auto;
    per_value =
        tag.IsRange ? std::max<long long>(0, static_cast<long long>(tag.ToNo) - tag.FromNo + 1) : 0;
  }
  for (std::size_t i = 0; i < all.size(); ++i) {
    visitor.Progress(static_cast<std::int64_t>(i), total, unit);
    const std::string& value = all[i];
    // The k-th page planned after every page of this value.
    const PlanAfter after_value = [&, i](long long k) -> std::optional<std::string> {
      if (per_value == 0) return std::nullopt;
      const long long skip = (k - 1) / per_value;
      if (skip >= static_cast<long long>(all.size() - i - 1)) return std::nullopt;
      const std::string later =
          SubstituteField(re, url, all[i + 1 + static_cast<std::size_t>(skip)]);
      if (!tags.HasAuto) return later;
      return SubstitutePageNo(re, later, tags.Auto.FromNo + (k - 1) % per_value);
    };
    // A failure keeps the value's flag at 0, so a later run visits it again; this run goes on
    // with the next value rather than repeating a failure that may well persist.
    try {
      const std::string url1 = SubstituteField(re, url, value);
      if (tags.HasAuto) {
        if (!WalkNumberedPages(re, url1, tags.Auto, value, true, visitor, after_value)) return;
      } else {
        VisitedPage page;
        page.seen = &seen;
        const PagesAhead ahead = [&](int k) { return after_value(k); };
        visitor.Upcoming(ahead);
        if (!visitor.Visit(url1, value, page) || page.repeated) return;
      }
    } catch (const std::exception& e) {
      visitor.Failed("the pages of " + fld.Field + " value \"" + value + "\" failed: " + e.what());
      continue;
    }
    // A Stop during the last page ended its records early: the value is not finished.
    if (visitor.Stopped()) return;
    try {
      store.conn.Execute("update " + fld.Table + " set fx=1 where " + fld.Field + "=" +
                         QuotedStr(value));
    } catch (const std::exception& e) {
      visitor.Failed("the extract flag of " + fld.Field + " value \"" + value +
                     "\" could not be set: " + e.what());
    }
  }
  visitor.Progress(total, total, unit);
}

}  // namespace

bool SeenPages::Repeats(std::string_view text) {
  return !digests_.emplace(text.size(), std::hash<std::string_view>{}(text)).second;
}

SourceTags ParseSourceTags(RegExpr& re, std::string_view url) {
  SourceTags tags;
  re.SetExpression(kAutoTag);
  if (re.Exec(url)) {
    tags.HasAuto = true;
    const std::string inner = re.Match(1);
    re.SetExpression(kRange);
    if (re.Exec(inner)) {
      tags.Auto.IsRange = true;
      tags.Auto.FromNo = RequireDecimalInt32(re.Match(1));
      tags.Auto.ToNo = RequireDecimalInt32(re.Match(2));
    } else {
      tags.Auto.EndText = inner;
    }
  }
  re.SetExpression(kFieldTagPattern);
  if (re.Exec(url)) {
    tags.HasFld = true;
    tags.Fld.Table = re.Match(1);
    tags.Fld.Field = re.Match(2);
  }
  return tags;
}

std::string SubstituteField(RegExpr& re, std::string_view url, std::string_view value) {
  re.SetExpression(kFieldTagPattern);
  return re.Replace(url, value);
}

std::string SubstitutePageNo(RegExpr& re, std::string_view url, long long page_no) {
  re.SetExpression(kPageNoTagPattern);
  return re.Replace(url, std::to_string(page_no));
}

void WalkSourcePages(Tdm& store, RegExpr& re, const std::string& url, const SourceTags& tags,
                     PageVisitor& visitor) {
  if (tags.HasFld) {
    WalkFieldValues(store, re, url, tags, visitor);
  } else if (tags.HasAuto) {
    WalkNumberedPages(re, url, tags.Auto, {}, false, visitor);
  } else {
    visitor.Progress(0, 1, "pages");
    VisitedPage page;
    visitor.Upcoming(NothingAhead);
    if (visitor.Visit(url, {}, page)) visitor.Progress(1, 1, "pages");
  }
}

}  // namespace sorvane
