#pragma once

// The pages of a web templet: the page-number tag and the database-field tag of its URL, and the
// sequence of pages they expand to.
//
//   <AUTOINC:a,b/>    pages a, a+1, ..., b
//   <AUTOINC:text/>   pages 1, 2, 3, ... as long as each fetched page contains the text
//   <FIELD:Tn,Fm/>    one page (or page sequence) per distinct value of field fm of user table tn
//                     whose extract flag fx is 0
//
// Tag names are matched in any letter case. The tags are read and replaced with the run's
// expression engine, which these functions set anew on every use.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace sorvane {

class RegExpr;
class Tdm;

// The page-number tag of a run.
struct TAuto {
  int FromNo = 0;       // first page number (range form)
  int ToNo = 0;         // last page number (range form)
  std::string EndText;  // the text of the end-tag form
  bool IsRange = false;
};

// The database-field tag of a run, its parts as written in the URL ("T12", "F3").
struct TFld {
  std::string Table;
  std::string Field;
};

// The tags as a URL holds them, letter case ignored: the page-number tag in either form, and the
// database-field tag with its table ("T12") and field ("F3") as groups 1 and 2.
inline constexpr std::string_view kPageNoTagPattern = "(?i)<AUTOINC:.+?/>";
inline constexpr std::string_view kFieldTagPattern = "(?i)<FIELD:(T\\d+),(F\\d+)/>";

struct SourceTags {
  TAuto Auto;
  TFld Fld;
  bool HasAuto = false;  // the URL has a page-number tag
  bool HasFld = false;   // the URL has a database-field tag
};

// Reads both tags of `url`. The first page-number tag counts; its inner text is a range when it
// holds a decimal-comma-decimal group anywhere, and the end text otherwise. Throws RunError when a
// page number of the range form does not fit a 32-bit signed integer.
SourceTags ParseSourceTags(RegExpr& re, std::string_view url);

// `url` with every database-field tag replaced by `value`, inserted literally (no URL encoding).
std::string SubstituteField(RegExpr& re, std::string_view url, std::string_view value);
// `url` with every page-number tag replaced by `page_no` in decimal.
std::string SubstitutePageNo(RegExpr& re, std::string_view url, long long page_no);

// The pages of one sequence so far (a numbered page sequence, or the pages of a field-value
// list), known by their bytes' digests.
class SeenPages {
 public:
  // True when a page with the bytes of `text` came before in the sequence; `text` is counted
  // as seen from now on either way.
  bool Repeats(std::string_view text);

 private:
  std::set<std::pair<std::size_t, std::size_t>> digests_;  // length, hash
};

// One page as the run visited it.
struct VisitedPage {
  std::string text;           // the page text
  bool extracted = false;     // at least one record was appended from it
  SeenPages* seen = nullptr;  // in: the pages before it in its sequence; null outside one
  bool repeated = false;      // out: it repeats a page of `seen` and the sequence ends here
};

// The pages a walk visits after the current one if it goes on as planned: ahead(k) is the URL of
// the k-th page after it (k >= 1), nullopt past what is known before the current page is
// fetched. Page-number ranges and value lists are known ahead; the end-tag form is not (whether a
// next page comes depends on the page just fetched), and the pages of a value after one that
// yields no records are planned but then skipped.
using PagesAhead = std::function<std::optional<std::string>(int k)>;

// The run's side of the walk.
class PageVisitor {
 public:
  virtual ~PageVisitor() = default;
  // Called before every Visit with the pages planned after it; `ahead` stays valid until that
  // Visit returns. A visitor may fetch those pages early; the walk is the same either way.
  virtual void Upcoming(const PagesAhead& ahead) { static_cast<void>(ahead); }
  // The per-page protocol: stop check, status, fetch, extraction with `field_value`. Returns
  // false when the run ends at this page (stopped, or the page failed to load); `page` is filled
  // otherwise.
  virtual bool Visit(const std::string& url, std::string_view field_value, VisitedPage& page) = 0;
  // True once the user has asked the run to stop.
  virtual bool Stopped() const = 0;
  // How far the walk has come: before step `done` (0-based) of `total` (0: not known) and once
  // after the last. A step is a page ("pages"), or with a database-field tag and a page-number
  // tag one field value with all its pages ("values").
  virtual void Progress(std::int64_t done, std::int64_t total, std::string_view unit) {
    static_cast<void>(done);
    static_cast<void>(total);
    static_cast<void>(unit);
  }
  // A failure the walk went on after: a database-field value whose pages threw, or whose extract
  // flag could not be set. `cause` says which and why.
  virtual void Failed(std::string_view cause) = 0;
};

// Produces the pages of `url` in order and hands each to `visitor`, until the sequence is
// exhausted or the visitor ends the run:
//  - with a database-field tag, the values of "select distinct <Field> from <Table> where fx=0"
//    on store.qryM, which stays open during the walk (nothing else may use qryM meanwhile); per
//    value one page, or its numbered pages until one yields no records; then the value's flag
//    is set with "update <Table> set fx=1 where <Field>='<value>'" on store.conn. A value whose
//    pages were cut short (Stop, a failed load) keeps its flag at 0; so does a value whose
//    processing threw or whose flag update failed: the visitor hears why (Failed), and the walk
//    goes on with the next value;
//  - with a page-number tag only, the numbered pages, whatever they yield;
//  - a page the visitor finds repeated (VisitedPage::repeated) ends its numbered pages, as a page
//    without records ends a field value's (the value is finished), and ends a list of field
//    values without page-number tag before that value (its flag stays 0);
//  - without tags, the URL itself.
// A null field value is the empty text. Store errors in opening the values pass on.
void WalkSourcePages(Tdm& store, RegExpr& re, const std::string& url, const SourceTags& tags,
                     PageVisitor& visitor);

}  // namespace sorvane
