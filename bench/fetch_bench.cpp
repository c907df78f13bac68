// Page fetching over one keep-alive connection: 2,000 pages of about 20 KB from a loopback server,
// fetched with the program's HTTP client (GET text, with a pump installed as the window does) and,
// as the baseline, with one `curl` command-line process given all 2,000 addresses in a config
// file, which also keeps its connection. Both talk to the same server; each side keeps the best
// of several runs. MB is 2^20 bytes.
//
// Output, one `name: value` line each:
//   pages, page_bytes                       what one run fetches
//   fetch_pages_per_s, fetch_mbps           the client
//   fetch_connections                       connections the client's 2,000 requests came over
//   curl_cli_pages_per_s, curl_cli_mbps     the curl command line (absent when curl is missing)
//   curl_cli_connections                    likewise for curl
//   fetch_vs_curl_cli                       ratio of pages per second

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "engine/httpclient.h"
#include "support/httpserver.h"
#include "support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;

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

// How many connections the requests of the last run came over.
std::size_t Connections(const sorvane::test::HttpServer& server) {
  std::set<int> ports;
  for (const auto& r : server.Requests())
    ports.insert(r.remote_port);
  return ports.size();
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
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
  std::vector<std::string> urls;
  for (int i = 0; i < kPages; ++i)
    urls.push_back(server.Url("/page/" + std::to_string(i)));

  sorvane::HttpClient client;
  long pumps = 0;
  client.SetPump([&pumps] { ++pumps; });
  client.SetContentType("text/html");
  client.GetText(urls[0]);  // connect once before timing

  double best_client = 1e30;
  std::size_t client_connections = 0;
  std::size_t bytes = 0;
  for (int run = 0; run < kRuns; ++run) {
    server.ClearRequests();
    bytes = 0;
    const auto start = Clock::now();
    for (const std::string& url : urls)
      bytes += client.GetText(url).size();
    best_client = std::min(best_client, Seconds(Clock::now() - start));
    client_connections = Connections(server);
  }
  if (bytes != kPages * kPageBytes) {
    std::fprintf(stderr, "fetched %zu bytes instead of %zu\n", bytes, kPages * kPageBytes);
    return 1;
  }

  sorvane::test::TempDir dir;
  std::string config;
  for (const std::string& url : urls)
    config += "url = \"" + url + "\"\n";
  const std::string config_file = dir.Write("urls.txt", config);
  const std::string command = "curl -s -K '" + config_file + "' > /dev/null 2>&1";
  double best_curl = 0;
  std::size_t curl_connections = 0;
  if (std::system("curl --version > /dev/null 2>&1") == 0) {
    best_curl = 1e30;
    for (int run = 0; run < kRuns; ++run) {
      server.ClearRequests();
      const auto start = Clock::now();
      const int rc = std::system(command.c_str());
      const double took = Seconds(Clock::now() - start);
      if (rc != 0 || server.RequestCount() != kPages) {
        std::fprintf(stderr, "curl failed (%d, %zu requests)\n", rc, server.RequestCount());
        return 1;
      }
      best_curl = std::min(best_curl, took);
      curl_connections = Connections(server);
    }
  }

  const double mb = static_cast<double>(bytes) / (1 << 20);
  std::printf("pages: %d\n", kPages);
  std::printf("page_bytes: %zu\n", kPageBytes);
  std::printf("fetch_pages_per_s: %.0f\n", kPages / best_client);
  std::printf("fetch_mbps: %.1f\n", mb / best_client);
  std::printf("fetch_connections: %zu\n", client_connections);
  if (best_curl > 0) {
    std::printf("curl_cli_pages_per_s: %.0f\n", kPages / best_curl);
    std::printf("curl_cli_mbps: %.1f\n", mb / best_curl);
    std::printf("curl_cli_connections: %zu\n", curl_connections);
    std::printf("fetch_vs_curl_cli: %.2f\n", best_curl / best_client);
  }
  return 0;
}
