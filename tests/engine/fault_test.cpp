// The fault suite: runs and requests against sites and pages that behave as a broken or hostile
// site would, each case asserting what the user gets (a failed load with its cause, nothing of
// that page in the grid, no file left behind, nothing sent where it does not belong).

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/store.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/tempdir.h"
#include "testhost.h"

namespace sorvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class FaultTest : public ::testing::Test {
 protected:
  // A templet over local files (text tags, or the expression `expression`) with one column.
  TTemplet LocalTemplet(const std::string& expression = {}) {
    const bool text_tag = expression.empty();
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('t',0," +
                       std::to_string(text_tag) + ",0)");
    TTemplet t;
    t.ID = static_cast<int>(store.qryM.LastIdentity());
    t.IsTextTag = text_tag;
    const std::string id = std::to_string(t.ID);
    if (!text_tag) {
      store.qryM.Execute("insert into exps(tmid,expr) values(" + id + "," + QuotedStr(expression) +
                         ")");
    }
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id + ",'c'," +
                       (text_tag ? "'<b>','</b>'" : "'$1',''") + ",0,0)");
    host.Columns(1);
    return t;
  }

  test::TempDir dir;
  Tdm store{dir.File("data.mdb")};
  test::TestHost host;
  RegExpr re;
  RunState state;
  RunContext ctx{host, store, re, state, nullptr, {}};
  RunCommandHooks hooks;
};

// ---------------------------------------------------------------------------------------------
// Expressions

TEST_F(FaultTest, StopEndsARunawayExpressionSearchAtOnce) {
  std::string page;
  while (page.size() < 18000)
    page += std::string(28, 'a') + "!";
  const std::string file = dir.Write("page.txt", page);
  for (const std::string expression : {"(a|aa)*$|(?!)(*SKIP)", "(a|aa)*$"}) {
    SCOPED_TRACE(expression);
    const TTemplet t = LocalTemplet(expression);
    const Clock::time_point began = Clock::now();
    host.on_events = [&] {
      if (Clock::now() - began > 100ms) host.stop_enabled = false;
    };
    host.statuses.clear();
    EXPECT_TRUE(RunTemplet(ctx, t, {file, file}, hooks));
    EXPECT_LT(Clock::now() - began, 300ms);
    EXPECT_EQ(host.grid.DataRowCount(), 0);
    // Stopped, not failed: no expression error, and the second file is never read.
    EXPECT_EQ(host.statuses,
              (std::vector<std::string>{"Loading: " + file, "Done! All 0 records extracted."}));
  }
  host.on_events = {};
}

}  // namespace
}  // namespace sorvane
