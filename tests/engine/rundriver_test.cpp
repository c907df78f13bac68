// Runs of stored templets over a real store and real files: sources, the start marker, Stop,
// failures with the end-of-run steps, and the commands around a run.

#include "engine/rundriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/resultgrid.h"
#include "core/resultpages.h"
#include "core/store.h"
#include "engine/regexpr.h"
#include "engine/runerror.h"
#include "support/tempdir.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

const std::string kDone0 = "Done! All 0 records extracted.";

class RunTest : public ::testing::Test {
 protected:
  int AddTemplet(bool url, bool text_tag) {
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('t'," + std::to_string(url) +
                       "," + std::to_string(text_tag) + ",0)");
    return static_cast<int>(store.qryM.LastIdentity());
  }
  TTemplet Templet(int id) {
    store.qryM.Open("select typ,tag from tmps where tmid=" + std::to_string(id));
    TTemplet t;
    t.ID = id;
    t.IsURL = store.qryM.AsInt(0) == 1;
    t.IsTextTag = store.qryM.AsInt(1) == 1;
    return t;
  }
  void AddSource(int id, const std::string& url) {
    store.qryM.Execute("insert into urls(tmid,url) values(" + std::to_string(id) + "," +
                       QuotedStr(url) + ")");
  }
  void AddExpression(int id, const std::string& expr) {
    store.qryM.Execute("insert into exps(tmid,expr) values(" + std::to_string(id) + "," +
                       QuotedStr(expr) + ")");
  }
  int AddColumn(int id, const std::string& begw, const std::string& endw, int tag = 0,
                const std::string& tit = "col") {
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + std::to_string(id) +
                       "," + QuotedStr(tit) + "," + QuotedStr(begw) + "," + QuotedStr(endw) + "," +
                       std::to_string(tag) + "," + std::to_string(next_nox++) + ")");
    return static_cast<int>(store.qryM.LastIdentity());
  }
  void AddRule(int cid, int rel, const std::string& srv, const std::string& dtv) {
    store.qryM.Execute("insert into vtrs(cid,rel,srv,dtv) values(" + std::to_string(cid) + "," +
                       std::to_string(rel) + "," + QuotedStr(srv) + "," + QuotedStr(dtv) + ")");
    store.qryM.Execute("update cols set istr=1 where cid=" + std::to_string(cid));
  }
  // The grid as the window lays it out when the templet is selected.
  void LayOut(int id) {
    int n = 0;
    store.qryM.Open("select cid from cols where tmid=" + std::to_string(id) +
                    " and (tag=0 or tag=2 or tag=3)");
    for (; !store.qryM.Eof(); store.qryM.Next())
      ++n;
    host.Columns(n);
  }
  // A text-tag templet over local files with one column of <b> values.
  int BoldTemplet() {
    const int id = AddTemplet(false, true);
    AddColumn(id, "<b>", "</b>");
    LayOut(id);
    return id;
  }
  bool HasStatus(const std::string& text) const {
    for (const std::string& s : host.statuses) {
      if (s == text) return true;
    }
    return false;
  }

  test::TempDir dir;
  Tdm store{dir.File("data.mdb")};
  test::TestHost host;
  RegExpr re;
  RunState state;
  RunContext ctx{.host = host, .store = store, .re = re, .state = state};
  RunCommandHooks hooks;
  std::vector<bool> running_changes;
  std::vector<std::string> chosen;
  bool choose_result = true;
  int next_nox = 0;

  void SetUp() override {
    hooks.running_changed = [this](bool running) { running_changes.push_back(running); };
    hooks.choose_files = [this](std::vector<std::string>& files) {
      files = chosen;
      return choose_result;
    };
  }
};

TEST_F(RunTest, StoredPathsAreReadInOrderAndMissingOnesSkipped) {
  const int id = BoldTemplet();
  const std::string a = dir.Write("a.txt", "<b>1</b><b>2</b>");
  const std::string missing = dir.File("missing.txt");
  const std::string b = dir.Write("b.txt", "<b>3</b>");
  AddSource(id, a);
  AddSource(id, missing);
  AddSource(id, b);
  const TTemplet t = Templet(id);

  EXPECT_TRUE(ExtractNow(ctx, &t, hooks));
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(state.extracted, 3);
  EXPECT_EQ(host.statuses,
            (std::vector<std::string>{"Loading: " + a, "1 records extrated.", "2 records extrated.",
                                      "Loading: " + missing, "Loading: " + b, "3 records extrated.",
                                      "Done! All 3 records extracted."}));
  EXPECT_EQ(running_changes, (std::vector<bool>{true, false}));
  EXPECT_FALSE(host.stop_enabled);
  EXPECT_FALSE(state.running);
}

TEST_F(RunTest, TheProgressBarCountsFilesOrFollowsTheRecordsOfOnePage) {
  using Bars = std::vector<std::string>;
  // 35 bytes once read (a line ends in CR LF): the first record ends at byte 11 (its block at
  // 15), the second at 27 (31). The bar follows a page's records at most every few milliseconds
  // and shows where the page ended: an amount marked "?" may be left out.
  const std::string page = "<r><b>1</b></r>-<r><b>2</b></r>--";
  struct Case {
    const char* name;
    bool text_tag;
    bool record_tags;
    int files;  // 0: one stored path numbering three files
    Bars bars;
  };
  const Case cases[] = {
      {"text tags", true, false, 1, {"0/1 0 records", "?11/35 1 records", "27/35 2 records"}},
      {"text tags in record blocks",
       true,
       true,
       1,
       {"0/1 0 records", "?15/35 1 records", "31/35 2 records"}},
      {"expression", false, false, 1, {"0/1 0 records", "?11/35 1 records", "27/35 2 records"}},
      {"expression in record blocks",
       false,
       true,
       1,
       {"0/1 0 records", "?15/35 1 records", "31/35 2 records"}},
      {"three files",
       true,
       false,
       3,
       {"0/3 0 of 3 files", "1/3 1 of 3 files", "2/3 2 of 3 files", "3/3 3 of 3 files"}},
      {"a numbered path",
       true,
       false,
       0,
       {"0/3 0 of 3 pages", "1/3 1 of 3 pages", "2/3 2 of 3 pages", "3/3 3 of 3 pages"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int id = AddTemplet(false, c.text_tag);
    if (c.text_tag) {
      AddColumn(id, "<b>", "</b>");
    } else {
      AddExpression(id, "<b>(.+?)</b>");
      AddColumn(id, "$1", "");
    }
    if (c.record_tags) AddColumn(id, "<r>", "</r>", 1, "");
    LayOut(id);
    const std::string prefix = "p" + std::to_string(id) + "-";
    for (int i = 0; i < c.files; ++i)
      AddSource(id, dir.Write(prefix + std::to_string(i) + ".txt", page));
    const int files = c.files > 0 ? c.files : 3;
    if (c.files == 0) {
      for (int i = 1; i <= files; ++i)
        dir.Write(prefix + std::to_string(i) + ".txt", page);
      AddSource(id, dir.File(prefix + "<AUTOINC:1,3/>.txt"));
    }
    host.bars.clear();
    const TTemplet t = Templet(id);
    EXPECT_TRUE(ExtractNow(ctx, &t, hooks));
    EXPECT_EQ(state.extracted, 2 * files);
    Bars expected;
    for (const std::string& bar : c.bars) {
      if (bar[0] != '?') {
        expected.push_back(bar);
      } else if (expected.size() < host.bars.size() &&
                 host.bars[expected.size()] == bar.substr(1)) {
        expected.push_back(bar.substr(1));
      }
    }
    expected.emplace_back("hidden");  // before the final status
    EXPECT_EQ(host.bars, expected);
    EXPECT_EQ(host.statuses.back(),
              "Done! All " + std::to_string(2 * files) + " records extracted.");
  }
}

TEST_F(RunTest, ChosenFilesThatAreMissingAreSkippedWithoutStatus) {
  const int id = BoldTemplet();
  chosen = {dir.File("gone.txt"), dir.Write("a.txt", "<b>1</b>")};
  const TTemplet t = Templet(id);
  EXPECT_TRUE(OpenAndExtract(ctx, &t, hooks));
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"1"}));
  EXPECT_FALSE(HasStatus("Loading: " + chosen[0]));
  EXPECT_TRUE(HasStatus("Loading: " + chosen[1]));
}

TEST_F(RunTest, FileLinesReachThePageWithCrLf) {
  // Lines ending in LF alone become CR LF lines, which "[CRLF]" record tags then cut.
  const int id = AddTemplet(false, true);
  AddColumn(id, "name:", ";");
  AddColumn(id, "[..]", "[CRLF]", 1, "");
  LayOut(id);
  AddSource(id, dir.Write("a.txt", "name: one;\nname: two;\r\nname: three;\x1Aname: four;\n"));
  const TTemplet t = Templet(id);
  ExtractNow(ctx, &t, hooks);
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(RunTest, StartMarkerIsFoundWithLetterCaseAndAPageWithoutItGivesNothing) {
  const int id = BoldTemplet();
  AddColumn(id, "", "", 1, "START");  // the Start/Record Tag row: start marker only
  AddSource(id, dir.Write("a.txt", "<b>1</b>START<b>2</b>"));
  AddSource(id, dir.Write("b.txt", "<b>3</b>start<b>4</b>"));
  AddSource(id, dir.Write("c.txt", "<b>5</b>"));
  const TTemplet t = Templet(id);
  ExtractNow(ctx, &t, hooks);
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"2"}));
}

TEST_F(RunTest, RecordTagsAndFieldColumnsOfTheStore) {
  const int id = AddTemplet(false, true);
  AddColumn(id, "<td>", "</td>");
  AddColumn(id, "", "", 2);
  AddColumn(id, "<td>", "</td>");
  AddColumn(id, "<tr>", "", 1, "tbl");
  AddColumn(id, "<td>", "</td>", 3);
  LayOut(id);
  ASSERT_EQ(host.grid.ShownColumnCount(), 4);
  AddSource(id, dir.Write("a.txt",
                          "<tr><td>x</td></tr>tbl<tr><td>1</td><td>2</td><td>i.gif</td>"
                          "<tr><td>3</td>"));
  const TTemplet t = Templet(id);
  ExtractNow(ctx, &t, hooks);
  // The record close tag is empty: no record tags, only the start marker "tbl".
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"1||2|i.gif", "3|||"}));
}

TEST_F(RunTest, OpenReadsFilesWithAWebTempletsMethod) {
  const int id = AddTemplet(true, false);
  AddSource(id, "http://127.0.0.1:1/<AUTOINC:1,3/>");
  AddExpression(id, "<i>(\\w+)</i>");
  AddColumn(id, "$1", "");
  LayOut(id);
  chosen = {dir.Write("a.html", "<i>one</i><i>two</i>")};
  const TTemplet t = Templet(id);
  EXPECT_TRUE(OpenAndExtract(ctx, &t, hooks));
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(t.IsURL);  // the caller's templet is left as it is

  // Cancelled: nothing happens at all.
  choose_result = false;
  host.statuses.clear();
  EXPECT_FALSE(OpenAndExtract(ctx, &t, hooks));
  EXPECT_EQ(host.grid.DataRowCount(), 2);
  EXPECT_TRUE(host.statuses.empty());
  EXPECT_FALSE(OpenAndExtract(ctx, nullptr, hooks));
}

TEST_F(RunTest, ExtractNowWithoutSelectionOrSources) {
  EXPECT_FALSE(ExtractNow(ctx, nullptr, hooks));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].caption, "Note");
  EXPECT_EQ(host.messages[0].text, "Please select a templet.");
  EXPECT_EQ(host.messages[0].icon, RunHost::Icon::kWarning);

  // A web templet without a stored URL: no run, the grid keeps its rows.
  const int web = AddTemplet(true, true);
  AddColumn(web, "<b>", "</b>");
  LayOut(web);
  host.grid.AppendRow(5);
  const TTemplet w = Templet(web);
  EXPECT_FALSE(ExtractNow(ctx, &w, hooks));
  EXPECT_EQ(host.grid.DataRowCount(), 1);
  EXPECT_TRUE(running_changes.empty());

  // A local templet without stored paths asks for files; cancelled, the run still empties the
  // grid and ends with a count of 0.
  const int local = BoldTemplet();
  host.grid.AppendRow(5);
  state.extracted = 9;
  choose_result = false;
  const TTemplet l = Templet(local);
  EXPECT_TRUE(ExtractNow(ctx, &l, hooks));
  EXPECT_EQ(host.grid.DataRowCount(), 0);
  EXPECT_EQ(state.extracted, 0);
  EXPECT_EQ(host.statuses.back(), kDone0);

  // Chosen files are read.
  choose_result = true;
  chosen = {dir.Write("a.txt", "<b>7</b>")};
  EXPECT_TRUE(ExtractNow(ctx, &l, hooks));
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"7"}));
}

TEST_F(RunTest, AWebTempletWithoutWebSourceFailsBeforeTouchingTheGrid) {
  const int id = AddTemplet(true, true);
  AddSource(id, "http://127.0.0.1:1/");
  AddColumn(id, "<b>", "</b>");
  LayOut(id);
  host.grid.AppendRow(5);
  state.extracted = 1;
  const TTemplet t = Templet(id);
  EXPECT_THROW(ExtractNow(ctx, &t, hooks), RunError);
  EXPECT_EQ(host.grid.DataRowCount(), 1);
  EXPECT_EQ(host.statuses.back(), "Done! All 1 records extracted.");
  EXPECT_EQ(running_changes, (std::vector<bool>{true, false}));
  EXPECT_FALSE(host.stop_enabled);
  EXPECT_FALSE(state.running);
}

// Pages handed in as a web source would, with database-field values.
class FakeWeb : public WebSource {
 public:
  std::vector<std::pair<std::string, std::string>> pages;  // page text, field value
  std::vector<bool> results;
  std::function<void()> during;

  void Walk(const TTemplet&, PageExtractor& extract) override {
    for (const auto& [page, value] : pages) {
      if (!extract.Context().host.StopEnabled()) return;
      results.push_back(extract.ExtractPage(page, value));
      if (during) during();
    }
  }
};

TEST_F(RunTest, AWebSourceFeedsPagesWithFieldValues) {
  const int id = AddTemplet(true, true);
  AddSource(id, "http://127.0.0.1:1/<FIELD:T1,F1/>");
  AddColumn(id, "", "", 2);
  AddColumn(id, "<b>", "</b>");
  LayOut(id);
  FakeWeb web;
  web.pages = {{"<b>1</b><b>2</b>", "A"}, {"nothing", "B"}, {"<b>3</b>", "C"}};
  bool second_run_started = true;
  const TTemplet t = Templet(id);
  web.during = [&] { second_run_started = ExtractNow(ctx, &t, hooks); };
  ctx.web = &web;
  EXPECT_TRUE(ExtractNow(ctx, &t, hooks));
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"A|1", "A|2", "C|3"}));
  EXPECT_EQ(web.results, (std::vector<bool>{true, false, true}));
  EXPECT_FALSE(second_run_started);  // no second run while one is going on
}

TEST_F(RunTest, StopBetweenPagesEndsTheRunQuietly) {
  const int id = BoldTemplet();
  std::vector<std::string> files;
  for (int k = 0; k < 3; ++k) {
    const std::string name = "f" + std::to_string(k) + ".txt";
    files.push_back(
        dir.Write(name, "<b>" + std::to_string(k) + "a</b><b>" + std::to_string(k) + "b</b>"));
    AddSource(id, files.back());
  }
  const TTemplet t = Templet(id);
  for (const bool stored : {true, false}) {
    host.statuses.clear();
    host.stop_after = 3;  // the first page's "Loading" and its two records
    if (stored) {
      ExtractNow(ctx, &t, hooks);
    } else {
      chosen = files;
      OpenAndExtract(ctx, &t, hooks);
    }
    EXPECT_EQ(host.Rows(), (std::vector<std::string>{"0a", "0b"})) << stored;
    EXPECT_FALSE(HasStatus("Loading: " + files[1])) << stored;
    EXPECT_EQ(host.statuses.back(), "Done! All 2 records extracted.") << stored;
    EXPECT_TRUE(host.messages.empty());
  }
}

// A stored path with a page-number or database-field tag walks its pages as a URL would; a file
// that is missing is an empty page.
TEST_F(RunTest, StoredPathsWithTagsWalkTheirNumberedOrFieldPages) {
  for (const char* name : {"p1.txt", "p3.txt", "p4.txt", "v-x.txt", "v-y.txt"})
    dir.Write(name, std::string("<b>") + name + "</b>");
  store.qryM.Execute("insert into tabs(tan) values('Values')");
  store.conn.Execute("create table t1(id autoincrement primary key,fx smallint default 0)");
  store.qryM.Execute("alter table t1 add f1 varchar(50)");
  for (const char* value : {"x", "y", "z"})
    store.qryM.Execute(std::string("insert into t1(f1) values('") + value + "')");
  struct Case {
    std::string path;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases = {
      {"p<AUTOINC:1,4/>.txt", {"p1.txt", "p3.txt", "p4.txt"}},  // p2 is missing
      {"p<autoinc:b/>.txt", {"p1.txt"}},                        // p2 is missing: the end
      {"v-<FIELD:T1,F1/>.txt", {"v-x.txt", "v-y.txt"}},         // z has no file
      {"plain<AUTOINC.txt", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const int id = BoldTemplet();
    AddSource(id, dir.File(c.path));
    const TTemplet t = Templet(id);
    ExtractNow(ctx, &t, hooks);
    EXPECT_EQ(host.Rows(), c.rows);
    EXPECT_TRUE(host.messages.empty());
  }
  // The field walk marks every value it went through.
  store.qryM.Open("select count(*) from t1 where fx=1");
  EXPECT_EQ(store.qryM.AsInt(0), 3);
}

TEST_F(RunTest, ErrorsEndTheRunAfterTheEndOfRunSteps) {
  // A translation rule with a non-numeric argument in a text-tag templet.
  const int id = AddTemplet(false, true);
  AddColumn(id, "<a>", "</a>");
  const int cid = AddColumn(id, "<b>", "</b>");
  AddColumn(id, "<c>", "</c>");
  AddRule(cid, 0, "ok", "fine");
  AddRule(cid, 4, "two", "1");
  LayOut(id);
  AddSource(id, dir.Write("a.txt", "<a>1</a><b>ok</b><c>x</c><a>2</a><b>no</b><c>y</c>"));
  AddSource(id, dir.Write("b.txt", "<a>3</a><b>ok</b><c>z</c>"));
  const TTemplet t = Templet(id);
  EXPECT_THROW(ExtractNow(ctx, &t, hooks), RunError);
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"1|fine|x", "2||"}));
  EXPECT_EQ(state.extracted, 1);
  EXPECT_EQ(host.statuses.back(), "Done! All 1 records extracted.");
  EXPECT_FALSE(host.stop_enabled);
  EXPECT_FALSE(state.running);
  EXPECT_EQ(running_changes, (std::vector<bool>{true, false}));

  // A file that exists but cannot be read: the rows of the files before it stay.
  if (std::filesystem::exists("/proc/self/mem")) {
    const int other = BoldTemplet();
    AddSource(other, dir.Write("c.txt", "<b>1</b>"));
    AddSource(other, "/proc/self/mem");
    AddSource(other, dir.Write("d.txt", "<b>2</b>"));
    const TTemplet o = Templet(other);
    EXPECT_THROW(ExtractNow(ctx, &o, hooks), RunError);
    EXPECT_EQ(host.Rows(), (std::vector<std::string>{"1"}));
    EXPECT_EQ(host.statuses.back(), "Done! All 1 records extracted.");
    EXPECT_FALSE(state.running);
  }
}

TEST_F(RunTest, TranslationErrorInAnExpressionTempletOnlyEndsItsPage) {
  const int id = AddTemplet(false, false);
  AddExpression(id, "<b>(.+?)</b>");
  const int cid = AddColumn(id, "$1", "");
  AddColumn(id, "$0", "");
  AddRule(cid, 0, "1", "one");  // a hit ends the rules before the broken one
  AddRule(cid, 6, "1", "z");
  LayOut(id);
  AddSource(id, dir.Write("a.txt", "<b>1</b><b>bad</b><b>1</b>"));
  AddSource(id, dir.Write("b.txt", "<b>1</b>"));
  const TTemplet t = Templet(id);
  EXPECT_NO_THROW(ExtractNow(ctx, &t, hooks));
  // The failed row stays without its cells and uncounted; the page's third match is skipped.
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"one|<b>1</b>", "|", "one|<b>1</b>"}));
  EXPECT_EQ(state.extracted, 2);
  EXPECT_TRUE(HasStatus("Regular expression is invalide."));
  EXPECT_EQ(host.statuses.back(), "Done! All 2 records extracted.");
}

TEST_F(RunTest, ExpressionTempletWithoutExpressionEmptiesTheGridOnly) {
  const int id = AddTemplet(false, false);
  AddColumn(id, "$0", "");
  LayOut(id);
  AddSource(id, dir.Write("a.txt", "abc"));
  host.grid.AppendRow(3);
  const TTemplet t = Templet(id);
  EXPECT_TRUE(ExtractNow(ctx, &t, hooks));
  EXPECT_EQ(host.grid.DataRowCount(), 0);
  EXPECT_EQ(host.statuses, (std::vector<std::string>{kDone0}));
}

TEST_F(RunTest, DefinitionsAreCutAndRulesBelongToTheTemplet) {
  const int id = AddTemplet(false, true);
  const std::string long_tag = "<" + std::string(60, 'x');
  const int cid = AddColumn(id, long_tag, std::string(55, 'y'));
  AddRule(cid, 7, std::string(70, 's'), "d");
  AddColumn(id, "<" + std::string(70, 'r'), "", 1, "start");
  const int other = AddTemplet(false, true);
  const int other_cid = AddColumn(other, "<b>", "</b>");
  AddRule(other_cid, 7, "no", "no");

  RunDefinitions defs;
  std::vector<TTrans> rules;
  ASSERT_TRUE(LoadRunDefinitions(store, Templet(id), defs, rules));
  ASSERT_EQ(defs.Cols.size(), 1u);
  EXPECT_EQ(defs.Cols[0].OpenTag, long_tag.substr(0, 50));
  EXPECT_EQ(defs.Cols[0].CloseTag, std::string(50, 'y'));
  EXPECT_TRUE(defs.Cols[0].IsTrans);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].SrcVal, std::string(50, 's'));
  EXPECT_EQ(defs.StartMarker, "start");
  EXPECT_EQ(defs.RecordOpenTag, "<" + std::string(70, 'r'));  // record tags are kept whole
}

TEST_F(RunTest, GridAndRunColumnsComeInTheSameOrderWhateverTheirIds) {
  const int id = AddTemplet(false, true);
  // Column ids ascend, positions do not; a record-tag row sits between them.
  const int c = AddColumn(id, "<c>", "</c>", 0, "C");
  const int a = AddColumn(id, "<a>", "</a>", 2, "A");
  AddColumn(id, "<tr>", "</tr>", 1, "start");
  const int b = AddColumn(id, "<b>", "</b>", 3, "B");
  const std::vector<std::pair<int, int>> nox = {{c, 9}, {a, 1}, {b, 4}};
  for (const auto& [cid, pos] : nox) {
    store.qryM.Execute("update cols set nox=" + std::to_string(pos) +
                       " where cid=" + std::to_string(cid));
  }

  ResultGrid grid;
  ResultPages pages(grid);
  TTemplet templet = Templet(id);
  pages.Show(store, templet);
  RunDefinitions defs;
  std::vector<TTrans> rules;
  ASSERT_TRUE(LoadRunDefinitions(store, templet, defs, rules));

  std::vector<int> grid_ids, run_ids;
  for (const GridColumn& column : grid.Columns())
    grid_ids.push_back(column.ref.ColID);
  for (const TCol& col : defs.Cols)
    run_ids.push_back(col.ColID);
  EXPECT_EQ(grid_ids, (std::vector<int>{a, b, c}));
  EXPECT_EQ(run_ids, grid_ids);
}

TEST_F(RunTest, ImageColumnsKeepTheirValueOrGetTheTranslatedAddress) {
  const int id = AddTemplet(false, true);
  const int cid = AddColumn(id, "<img src=\"", "\"", 3);
  AddRule(cid, 7, "http://h/", "");
  LayOut(id);
  AddSource(id, dir.Write("a.txt", "<img src=\"a.gif\"><img src=\"\">"));
  const TTemplet t = Templet(id);
  ExtractNow(ctx, &t, hooks);
  // The empty address is no value; the record that did not move on ends the page, counted.
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"http://h/a.gif", "http://h/"}));

  std::vector<std::string> asked;
  ctx.download_image = [&](std::string_view address) {
    asked.emplace_back(address);
    return "img-" + std::to_string(asked.size()) + ".gif";
  };
  ExtractNow(ctx, &t, hooks);
  EXPECT_EQ(asked, (std::vector<std::string>{"http://h/a.gif", "http://h/"}));
  EXPECT_EQ(host.Rows(), (std::vector<std::string>{"img-1.gif", "img-2.gif"}));
}

TEST_F(RunTest, AHundredThousandRecordsTakeSeconds) {
  const int id = AddTemplet(false, true);
  AddColumn(id, "<td>", "</td>");
  AddColumn(id, "<td>", "</td>");
  AddColumn(id, "<tr>", "", 1, "tbl");
  LayOut(id);
  std::string page = "tbl\n";
  for (int k = 0; k < 100000; ++k) {
    page += "<tr><td>" + std::to_string(k) + "</td><TD>v" + std::to_string(k) + "</TD></tr>\n";
  }
  // "<tr>" with an empty record close tag: the records are cut without record tags.
  AddSource(id, dir.Write("big.txt", page));
  const TTemplet t = Templet(id);
  const auto t0 = std::chrono::steady_clock::now();
  ExtractNow(ctx, &t, hooks);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(state.extracted, 100000);
  EXPECT_EQ(host.grid.Cell(2, 100000), "v99999");
  EXPECT_LT(seconds, 30.0);  // quadratic work would take minutes
}

}  // namespace
}  // namespace sorvane
