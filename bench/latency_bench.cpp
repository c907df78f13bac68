// A web run against a site that takes 20 ms to answer each page: a loopback server that sleeps
// 20 ms before every answer, and a real web templet with a page-number range run by Extract Now
// (one record per page, the page title). The run fetches one page at a time, as by default, and
// with 16 requests in flight. The baseline is the curl command line with 16 parallel transfers
// (`curl --parallel --parallel-max 16`) given the same addresses, against the same server, in the
// same process. Each side keeps the best of several runs.
//
// Output, one `name: value` line each:
//   latency_ms                                   the server's added latency per answer
//   fetch_latency_pages_per_s_n1                 the run, one request at a time
//   fetch_latency_pages_per_s_n16                the run, 16 requests in flight
//   fetch_latency_connections_n16                connections the N = 16 run's requests came over
//   curl_parallel_pages_per_s                    curl, 16 parallel transfers (absent without curl)
//   parallel_vs_curl_parallel                    N = 16 run over curl, pages per second

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "benchhost.h"
#include "core/resultgrid.h"
#include "core/runhost.h"
#include "core/store.h"
#include "curlbaseline.h"
#include "engine/httpclient.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/httpserver.h"
#include "support/tempdir.h"

namespace {

using sorvane::bench::BestCurlSeconds;
using sorvane::bench::Clock;
using sorvane::bench::Connections;
using sorvane::bench::Seconds;

constexpr auto kLatency = std::chrono::milliseconds(20);
constexpr int kSerialPages = 100;
constexpr int kParallelPages = 800;
constexpr int kRuns = 3;

std::string Page(int n) {
  std::string page = "<html><head><title>Page " + std::to_string(n) + "</title></head><body>";
  page.append(4000, 'x');
  return page + "</body></html>\n";
}

}  // namespace

int main() {
  using sorvane::test::HttpServer;
  using sorvane::test::ReceivedRequest;
  using sorvane::test::Reply;

  // Enough threads for every connection of the run and of curl at once.
  HttpServer server(HttpServer::Scheme::kHttp, 48);
  server.On("/page/*", [](const ReceivedRequest& r) {
    std::this_thread::sleep_for(kLatency);
    return Reply::Text(Page(std::atoi(r.path.c_str() + 6)));
  });

  sorvane::test::TempDir dir;
  sorvane::Tdm store(dir.File("data.mdb"));
  sorvane::BenchHost host;
  host.grid.SetColumns({sorvane::GridColumn{"Title", {}, 100}});
  sorvane::RegExpr re;
  sorvane::RunState state;
  sorvane::HttpClient client;
  sorvane::RunContext ctx{host, store, re, state, nullptr, {}, &client};
  const sorvane::RunCommandHooks hooks;

  // Pages per second of a run over `pages` pages with `in_flight` requests at once.
  const auto run = [&](int pages, int in_flight, std::size_t& connections) -> double {
    store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('bench',1,1,0)");
    sorvane::TTemplet templet;
    templet.ID = static_cast<int>(store.qryM.LastIdentity());
    templet.IsURL = true;
    templet.IsTextTag = true;
    const std::string id = std::to_string(templet.ID);
    store.qryM.Execute(
        "insert into urls(tmid,url) values(" + id + "," +
        sorvane::QuotedStr(server.Url("/page/<AUTOINC:1," + std::to_string(pages) + "/>")) + ")");
    store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
                       ",'Title','<title>','</title>',0,0)");
    ctx.fetch.in_flight = in_flight;
    double best = 1e30;
    for (int i = 0; i < kRuns; ++i) {
      server.ClearRequests();
      const auto start = Clock::now();
      sorvane::ExtractNow(ctx, &templet, hooks);
      best = std::min(best, Seconds(Clock::now() - start));
      connections = Connections(server);
      if (host.messages != 0 || state.extracted != pages ||
          host.grid.Cell(1, pages) != "Page " + std::to_string(pages)) {
        std::fprintf(stderr, "the run with %d in flight extracted %d records\n", in_flight,
                     state.extracted);
        std::exit(1);
      }
    }
    return pages / best;
  };

  std::size_t serial_connections = 0;
  std::size_t parallel_connections = 0;
  const double serial = run(kSerialPages, 1, serial_connections);
  const double parallel = run(kParallelPages, 16, parallel_connections);

  std::string config;
  for (int i = 1; i <= kParallelPages; ++i) {
    config += "url = \"" + server.Url("/page/" + std::to_string(i)) + "\"\n";
    config += "output = \"/dev/null\"\n";
  }
  const std::string config_file = dir.Write("urls.txt", config);
  const double best_curl =
      BestCurlSeconds(server, "--parallel --parallel-max 16", config_file, kParallelPages, kRuns);
  const double curl = best_curl > 0 ? kParallelPages / best_curl : 0;

  std::printf("latency_ms: %lld\n", static_cast<long long>(kLatency.count()));
  std::printf("fetch_latency_pages_per_s_n1: %.0f\n", serial);
  std::printf("fetch_latency_pages_per_s_n16: %.0f\n", parallel);
  std::printf("fetch_latency_connections_n16: %zu\n", parallel_connections);
  if (curl > 0) {
    std::printf("curl_parallel_pages_per_s: %.0f\n", curl);
    std::printf("parallel_vs_curl_parallel: %.2f\n", parallel / curl);
  }
  return 0;
}
