// Web runs that fetch pages ahead, against real servers on 127.0.0.1: a run with many requests in
// flight leaves exactly what a run fetching one page at a time leaves (grid, extract flags,
// counts, messages), also when a page fails or the user stops; retries only for the answers that
// mean "later"; the pause between requests; Stop aborts everything in flight.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/store.h"
#include "engine/httpclient.h"
#include "engine/login.h"
#include "engine/pagefetch.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/httpserver.h"
#include "support/tempdir.h"
#include "support/testhost.h"

namespace sorvane {
namespace {

using namespace std::chrono_literals;
using test::HttpServer;
using test::ReceivedRequest;
using test::Reply;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

Reply Answer(int status, std::string body, Reply::Delivery delivery = Reply::Delivery::kWhole) {
  Reply reply = Reply::Text(std::move(body));
  reply.status = status;
  reply.delivery = delivery;
  return reply;
}

// A server whose pages take a few milliseconds each, differently per page, so that pages asked
// for together come back out of order. It counts the requests under way at once.
class PageServer {
 public:
  PageServer() {
    // /p/<n>: "<b>n.1</b><b>n.2</b>". /v/<value>/<n>: one record while n is at most the value's
    // first letter's place in "ABCD" + 1, none after. /w/<value>: one record.
    server.On("/*", [this](const ReceivedRequest& r) { return Serve(r); });
  }

  Reply Serve(const ReceivedRequest& r) {
    {
      const std::lock_guard lock(mutex);
      arrivals.push_back({r.target, Clock::now()});
      if (r.target == fail) return Answer(404, "gone");
      if (r.target == stall) return Answer(200, "<b>never</b>", Reply::Delivery::kStall);
    }
    const int now = ++under_way;
    int seen = most_under_way.load();
    while (now > seen && !most_under_way.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::hash<std::string>{}(r.target) % 9));
    --under_way;
    if (r.path.starts_with("/p/")) {
      const std::string n = r.path.substr(3);
      return Reply::Text("<b>" + n + ".1</b><b>" + n + ".2</b>");
    }
    if (r.path.starts_with("/v/")) {
      const int pages = (r.path[3] - 'A') % 4 + 1;
      const int n = std::stoi(r.path.substr(r.path.rfind('/') + 1));
      return Reply::Text(n <= pages ? "<b>" + r.path + "</b>" : "none");
    }
    return Reply::Text("<b>" + r.path + "</b>");
  }

  Lines Targets() {
    const std::lock_guard lock(mutex);
    Lines targets;
    for (const auto& a : arrivals)
      targets.push_back(a.first);
    return targets;
  }
  bool Asked(const std::string& target) {
    const Lines all = Targets();
    return std::find(all.begin(), all.end(), target) != all.end();
  }

  HttpServer server{HttpServer::Scheme::kHttp, 40};
  std::mutex mutex;
  std::vector<std::pair<std::string, Clock::time_point>> arrivals;
  std::string fail;   // this target answers 404
  std::string stall;  // this target sends half a body and then nothing
  std::atomic<int> under_way{0};
  std::atomic<int> most_under_way{0};
};

// What a run leaves behind.
struct Outcome {
  Lines rows;
  Lines messages;
  int extracted = 0;
  Lines flags;
  std::string last_status;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << o.rows.size() << " rows, last " << (o.rows.empty() ? "-" : o.rows.back()) << "; "
      << o.messages.size() << " messages; count " << o.extracted << "; " << o.last_status;
}

class ParallelRunTest : public ::testing::Test {
 protected:
  int AddTemplet(const std::string& url) {
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('web',1,1,0)");
    const int id = static_cast<int>(store.qryM.LastIdentity());
    const std::string tmid = std::to_string(id);
    store.qryM.Execute("insert into urls(tmid,url) values(" + tmid + "," + QuotedStr(url) + ")");
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + tmid +
                       ",'c','<b>','</b>',0,0)");
    host.Columns(1);
    return id;
  }
  void AddValues(const Lines& values) {
    store.conn.Execute(
        "create table t1(id autoincrement primary key,fx smallint default 0,f1 varchar(50))");
    for (const std::string& v : values)
      store.qryM.Execute("insert into t1(f1) values(" + QuotedStr(v) + ")");
  }
  Lines Flags() {
    Lines flags;
    try {
      for (store.qryN.Open("select f1,fx from t1 order by id"); !store.qryN.Eof();
           store.qryN.Next()) {
        flags.push_back(store.qryN.AsString(0) + "=" + store.qryN.AsString(1));
      }
    } catch (const StoreError&) {
    }
    return flags;
  }
  Outcome Run(int id) {
    host.messages.clear();
    TTemplet t;
    t.ID = id;
    t.IsURL = true;
    t.IsTextTag = true;
    EXPECT_TRUE(ExtractNow(ctx, &t, hooks));
    Outcome o{host.Rows(), {}, state.extracted, Flags(), host.statuses.back()};
    for (const auto& m : host.messages)
      o.messages.push_back(m.caption + ": " + m.text);
    return o;
  }

  test::TempDir dir;
  Tdm store{dir.File("data.mdb")};
  PageServer pages;
  HttpClient http;
  test::TestHost host;
  RegExpr re;
  RunState state;
  RunContext ctx{.host = host, .store = store, .re = re, .state = state, .http = &http};
  RunCommandHooks hooks;
};

TEST_F(ParallelRunTest, SixteenInFlightLeaveWhatOneAtATimeLeaves) {
  struct Case {
    const char* name;
    std::string target;
    Lines values;       // field values, when the URL has a field tag
    std::string fail;   // a page answered 404
    std::string stall;  // a page that never ends: Stop is clicked while it is awaited
    int rows_before_stall = 0;
  };
  const Case cases[] = {
      {"range", "/p/<AUTOINC:1,40/>", {}, "", "", 0},
      {"range failing at page 17", "/p/<AUTOINC:1,40/>", {}, "/p/17", "", 0},
      {"range stopped at page 7", "/p/<AUTOINC:1,40/>", {}, "", "/p/7", 12},
      {"values", "/w/<FIELD:T1,F1/>", {"a", "b", "c", "d", "e", "f", "g", "h", "i"}, "", "", 0},
      {"values failing at g",
       "/w/<FIELD:T1,F1/>",
       {"a", "b", "c", "d", "e", "f", "g", "h"},
       "/w/g",
       "",
       0},
      // A value's pages end at its first page without records: pages planned ahead are dropped.
      {"values with pages",
       "/v/<FIELD:T1,F1/>/<AUTOINC:1,4/>",
       {"A", "B", "C", "D", "A2", "C2"},
       "",
       "",
       0},
      {"values with pages failing at C2/2",
       "/v/<FIELD:T1,F1/>/<AUTOINC:1,4/>",
       {"A", "B", "C", "D", "A2", "C2", "B2"},
       "/v/C2/2",
       "",
       0},
      {"values with pages stopped at C/2",
       "/v/<FIELD:T1,F1/>/<AUTOINC:1,4/>",
       {"A", "B", "D", "C", "D2"},
       "",
       "/v/C/2",
       8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    store.conn.Execute("drop table if exists t1");
    if (!c.values.empty()) AddValues(c.values);
    pages.fail = c.fail;
    pages.stall = c.stall;
    const int id = AddTemplet(pages.server.Url(c.target));
    std::optional<Clock::time_point> stopped;
    host.on_events = [&] {
      if (!c.stall.empty() && !stopped && pages.Asked(c.stall) &&
          host.grid.DataRowCount() == c.rows_before_stall) {
        host.stop_enabled = false;
        stopped = Clock::now();
      }
    };

    const Outcome serial = Run(id);
    if (!c.values.empty()) store.conn.Execute("update t1 set fx=0");
    EXPECT_EQ(c.stall.empty(), !stopped.has_value());
    stopped.reset();
    pages.most_under_way = 0;
    store.qryM.Execute("insert into opts values(" + std::to_string(id) + ", 9, 16)");
    const Outcome parallel = Run(id);
    const auto ended = Clock::now();

    EXPECT_EQ(parallel, serial);
    EXPECT_EQ(serial.messages.empty(), c.fail.empty() && c.stall.empty());
    EXPECT_GT(pages.most_under_way.load(), 1);
    if (stopped) {
      EXPECT_LT(ended - *stopped, 200ms);
    }
    EXPECT_EQ(http.GetsInFlight(), 0u);
  }
}

// Serves /r/<case>/...: the first request of a path gets the case's answer (a status, "drop", or
// a status with "after" for a Retry-After of one second), later ones "<b>ok</b>"; a case starting
// with "always" keeps its answer.
class RetryTest : public ::testing::Test {
 protected:
  RetryTest() {
    server.On("/r/*", [this](const ReceivedRequest& r) {
      const std::lock_guard lock(mutex);
      const bool first = std::count(asked.begin(), asked.end(), r.path) == 0;
      asked.push_back(r.path);
      times.push_back(Clock::now());
      const std::string kind = r.path.substr(3, r.path.find('/', 3) - 3);
      if (!first && !kind.starts_with("always")) return Reply::Text("<b>ok</b>");
      if (kind == "drop") {
        return Answer(200, std::string(1000, 'x'), Reply::Delivery::kCutShort);
      }
      Reply reply = Answer(std::stoi(kind.substr(kind.find_first_of("0123456789"))), "no");
      if (kind.ends_with("after")) reply.headers.push_back({"Retry-After", "1"});
      return reply;
    });
  }
  int Asked(const std::string& path) {
    const std::lock_guard lock(mutex);
    return static_cast<int>(std::count(asked.begin(), asked.end(), path));
  }

  HttpServer server{HttpServer::Scheme::kHttp, 24};
  std::mutex mutex;
  Lines asked;
  std::vector<Clock::time_point> times;
  HttpClient http;
  test::TestHost host;
  const RequestSettings settings{};
  const RetryTiming fast{.first_backoff = 5ms};
};

TEST_F(RetryTest, OnlyAnswersThatMeanLaterAreAskedAgain) {
  struct Case {
    std::string kind;
    bool retried;
  };
  const Case cases[] = {{"429", true},  {"502", true},  {"503", true},  {"504", true},
                        {"drop", true}, {"500", false}, {"404", false}, {"403", false},
                        {"501", false}, {"200", false}};
  for (const int in_flight : {1, 4}) {
    for (const Case& c : cases) {
      const std::string path = "/r/" + c.kind + "/" + std::to_string(in_flight);
      SCOPED_TRACE(path);
      PageFetcher fetcher(http, settings, {.in_flight = in_flight, .retries = 2}, host, fast);
      std::optional<std::string> body;
      try {
        body = fetcher.Fetch(server.Url(path), {});
      } catch (const HttpError&) {
      }
      const bool succeeds = c.retried || c.kind == "200";
      EXPECT_EQ(body.has_value(), succeeds);
      EXPECT_EQ(Asked(path), c.retried ? 2 : 1);
    }
  }
}

TEST_F(RetryTest, RetriesEndAfterTheirNumberAndHonourRetryAfter) {
  PageFetcher fetcher(http, settings, {.in_flight = 3, .retries = 2}, host, fast);
  try {
    fetcher.Fetch(server.Url("/r/always503"), {});
    ADD_FAILURE() << "the page never succeeds";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.Detail().status, 503);
  }
  EXPECT_EQ(Asked("/r/always503"), 3);

  const auto start = times.size();
  EXPECT_EQ(fetcher.Fetch(server.Url("/r/503after"), {}), "<b>ok</b>");
  ASSERT_EQ(times.size(), start + 2);
  EXPECT_GE(times[start + 1] - times[start], 1s);
}

TEST_F(RetryTest, RequestsStartTheDelayApart) {
  server.On("/d/*", [this](const ReceivedRequest&) {
    const std::lock_guard lock(mutex);
    times.push_back(Clock::now());
    return Reply::Text("x");
  });
  for (const int in_flight : {1, 4}) {
    times.clear();
    PageFetcher fetcher(http, settings, {.in_flight = in_flight, .delay_ms = 50}, host);
    const auto url = [&](int page) {
      return server.Url("/d/" + std::to_string(in_flight) + "/" + std::to_string(page));
    };
    int page = 0;
    const PagesAhead ahead = [&](int k) -> std::optional<std::string> {
      if (page + k >= 5) return std::nullopt;
      return url(page + k);
    };
    for (; page < 5; ++page)
      fetcher.Fetch(url(page), ahead);
    const std::lock_guard lock(mutex);
    ASSERT_EQ(times.size(), 5u);
    std::sort(times.begin(), times.end());
    // Arrival times carry the server's own jitter (and a first connection's set-up).
    EXPECT_GE(times.back() - times.front(), static_cast<int>(times.size() - 1) * 50ms - 15ms)
        << in_flight;
    for (std::size_t i = 1; i < times.size(); ++i)
      EXPECT_GE(times[i] - times[i - 1], 30ms) << in_flight << " in flight, request " << i;
  }
}

TEST_F(ParallelRunTest, TheLoginPostIsNeverRetried) {
  int posts = 0;
  pages.server.On("/login", [&posts](const ReceivedRequest&) {
    ++posts;
    return Answer(503, "busy");
  });
  const int id = AddTemplet(pages.server.Url("/p/<AUTOINC:1,3/>"));
  store.qryM.Execute("insert into nvps(tmid,nam,val,tag) values(" + std::to_string(id) + ",''," +
                     QuotedStr(pages.server.Url("/login")) + "," + std::to_string(kLoginUrl) + ")");
  ctx.fetch.in_flight = 4;
  ctx.fetch.retries = 5;
  const Outcome o = Run(id);
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(o.messages, (Lines{"Error: " + std::string(kLoginFailedText)}));
  EXPECT_TRUE(o.rows.empty());
}

}  // namespace
}  // namespace sorvane
