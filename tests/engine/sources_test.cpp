// The tags of a web templet's URL and the pages they expand to, walked over a real store with a
// visitor that plays the run (no network here; webrun_test fetches real pages).

#include "engine/sources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/store.h"
#include "engine/regexpr.h"
#include "engine/runerror.h"
#include "support/tempdir.h"

namespace sorvane {
namespace {

// ---------------------------------------------------------------------------------------------
// Parsing

struct ParseCase {
  const char* name;
  std::string url;
  bool has_auto;
  bool is_range;
  int from;
  int to;
  std::string end_text;
  bool has_fld;
  std::string table;
  std::string field;
};

TEST(ParseSourceTagsTest, ReadsBothTags) {
  const std::vector<ParseCase> cases = {
      {"no tags", "http://h/list.html", false, false, 0, 0, "", false, "", ""},
      {"range", "http://h/p<AUTOINC:3,5/>.html", true, true, 3, 5, "", false, "", ""},
      {"range in any case", "http://h/p<autoinc:10,2/>", true, true, 10, 2, "", false, "", ""},
      // The numbers may stand anywhere in the tag's text.
      {"range inside text", "http://h/<AUTOINC:pages 7,12 only/>", true, true, 7, 12, "", false, "",
       ""},
      {"end tag", "http://h/?p=<AUTOINC:Next page/>", true, false, 0, 0, "Next page", false, "",
       ""},
      // The shortest text up to "/>" is the tag's text.
      {"end tag with slash", "http://h/<AUTOINC:a/b/>c/>", true, false, 0, 0, "a/b", false, "", ""},
      {"first tag counts", "http://h/<AUTOINC:x/><AUTOINC:1,2/>", true, false, 0, 0, "x", false, "",
       ""},
      {"empty tag is none", "http://h/<AUTOINC:/>", false, false, 0, 0, "", false, "", ""},
      {"field", "http://h/?q=<FIELD:T12,F3/>", false, false, 0, 0, "", true, "T12", "F3"},
      {"field as written", "http://h/?q=<field:t2,f15/>", false, false, 0, 0, "", true, "t2",
       "f15"},
      {"field needs numbers", "http://h/?q=<FIELD:T,F3/>", false, false, 0, 0, "", false, "", ""},
      {"both", "http://h/<FIELD:T1,F2/>/<AUTOINC:1,9/>", true, true, 1, 9, "", true, "T1", "F2"},
  };
  RegExpr re;
  for (const ParseCase& c : cases) {
    const SourceTags tags = ParseSourceTags(re, c.url);
    EXPECT_EQ(tags.HasAuto, c.has_auto) << c.name;
    EXPECT_EQ(tags.Auto.IsRange, c.is_range) << c.name;
    EXPECT_EQ(tags.Auto.FromNo, c.from) << c.name;
    EXPECT_EQ(tags.Auto.ToNo, c.to) << c.name;
    EXPECT_EQ(tags.Auto.EndText, c.end_text) << c.name;
    EXPECT_EQ(tags.HasFld, c.has_fld) << c.name;
    EXPECT_EQ(tags.Fld.Table, c.table) << c.name;
    EXPECT_EQ(tags.Fld.Field, c.field) << c.name;
  }
}

TEST(ParseSourceTagsTest, PageNumbersBeyond32BitsEndTheRun) {
  RegExpr re;
  EXPECT_THROW(ParseSourceTags(re, "http://h/<AUTOINC:1,2147483648/>"), RunError);
  EXPECT_THROW(ParseSourceTags(re, "http://h/<AUTOINC:99999999999,1/>"), RunError);
  EXPECT_EQ(ParseSourceTags(re, "http://h/<AUTOINC:0,2147483647/>").Auto.ToNo, 2147483647);
}

TEST(SubstituteTest, ValuesGoInLiterallyEverywhere) {
  RegExpr re;
  EXPECT_EQ(SubstituteField(re, "http://h/?a=<FIELD:T1,F1/>&b=<field:t1,f1/>", "x y&$1"),
            "http://h/?a=x y&$1&b=x y&$1");
  EXPECT_EQ(SubstituteField(re, "http://h/", "v"), "http://h/");
  EXPECT_EQ(SubstitutePageNo(re, "http://h/<AUTOINC:1,3/>/<autoinc:Next/>", 7), "http://h/7/7");
  EXPECT_EQ(SubstitutePageNo(re, "http://h/p<AUTOINC:1,3/>", 2147483648LL), "http://h/p2147483648");
}

// ---------------------------------------------------------------------------------------------
// Walking

// Plays the run: records every page asked for and answers from a table of page texts. A text
// holding "<r>" yields records.
class Recorder : public PageVisitor {
 public:
  std::vector<std::string> visits;  // url + " [" + value + "]"
  std::map<std::string, std::string> texts;
  std::string fail_at;   // the page that fails to load
  std::string throw_at;  // the page whose extraction throws
  std::string stop_at;   // the page during which the user clicks Stop
  bool stopped = false;

  bool Visit(const std::string& url, std::string_view field_value, VisitedPage& page) override {
    if (stopped) return false;
    visits.push_back(url + " [" + std::string(field_value) + "]");
    if (url == fail_at) return false;
    if (url == throw_at) throw std::runtime_error("broken rule");
    if (url == stop_at) stopped = true;
    const auto it = texts.find(url);
    page.text = it == texts.end() ? std::string("<r>") : it->second;
    page.extracted = page.text.find("<r>") != std::string::npos;
    return true;
  }
  bool Stopped() const override { return stopped; }
  void Failed(std::string_view cause) override { failures.emplace_back(cause); }
  void Progress(std::int64_t done, std::int64_t total, std::string_view unit) override {
    progress.push_back(std::to_string(done) + "/" + std::to_string(total) + " " +
                       std::string(unit));
  }
  std::vector<std::string> failures;
  std::vector<std::string> progress;  // "done/total unit"
};

class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.conn.Execute(
        "create table t1(id autoincrement primary key,fx smallint default 0,f1 varchar(50))");
  }
  void AddValue(const std::string& value) {
    store.qryM.Execute("insert into t1(f1) values(" + QuotedStr(value) + ")");
  }
  void AddNull() { store.qryM.Execute("insert into t1(fx) values(0)"); }
  // "value=flag" for every row, in id order; a null value shows as "(null)".
  std::vector<std::string> Flags() {
    std::vector<std::string> flags;
    Query& q = store.qryN;
    for (q.Open("select f1,fx from t1 order by id"); !q.Eof(); q.Next()) {
      flags.push_back((q.IsNull(0) ? std::string("(null)") : q.AsString(0)) + "=" + q.AsString(1));
    }
    return flags;
  }
  std::vector<std::string> Walk(const std::string& url) {
    visitor.visits.clear();
    WalkSourcePages(store, re, url, ParseSourceTags(re, url), visitor);
    return visitor.visits;
  }

  test::TempDir dir;
  Tdm store{dir.File("data.mdb")};
  RegExpr re;
  Recorder visitor;
};

using Pages = std::vector<std::string>;

TEST_F(WalkTest, NumberedPagesWithoutField) {
  struct Case {
    const char* name;
    std::string url;
    std::map<std::string, std::string> texts;
    Pages pages;
  };
  const std::vector<Case> cases = {
      {"no tags", "http://h/a", {}, {"http://h/a []"}},
      {"range",
       "http://h/p<AUTOINC:3,5/>",
       {},
       {"http://h/p3 []", "http://h/p4 []", "http://h/p5 []"}},
      {"backward range", "http://h/p<AUTOINC:5,3/>", {}, {}},
      {"one page range", "http://h/p<AUTOINC:4,4/>", {}, {"http://h/p4 []"}},
      // Pages without records do not end a range.
      {"range ignores empty pages",
       "http://h/p<AUTOINC:1,3/>",
       {{"http://h/p1", "none"}, {"http://h/p2", "none"}},
       {"http://h/p1 []", "http://h/p2 []", "http://h/p3 []"}},
      // The end text is looked for in any letter case; the page without it is the last one.
      {"end tag",
       "http://h/?p=<AUTOINC:next/>",
       {{"http://h/?p=1", "<r> NEXT"}, {"http://h/?p=2", "<r> Next"}, {"http://h/?p=3", "<r>"}},
       {"http://h/?p=1 []", "http://h/?p=2 []", "http://h/?p=3 []"}},
      {"end tag missing on the first page",
       "http://h/?p=<AUTOINC:next/>",
       {{"http://h/?p=1", "<r>"}},
       {"http://h/?p=1 []"}},
      // Without a field tag, a page without records does not end the end-tag form either.
      {"end tag ignores empty pages",
       "http://h/?p=<AUTOINC:next/>",
       {{"http://h/?p=1", "next"}, {"http://h/?p=2", "none"}},
       {"http://h/?p=1 []", "http://h/?p=2 []"}},
  };
  for (const Case& c : cases) {
    visitor.texts = c.texts;
    EXPECT_EQ(Walk(c.url), c.pages) << c.name;
  }
}

TEST_F(WalkTest, ReportsThePagesDoneOfThePagesKnown) {
  struct Case {
    const char* name;
    std::string url;
    std::map<std::string, std::string> texts;
    Pages progress;
  };
  const std::vector<Case> cases = {
      {"no tags: one page", "http://h/a", {}, {"0/1 pages", "1/1 pages"}},
      {"range",
       "http://h/p<AUTOINC:3,5/>",
       {},
       {"0/3 pages", "1/3 pages", "2/3 pages", "3/3 pages"}},
      {"backward range: nothing to do", "http://h/p<AUTOINC:5,3/>", {}, {"0/0 pages"}},
      {"end tag: not known before the end",
       "http://h/?p=<AUTOINC:next/>",
       {{"http://h/?p=1", "<r> next"}},
       {"0/0 pages", "1/0 pages", "2/0 pages"}},
      // One page per field value: the values are the pages.
      {"field values", "http://h/<FIELD:T1,F1/>", {}, {"0/2 pages", "1/2 pages", "2/2 pages"}},
      // Numbered pages per value end at the first empty one: the values are counted.
      {"field values with numbered pages",
       "http://h/<FIELD:T1,F1/>/<AUTOINC:1,9/>",
       {{"http://h/A/2", "none"}, {"http://h/B/1", "none"}},
       {"0/2 values", "1/2 values", "2/2 values"}},
  };
  for (const Case& c : cases) {
    store.conn.Execute("update t1 set fx=0");
    if (Flags().empty()) {
      AddValue("A");
      AddValue("B");
    }
    visitor.texts = c.texts;
    visitor.progress.clear();
    Walk(c.url);
    EXPECT_EQ(visitor.progress, c.progress) << c.name;
  }
}

TEST_F(WalkTest, BackwardRangeWithFieldMarksEveryValueWithoutPages) {
  AddValue("A");
  AddValue("B");
  EXPECT_EQ(Walk("http://h/<FIELD:T1,F1/>/<AUTOINC:5,3/>"), Pages{});
  EXPECT_EQ(Flags(), (Pages{"A=1", "B=1"}));
}

TEST_F(WalkTest, AnEndedRunLeavesTheCurrentValueUnflagged) {
  struct Case {
    const char* name;
    std::string Recorder::*trigger;
    Pages pages;
    Pages flags;
    Pages failures;
  };
  const std::vector<Case> cases = {
      // A failed load ends the walk: C is never visited.
      {"failed load",
       &Recorder::fail_at,
       {"http://h/A/1 [A]", "http://h/A/2 [A]", "http://h/B/1 [B]"},
       {"A=1", "B=0", "C=0"},
       {}},
      // Stop during B's first page: its records were cut short, so B is not finished.
      {"stop",
       &Recorder::stop_at,
       {"http://h/A/1 [A]", "http://h/A/2 [A]", "http://h/B/1 [B]"},
       {"A=1", "B=0", "C=0"},
       {}},
      // Any other failure skips to the next value.
      {"error",
       &Recorder::throw_at,
       {"http://h/A/1 [A]", "http://h/A/2 [A]", "http://h/B/1 [B]", "http://h/C/1 [C]",
        "http://h/C/2 [C]"},
       {"A=1", "B=0", "C=1"},
       {"the pages of F1 value \"B\" failed: broken rule"}},
  };
  for (const Case& c : cases) {
    store.qryM.Execute("delete from t1");
    AddValue("A");
    AddValue("B");
    AddValue("C");
    visitor = Recorder();
    visitor.*c.trigger = "http://h/B/1";
    EXPECT_EQ(Walk("http://h/<FIELD:T1,F1/>/<AUTOINC:1,2/>"), c.pages) << c.name;
    EXPECT_EQ(Flags(), c.flags) << c.name;
    EXPECT_EQ(visitor.failures, c.failures) << c.name;
  }
}

TEST_F(WalkTest, StopAfterTheLastPageOfAValueKeepsItsFlag) {
  AddValue("A");
  AddValue("B");
  visitor.stop_at = "http://h/?q=A";
  EXPECT_EQ(Walk("http://h/?q=<FIELD:T1,F1/>"), (Pages{"http://h/?q=A [A]"}));
  EXPECT_EQ(Flags(), (Pages{"A=0", "B=0"}));
}

TEST_F(WalkTest, AMissingTableOrFieldIsAStoreError) {
  EXPECT_THROW(Walk("http://h/?q=<FIELD:T9,F1/>"), StoreError);
  EXPECT_THROW(Walk("http://h/?q=<FIELD:T1,F9/>"), StoreError);
  EXPECT_TRUE(visitor.visits.empty());
}

}  // namespace
}  // namespace sorvane
