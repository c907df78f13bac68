// A web run over 2,000 pages of about 20 KB from a loopback server: a real web templet with a
// page-number range, run by Extract Now on a store in a temporary folder with a host that has no
// window (status texts dropped, events "processed" by a counter). Every page goes through the
// run's per-page protocol and its one record (the page title) is cut. The baseline is one `curl`
// command-line process given all 2,000 addresses in a config file, which also keeps its
// connection. Both talk to the same server; each side keeps the best of several runs. MB is 2^20
// bytes.
//
// Output, one `name: value` line each:
//   pages, page_bytes                       what one run fetches
//   fetch_pages_per_s, fetch_mbps           the run
//   fetch_connections                       connections the run's 2,000 requests came over
//   records                                 records the run extracted (one per page)
//   curl_cli_pages_per_s, curl_cli_mbps     the curl command line (absent when curl is missing)
//   curl_cli_connections                    likewise for curl
//   fetch_vs_curl_cli                       ratio of pages per second

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

constexpr int kPages = 2000;
constexpr std::size_t kPageBytes = 20 * 1024;
constexpr int kRuns = 5;

// A listing page: rows of a table, padded to the page size; the number makes each page distinct.
std::string MakePage(int n) {
  std::string page = "<html><head><title>Page " + std::to_string(n) + "</title></head><body>\n" +
                     "<table class=\"list\">\n";
  for (int row = 0; page.size() < kPageBytes - 40; ++row) {
    page += "<tr><td class=\"name\">Item " + std::to_string(n * 1000 + row) +
            "</td><td class=\"price\">" + std::to_string(row * 7 % 1000) + ".99</td></tr>\n";
  }
  page += "</table></body></html>\n";
  page.resize(kPageBytes, ' ');
  return page;
}

}  // namespace

int main() {
  using sorvane::test::HttpServer;
  using sorvane::test::ReceivedRequest;
  using sorvane::test::Reply;

  std::vector<std::string> pages;
  pages.reserve(kPages);
  for (int i = 0; i < kPages; ++i)
    pages.push_back(MakePage(i));

  HttpServer server;
  server.On("/page/*", [&pages](const ReceivedRequest& r) {
    const int n = std::atoi(r.path.c_str() + 6);
    return Reply::Text(n >= 0 && n < kPages ? pages[n] : std::string());
  });

  sorvane::test::TempDir dir;
  sorvane::Tdm store(dir.File("data.mdb"));
  store.qryM.Execute("insert into tmps(tmn,typ,tag,taid) values('bench',1,1,0)");
  sorvane::TTemplet templet;
  templet.ID = static_cast<int>(store.qryM.LastIdentity());
  templet.IsURL = true;
  templet.IsTextTag = true;
  const std::string id = std::to_string(templet.ID);
  store.qryM.Execute(
      "insert into urls(tmid,url) values(" + id + "," +
      sorvane::QuotedStr(server.Url("/page/<AUTOINC:0," + std::to_string(kPages - 1) + "/>")) +
      ")");
  store.qryM.Execute("insert into cols(tmid,tit,begw,endw,tag,nox) values(" + id +
                     ",'Title','<title>','</title>',0,0)");

  sorvane::BenchHost host;
  host.grid.SetColumns({sorvane::GridColumn{"Title", {}, 100}});
  sorvane::RegExpr re;
  sorvane::RunState state;
  sorvane::HttpClient client;
  sorvane::RunContext ctx{host, store, re, state, nullptr, {}, &client};
  const sorvane::RunCommandHooks hooks;

  client.GetText(server.Url("/page/0"), sorvane::RequestSettings());  // connect once before timing

  double best_run = 1e30;
  std::size_t run_connections = 0;
  for (int run = 0; run < kRuns; ++run) {
    server.ClearRequests();
    const auto start = Clock::now();
    sorvane::ExtractNow(ctx, &templet, hooks);
    best_run = std::min(best_run, Seconds(Clock::now() - start));
    run_connections = Connections(server);
    if (host.messages != 0 || server.RequestCount() != kPages || state.extracted != kPages) {
      std::fprintf(stderr, "the run fetched %zu pages and extracted %d records\n",
                   server.RequestCount(), state.extracted);
      return 1;
    }
  }
  if (host.grid.Cell(1, kPages) != "Page " + std::to_string(kPages - 1)) {
    std::fprintf(stderr, "the last record is \"%s\"\n",
                 std::string(host.grid.Cell(1, kPages)).c_str());
    return 1;
  }

  std::string config;
  for (int i = 0; i < kPages; ++i)
    config += "url = \"" + server.Url("/page/" + std::to_string(i)) + "\"\n";
  const std::string config_file = dir.Write("urls.txt", config);
  std::size_t curl_connections = 0;
  const double best_curl =
      BestCurlSeconds(server, "", config_file, kPages, kRuns, &curl_connections);

  const double mb = static_cast<double>(kPages * kPageBytes) / (1 << 20);
  std::printf("pages: %d\n", kPages);
  std::printf("page_bytes: %zu\n", kPageBytes);
  std::printf("fetch_pages_per_s: %.0f\n", kPages / best_run);
  std::printf("fetch_mbps: %.1f\n", mb / best_run);
  std::printf("fetch_connections: %zu\n", run_connections);
  std::printf("records: %d\n", state.extracted);
  if (best_curl > 0) {
    std::printf("curl_cli_pages_per_s: %.0f\n", kPages / best_curl);
    std::printf("curl_cli_mbps: %.1f\n", mb / best_curl);
    std::printf("curl_cli_connections: %zu\n", curl_connections);
    std::printf("fetch_vs_curl_cli: %.2f\n", best_curl / best_run);
  }
  return 0;
}
