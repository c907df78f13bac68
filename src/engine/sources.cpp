#include "engine/sources.h"

#include <exception>
#include <functional>
#include <string>

#include "core/store.h"
#include "engine/decimal.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"

namespace sorvane {
namespace {

constexpr std::string_view kAutoTag = "(?i)<AUTOINC:(.+?)/>";
constexpr std::string_view kRange = "(\\d+),(\\d+)";

// The numbered pages of `url` (a page-number tag in it), each extracted with `field_value`.
// With `stop_when_empty` a page that yields no records is the last one (and the pages are not
// counted as steps of the walk: the field values are). Returns false when the visitor ended the
// run.
bool WalkNumberedPages(RegExpr& re, const std::string& url, const TAuto& tag,
                       std::string_view field_value, bool stop_when_empty, PageVisitor& visitor) {
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
  values.Open("select distinct " + fld.Field + " from " + fld.Table + " where fx=0");
  const auto total = static_cast<std::int64_t>(values.RecordCount());
  const std::string_view unit = tags.HasAuto ? "values" : "pages";
  for (std::int64_t done = 0; !values.Eof(); values.Next(), ++done) {
    visitor.Progress(done, total, unit);
    const std::string value = values.AsString(0);
    // A failure keeps the value's flag at 0, so a later run visits it again; this run goes on
    // with the next value rather than repeating a failure that may well persist.
    try {
      const std::string url1 = SubstituteField(re, url, value);
      if (tags.HasAuto) {
        if (!WalkNumberedPages(re, url1, tags.Auto, value, true, visitor)) return;
      } else {
        VisitedPage page;
        page.seen = &seen;
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
    if (visitor.Visit(url, {}, page)) visitor.Progress(1, 1, "pages");
  }
}

}  // namespace sorvane
